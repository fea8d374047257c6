// A receiver driven by hand: a ReceiverDialog on a fake device, window and files, with a stream
// of captured bytes that tests hand over block by block and an observer that keeps every framed
// symbol.
#pragma once

#include <cstring>
#include <vector>

#include "capture/capture_format.h"
#include "dialog/receiver_dialog.h"
#include "dialog/resources.h"
#include "testing/fake_wave_in_device.h"
#include "testing/fake_window.h"

namespace brindlemoor::testing {

class SymbolRecorder : public SymbolObserver {
 public:
  struct Symbol {
    uint32_t onsetBlock;
    uint32_t onsetPosition;
    int32_t symbolPeak;
    int32_t symbolPeakIndex;
    ByteDecision decision;
  };
  void OnSymbol(const SymbolTrace& trace) override {
    symbols.push_back({trace.onsetBlock, trace.onsetPosition, trace.symbolPeak,
                       trace.symbolPeakIndex, trace.decision});
  }
  std::vector<Symbol> symbols;
};

struct ReceiverRig {
  FakeWaveInDevice device;
  FakeWindow window;
  MemoryTextOutput files;
  SymbolRecorder recorder;
  ReceiverDialog dialog{window, device, files};
  std::vector<uint8_t> stream;
  size_t delivered = 0;  // blocks handed over so far

  explicit ReceiverRig(std::vector<uint8_t> bytes = {}) : stream(std::move(bytes)) {
    while (stream.size() % kBlockSamples) stream.push_back(kSilence);
    dialog.SetSymbolObserver(&recorder);
    dialog.OnInitDialog();
  }
  ~ReceiverRig() { dialog.OnDestroy(); }

  // Completes the next `blocks` blocks of the stream (silence past its end).
  void Deliver(size_t blocks) {
    std::vector<uint8_t> block(kBlockSamples, kSilence);
    for (size_t i = 0; i < blocks; ++i, ++delivered) {
      const size_t at = delivered * kBlockSamples;
      if (at < stream.size())
        std::memcpy(block.data(), stream.data() + at, kBlockSamples);
      else
        std::fill(block.begin(), block.end(), kSilence);
      device.CompleteNext(block.data(), kBlockSamples);
    }
  }
  void Tick() { dialog.OnTimer(kReceiveTimerId); }
  void DeliverAndTick(size_t blocks) {
    Deliver(blocks);
    Tick();
  }
};

}  // namespace brindlemoor::testing
