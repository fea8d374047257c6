// The receive tick: scans the capture blocks completed since the last tick for symbol onsets,
// collects each symbol, analyses one period at its peak, decides and routes the byte, and hands
// the scanned blocks back to the device. Runs on the owner's thread only.
#pragma once

#include <array>
#include <cstdint>

#include "capture/wave_capture.h"
#include "dsp/spectrum_analyzer.h"
#include "receiver/calibration_state.h"
#include "receiver/decide_byte.h"
#include "receiver/symbol_state.h"
#include "receiver/tick_text.h"

namespace brindlemoor {

// Robust framing only: what its gate against made-up symbols did with an accepted symbol.
enum class GateVerdict : uint8_t {
  kNone,          // not gated (exact framing, or rejected before)
  kPassed,        // within a message
  kHeld,          // held until a run of symbols at a steady spacing begins a message
  kReleased,      // completed such a run: the held symbols pass before it
  kLoneReleased,  // held, never in a run, judged after a silence: passes as a lone tone
  kLoneDropped,   // held, never in a run, judged after a silence: let go
  kEcho,          // within a message, far weaker than its tones: a room's echo, dropped
};

// What became of one framed symbol, for diagnostics (--trace).
struct SymbolTrace {
  uint32_t onsetBlock;
  uint32_t onsetPosition;  // first collected sample in onsetBlock
  int32_t symbolPeak;
  int32_t symbolPeakIndex;
  const int32_t* spectrum;  // 256 bins; stale when decision.reason is kSilent
  ByteDecision decision;
  // Robust framing only: how faithfully the analysed period repeats (-1..1); below -1 otherwise.
  double periodicity = -2.0;
  // Robust framing only: the loudest candidate periods averaged in phase into the analysed one
  // (its peak index is the loudest's offset); 0 when one candidate was analysed.
  int32_t loudCandidates = 0;
  // Robust framing only: those candidates were of the most periodic alone (a calibration step).
  bool loudOnlyPeriodic = false;
  // Robust framing only: the thresholds it judged the bits by; nullptr for the fixed ones.
  const ThresholdShares* thresholdShares = nullptr;
  GateVerdict gate = GateVerdict::kNone;
  int32_t gateHeld = 0;     // kHeld: held so far with it; kReleased: held ones passed before it
  int32_t gateDropped = 0;  // held ones dropped first, as they did not fit the run's spacing
  int32_t gateRun = 0;      // symbols the run must hold
  const char* gateReason = nullptr;  // kLoneReleased, kLoneDropped: why
  // Robust framing only: the gain each harmonic's level was balanced by; nullptr for none.
  const std::array<double, kBitCount>* harmonicGains = nullptr;
  // Robust framing only: where earlier symbols' tails were predicted in phase, how many dB less
  // power each harmonic's prediction leaves where the harmonic is off, below 0 where it is not
  // taken out; nullptr where none was. `tailsDecided`: the period without them decided.
  const std::array<double, kBitCount>* tailGains = nullptr;
  bool tailsDecided = false;
  // Robust framing only: a 0 routed as this calibration step (its harmonic alone stood out);
  // traced as a line of its own when the symbol is routed. -1 otherwise.
  int32_t stepFromZero = -1;
  // Robust framing only: why the onset lies where the symbol clock did not expect it, when the
  // clock was overruled; nullptr otherwise.
  const char* onsetNote = nullptr;
  // Robust framing only: why a symbol already decided was decided again (a calibration found in
  // the sound after it was framed); nullptr otherwise.
  const char* decidedAgain = nullptr;
};

class SymbolObserver {
 public:
  virtual ~SymbolObserver() = default;
  virtual void OnSymbol(const SymbolTrace& trace) = 0;
};

// Everything a tick reads and writes; built once by the owner.
struct ReceiveContext {
  WaveCapture& capture;
  const uint8_t* recordBuffer;  // 128 blocks of capture.samplesPerBlock bytes
  SymbolState& symbol;
  SpectrumAnalyzer& analyser;
  int32_t* spectrum;  // 256 bins
  CalibrationState& calibration;
  TickText& text;
  TextOutput& files;
  TextBox& box;
  SymbolObserver* observer = nullptr;
};

// One tick without its timer handling. False when there were no new blocks (nothing changed).
bool RunReceiveTick(ReceiveContext& context);

}  // namespace brindlemoor
