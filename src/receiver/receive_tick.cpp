#include "receiver/receive_tick.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "receiver/framing.h"
#include "receiver/period_analysis.h"

namespace brindlemoor {
namespace {

// A place in the captured stream: block sequence number and sample position within it.
struct Cursor {
  uint32_t block;
  uint32_t position;
};

// Reads the blocks of one tick in place in the record buffer. Block q lives in ring slot
// q mod 128; a block is `samplesPerBlock` bytes, one unsigned 8-bit sample each.
class BlockReader {
 public:
  BlockReader(const ReceiveContext& context, uint32_t snapshot)
      : buffer(context.recordBuffer),
        blockSamples(context.capture.samplesPerBlock),
        windowLength(context.capture.sampleRate / kWindowDivisor),
        snapshot(snapshot) {}

  const uint8_t* Block(uint32_t block) const {
    return buffer + static_cast<size_t>(block & kRingMask) * blockSamples;
  }

  // Scans windows from `at` for a rise: a window peak at least 2 above the previous window's and
  // above `floor`. Every scan starts with a previous peak no window can beat, so its first window
  // only sets the reference. Windows are cut at a block's end and a rise in a cut window is
  // ignored. True with `at` just after the onset window; false when the blocks run out
  // (at.block == snapshot).
  //
  // Windows start every 46 samples, not 45: a window is `windowLength` (sampleRate / 245 = 45)
  // samples, and after one that is not an onset the scan steps one sample further before the
  // next window, so the sample between two windows is never looked at. The stride is that step,
  // not a property of the signal (a 45-sample window holds a whole period wherever it starts, so
  // the skipped sample loses nothing of a steady tone); it stays because where onsets fall, and
  // so every byte received, depends on it. A block scanned from 0 has windows at 0, 46, ...,
  // 1012 and a cut one at 1058.
  bool ScanForOnset(Cursor& at, int32_t floor) const {
    int32_t previousPeak = kPeakSentinel;
    for (;;) {
      if (at.position < blockSamples) {
        const uint8_t* block = Block(at.block);
        const uint32_t end =
            at.position + windowLength < blockSamples ? at.position + windowLength : blockSamples;
        int32_t peak = 0;
        for (uint32_t q = at.position; q < end; ++q) {
          const int32_t magnitude = std::abs(static_cast<int32_t>(block[q]) - kSilence);
          if (magnitude > peak) peak = magnitude;
        }
        at.position += windowLength;
        if (peak > previousPeak + 1 && peak > floor) {
          if (at.position < blockSamples) return true;
          // A rise in the cut window at the block's end is not trusted and does not become the
          // reference either; the next block's first window is compared with the one before.
        } else {
          previousPeak = peak;
          at.position += 1;
          continue;
        }
      }
      at.block += 1;
      if (at.block == snapshot) return false;
      at.position = 0;
    }
  }

  // Appends samples to the symbol until it holds 512. False when the blocks run out first; the
  // partial symbol then waits for the next tick, which resumes at position 0 of the next block.
  // The peak moves only to a strictly larger magnitude, so it is the earliest of the largest.
  bool Collect(Cursor& at, SymbolState& symbol) const {
    int32_t count = symbol.symbolCount;
    int32_t peak = symbol.symbolPeak;
    int32_t peakIndex = symbol.symbolPeakIndex;
    bool complete = true;
    while (count < kSymbolLength) {
      if (at.position >= blockSamples) {
        at.block += 1;
        if (at.block == snapshot) {
          complete = false;
          break;
        }
        at.position = 0;
      }
      // The rest of this block or of the symbol, whichever ends first, in one run.
      const uint8_t* source = Block(at.block) + at.position;
      const int32_t run = std::min<int32_t>(kSymbolLength - count,
                                            static_cast<int32_t>(blockSamples - at.position));
      int16_t* samples = symbol.symbolSamples.data() + count;
      for (int32_t i = 0; i < run; ++i) {
        const int16_t sample = static_cast<int16_t>(source[i] - kSilence);
        samples[i] = sample;
        const int32_t magnitude = std::abs(static_cast<int32_t>(sample));
        if (magnitude > peak) {
          peak = magnitude;
          peakIndex = count + i;
        }
      }
      count += run;
      at.position += static_cast<uint32_t>(run);
    }
    symbol.symbolCount = count;
    symbol.symbolPeak = peak;
    symbol.symbolPeakIndex = peakIndex;
    return complete;
  }

 private:
  const uint8_t* buffer;
  uint32_t blockSamples;
  uint32_t windowLength;
  uint32_t snapshot;
};

// Fewer than a period follows the peak: keep the samples from the peak on (without the last one)
// and collect again, so the analysed period lies entirely inside the symbol.
void ShiftToPeak(SymbolState& symbol) {
  const int32_t k = symbol.symbolPeakIndex;
  assert(k >= kSymbolLength - kSymbolPeriod && k < kSymbolLength);
  const int32_t kept = kSymbolLength - 1 - k;
  std::memmove(symbol.symbolSamples.data(), symbol.symbolSamples.data() + k,
               static_cast<size_t>(kept) * sizeof(int16_t));
  symbol.symbolCount = kept;
  symbol.symbolPeakIndex = 0;
}

// The period starting at the peak, repeated to 512 samples and scaled so the peak is +-127.
void AnalysePeriod(const SymbolState& symbol, SpectrumAnalyzer& analyser, int32_t* spectrum) {
  const int32_t k = symbol.symbolPeakIndex;
  assert(symbol.symbolPeak > 0 && k + kSymbolPeriod < kSymbolLength);
  AnalyseRepeatedPeriod(symbol.symbolSamples.data() + k, symbol.symbolPeak, analyser, spectrum);
}

void Report(ReceiveContext& context, const ByteDecision& decision) {
  if (context.observer == nullptr) return;
  const SymbolState& symbol = context.symbol;
  context.observer->OnSymbol({symbol.onsetBlock, symbol.onsetPosition, symbol.symbolPeak,
                              symbol.symbolPeakIndex, context.spectrum, decision});
}

void NoteOnset(SymbolState& symbol, const Cursor& at) {
  symbol.onsetBlock = at.block;
  symbol.onsetPosition = at.position;
}

// Analyses, decides and routes a complete symbol. Returns the floor of the re-sync scan that
// skips the rest of it, or nothing when the tick's text is now full. A symbol of pure silence has
// no peak to scale by: it is skipped like a rejected one, and the scan looks for the next onset
// from the lowest floor.
std::optional<int32_t> HandOver(ReceiveContext& context) {
  const SymbolState& symbol = context.symbol;
  if (symbol.symbolPeak == 0) {
    Report(context, ByteDecision{false, 0, 0, -1, Rejection::kSilent});
    return 0;
  }
  AnalysePeriod(symbol, context.analyser, context.spectrum);
  const ByteDecision decision = DecideByte(context.spectrum, context.calibration);
  Report(context, decision);
  if (decision.accepted && RouteByte(decision.byte, context.spectrum, context.calibration,
                                     context.text, context.files)) {
    return std::nullopt;  // the rest of the snapshot is dropped; the next tick searches anew
  }
  return symbol.symbolPeak / 2;
}

}  // namespace

bool RunReceiveTick(ReceiveContext& context) {
  WaveCapture& capture = context.capture;
  SymbolState& symbol = context.symbol;
  const uint32_t snapshot = capture.LoadBlocksFilled();
  if (snapshot <= capture.blocksConsumed) return false;

  const BlockReader reader(context, snapshot);
  Cursor at{capture.blocksConsumed, 0};
  // Searching: the tick begins with an onset search. Collecting: the symbol left by the last
  // tick continues at position 0 of the first new block.
  if (symbol.Searching() && reader.ScanForOnset(at, kOnsetFloor)) NoteOnset(symbol, at);
  context.text.Clear();
  symbol.StartSearching();

  while (at.block != snapshot) {
    if (!reader.Collect(at, symbol)) {
      symbol.SuspendCollection();
      break;
    }
    if (symbol.symbolPeak > 0 && symbol.symbolPeakIndex + kSymbolPeriod >= kSymbolLength) {
      ShiftToPeak(symbol);
      continue;
    }
    const std::optional<int32_t> resyncFloor = HandOver(context);
    // The re-sync scan skips the rest of the symbol; a full text ends the tick without it.
    const bool found = resyncFloor.has_value() && reader.ScanForOnset(at, *resyncFloor);
    symbol.ClearSymbol();
    if (!found) break;
    NoteOnset(symbol, at);
  }

  capture.blocksConsumed = snapshot;
  capture.RequeueBlocks();
  FinishTickText(context.text, context.calibration, context.files, context.box);
  return true;
}

}  // namespace brindlemoor
