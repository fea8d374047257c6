#include "receiver/symbol_trace_format.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "convention/symbol_convention.h"

namespace brindlemoor {
namespace {

// Appends printf-style text at `used`, never past the line's end. A C variadic function, so
// that the compiler checks every format against its arguments.
[[gnu::format(printf, 3, 4)]] void Append(char* out, std::size_t& used, const char* format, ...) {
  if (used >= kSymbolTraceLineBytes) return;
  std::va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(out + used, kSymbolTraceLineBytes - used, format, args);
  va_end(args);
  if (n > 0) used += static_cast<std::size_t>(n);
  if (used >= kSymbolTraceLineBytes) used = kSymbolTraceLineBytes - 1;
}

// What the robust framing's gate did with an accepted symbol.
void AppendGate(const SymbolTrace& trace, char* out, std::size_t& used) {
  if (trace.gateDropped > 0) {
    Append(out, used, ", %d held dropped (off the run's spacing)", trace.gateDropped);
  }
  if (trace.gate == GateVerdict::kHeld) {
    Append(out, used, ", held (%d of a run of %d at a steady spacing)", trace.gateHeld,
           trace.gateRun);
  } else if (trace.gate == GateVerdict::kReleased) {
    Append(out, used, ", a run of %d at a steady spacing begins a message (%d held passed)",
           trace.gateRun, trace.gateHeld);
  } else if (trace.gate == GateVerdict::kEcho) {
    Append(out, used, ", dropped (an echo, far weaker than the message's tones)");
  }
}

}  // namespace

std::size_t FormatSymbolTrace(const SymbolTrace& trace, bool calibrated, char* out) {
  std::size_t used = 0;
  out[0] = '\0';
  if (trace.gate == GateVerdict::kLoneReleased || trace.gate == GateVerdict::kLoneDropped) {
    Append(out, used, "held symbol block %u pos %u byte %u: %s, %s\n", trace.onsetBlock,
           trace.onsetPosition, trace.decision.byte,
           trace.gate == GateVerdict::kLoneReleased ? "released" : "dropped",
           trace.gateReason != nullptr ? trace.gateReason : "");
    return used;
  }
  if (trace.stepFromZero >= 0) {
    Append(out, used,
           "routed symbol block %u pos %u byte 0: calibration step %d, its harmonic %d alone "
           "stands out (level %d), read as byte %u\n",
           trace.onsetBlock, trace.onsetPosition, trace.stepFromZero, trace.stepFromZero + 2,
           HarmonicLevel(trace.spectrum, trace.stepFromZero), 1u << trace.stepFromZero);
    return used;
  }
  Append(out, used, "symbol block %u pos %u peak %d@%d", trace.onsetBlock, trace.onsetPosition,
         trace.symbolPeak, trace.symbolPeakIndex);
  if (trace.periodicity >= -1.0) Append(out, used, " periodicity %.2f", trace.periodicity);
  if (trace.onsetNote != nullptr) Append(out, used, " (onset %s)", trace.onsetNote);
  if (trace.decidedAgain != nullptr) Append(out, used, " (decided again %s)", trace.decidedAgain);
  if (trace.loudCandidates > 0) {
    Append(out, used, " (%d loudest candidates averaged in phase%s)", trace.loudCandidates,
           trace.loudOnlyPeriodic ? ", of the most periodic: a calibration step awaited" : "");
  }
  const ByteDecision& decision = trace.decision;
  if (decision.reason == Rejection::kSilent) {
    Append(out, used, ": silent, skipped\n");
    return used;
  }
  if (decision.reason == Rejection::kNotPeriodic) {
    Append(out, used, ": rejected, no period repeats at 45 samples\n");
    return used;
  }
  Append(out, used, " spectrum %d@%d levels", decision.spectrumPeak, decision.peakBin);
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    Append(out, used, " %d", HarmonicLevel(trace.spectrum, bit));
  }
  if (trace.harmonicGains != nullptr) {
    Append(out, used, " gains");
    for (const double gain : *trace.harmonicGains) Append(out, used, " %.2f", gain);
  }
  if (trace.tailGains != nullptr) {
    Append(out, used,
           trace.tailsDecided ? " tails out in phase (dB)" : " tails in phase undecided (dB)");
    for (const double gain : *trace.tailGains) {
      if (std::isnan(gain)) {
        Append(out, used, " taught");
      } else if (gain < 0.0) {
        Append(out, used, " -");
      } else {
        Append(out, used, " %.1f", gain);
      }
    }
  }
  Append(out, used, " thresholds");
  bool raised = false;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const double threshold = BitThreshold(decision.spectrumPeak, bit, trace.thresholdShares);
    raised = raised || threshold > BitThreshold(decision.spectrumPeak, bit);
    Append(out, used, " %g", threshold);
  }
  if (raised) Append(out, used, " (raised over unset harmonics that echoes lift)");
  if (calibrated) Append(out, used, " (calibrated)");
  switch (decision.reason) {
    case Rejection::kNone:
      if (decision.byte >= 0x20 && decision.byte < 0x7F) {
        Append(out, used, ": byte %u '%c'", decision.byte, decision.byte);
      } else {
        Append(out, used, ": byte %u", decision.byte);
      }
      AppendGate(trace, out, used);
      Append(out, used, "\n");
      break;
    case Rejection::kPeakNotHarmonic:
      Append(out, used, ": rejected, strongest bin %d is not a harmonic\n", decision.peakBin);
      break;
    case Rejection::kNoFundamental:
      Append(out, used, ": rejected, no fundamental (bins 11+12 = %d, needs > %d)\n",
             trace.spectrum[kFundamentalBin] + trace.spectrum[kFundamentalBin + 1],
             decision.spectrumPeak / kFundamentalShare);
      break;
    case Rejection::kSilent:
    case Rejection::kNotPeriodic:
      break;
  }
  return used;
}

}  // namespace brindlemoor
