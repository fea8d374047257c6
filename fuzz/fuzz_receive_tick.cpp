// The receive tick fed arbitrary captured blocks in arbitrary tick splits, through the same
// ReceiverDialog, ring and replay device as the headless receiver.
//
// Input: one byte n, then 1 + n % 16 split bytes (the blocks completed before each tick,
// byte % 131, used in turn), then the captured samples. After every tick the framing, ring,
// calibration and text invariants must hold.
#include <algorithm>
#include <cstring>
#include <vector>

#include "capture/capture_format.h"
#include "capture/replay_device.h"
#include "capture/sample_stream.h"
#include "dialog/receiver_dialog.h"
#include "dialog/resources.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/invariants.h"
#include "receiver/framing.h"

namespace brindlemoor::fuzz {
namespace {

constexpr int kMaxSplits = 16;
constexpr int kSplitRange = kRingBlocks + 3;  // a split may ask for more than the ring holds

class CheckingWindow : public WindowServices {
 public:
  void SetTimer(uint32_t, uint32_t) override {}
  void KillTimer(uint32_t) override {}
  void ShowMessageBox(std::string_view) override {
    FUZZ_CHECK(false && "no message while receiving");
  }
  void ReplaceText(const char* bytes, std::size_t size) override { CheckTickText(bytes, size); }
};

// Where each framed symbol was found, checked against the tick that framed it.
class SymbolChecker : public SymbolObserver {
 public:
  void OnSymbol(const SymbolTrace& trace) override {
    // The symbol may have begun in an earlier tick, but never in a block this tick cannot see.
    FUZZ_CHECK(trace.onsetPosition < kBlockSamples);
    FUZZ_CHECK(trace.onsetBlock < snapshot);
    FUZZ_CHECK(trace.symbolPeak >= 0 && trace.symbolPeak <= 128);
    if (trace.decision.reason == Rejection::kSilent) {
      FUZZ_CHECK(trace.symbolPeak == 0 && !trace.decision.accepted);
      return;
    }
    FUZZ_CHECK(trace.symbolPeak > 0);
    FUZZ_CHECK(trace.symbolPeakIndex >= 0 && trace.symbolPeakIndex + kSymbolPeriod < kSymbolLength);
    for (int32_t bin = 0; bin < kSpectrumBins; ++bin) CheckBin(trace.spectrum[bin]);
    if (trace.decision.accepted) FUZZ_CHECK(trace.decision.spectrumPeak > 0);
  }
  uint32_t snapshot = 0;  // blocksFilled seen by the tick
};

void CheckAfterTick(const ReceiverDialog& dialog) {
  const WaveCapture& capture = dialog.Capture();
  const uint32_t filled = capture.LoadBlocksFilled();
  // Nothing completes blocks during a tick, so the tick consumed exactly what was filled.
  FUZZ_CHECK(capture.blocksConsumed == filled);
  FUZZ_CHECK(capture.lastQueued == capture.blocksConsumed + kRingMask);

  const SymbolState& symbol = dialog.Symbol();
  FUZZ_CHECK(symbol.Searching() || symbol.Collecting());
  FUZZ_CHECK(symbol.symbolCount >= 0 && symbol.symbolCount <= kSymbolLength);
  FUZZ_CHECK(symbol.symbolPeak >= 0 && symbol.symbolPeak <= 128);
  if (symbol.Searching()) {
    FUZZ_CHECK(symbol.symbolCount == 0 && symbol.symbolPeak == 0);
  } else {
    FUZZ_CHECK(symbol.symbolCount < kSymbolLength);
    if (symbol.symbolPeak > 0) {
      FUZZ_CHECK(symbol.symbolPeakIndex >= 0 && symbol.symbolPeakIndex < symbol.symbolCount);
    }
  }
  CheckCalibration(dialog.Calibration());
  const TickText& text = dialog.Text();
  FUZZ_CHECK(text.length >= 0 && text.length <= kTickTextLimit);
  CheckTickText(text.bytes.data(), static_cast<size_t>(text.length));
  FUZZ_CHECK(text.bytes[static_cast<size_t>(text.length)] == 0);
}

}  // namespace
}  // namespace brindlemoor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brindlemoor;
  using namespace brindlemoor::fuzz;
  FuzzInput input(data, size);
  const int splitCount = 1 + input.Byte() % kMaxSplits;
  uint8_t splits[kMaxSplits];
  for (int i = 0; i < splitCount; ++i) splits[i] = static_cast<uint8_t>(input.Byte() % kSplitRange);
  const std::span<const uint8_t> samples = input.Rest();

  MemorySampleStream stream(std::vector<uint8_t>(samples.begin(), samples.end()));
  ReplayDevice device(stream);
  CheckingWindow window;
  CheckingOutput files;
  SymbolChecker symbols;
  ReceiverDialog dialog(window, device, files);
  dialog.SetSymbolObserver(&symbols);
  dialog.OnInitDialog();
  FUZZ_CHECK(dialog.TimerRunning());

  // Ticks complete the next split's worth of blocks each; a whole round of empty splits still
  // completes one block, so every run ends.
  uint32_t target = 0;
  uint32_t roundStart = 0;
  for (int tick = 0;
       !device.Finished() || dialog.Capture().blocksConsumed < device.BlocksDelivered(); ++tick) {
    const int split = tick % splitCount;
    if (split == 0) {
      if (tick > 0 && target == roundStart) ++target;
      roundStart = target;
    }
    target += splits[split];
    device.CompleteBlocks(target);
    target = device.BlocksDelivered();
    symbols.snapshot = dialog.Capture().LoadBlocksFilled();
    dialog.OnTimer(kReceiveTimerId);
    CheckAfterTick(dialog);
  }
  dialog.OnDestroy();
  return 0;
}
