// The harmonic bit decision: accepts or rejects one symbol's spectrum and decides its byte from
// the levels of harmonics 2..9, optionally equalised by the last calibration.
#pragma once

#include <array>
#include <cstdint>

#include "convention/symbol_convention.h"
#include "receiver/calibration_state.h"

namespace brindlemoor {

enum class Rejection : uint8_t {
  kNone,             // accepted
  kPeakNotHarmonic,  // the strongest bin is not one of the nine harmonic bins (or all bins are 0)
  kNoFundamental,    // bins 11 + 12 do not exceed a tenth of the strongest bin
  kSilent,           // the framed symbol was all silence; never analysed
  kNotPeriodic,      // robust framing: no period that repeats at 45 samples; never analysed
};

// Whether the fundamental must be present. A framing that has already seen the symbol repeat
// every 45 samples may waive it: a microphone's noise suppression removes the 245 Hz fundamental
// as hum, and the periodicity then vouches for the harmonic grid instead.
enum class FundamentalRule : uint8_t { kRequired, kWaived };

struct ByteDecision {
  bool accepted = false;
  uint8_t byte = 0;
  int32_t spectrumPeak = 0;  // largest of bins 1..255
  int32_t peakBin = -1;      // lowest bin holding it, -1 if none is above 0
  Rejection reason = Rejection::kNone;
  // Accepted only: how clearly the bits were decided, the least distance of a bit's value from
  // its threshold over the strongest bin.
  double margin = 0.0;
  // Accepted only: each bit's value, equalised and compensated, over the strongest bin.
  std::array<double, kBitCount> levelShares{};
};

// Each bit's threshold as a share of the strongest bin, for a framing that adapts them.
using ThresholdShares = std::array<double, kBitCount>;

// Level of bit k (0..7): one bin, or the sum of two adjacent bins, near harmonic k + 2.
int32_t HarmonicLevel(const int32_t* spectrum, int32_t bit);
// Threshold of bit k for a spectrum whose strongest bin is `spectrumPeak`.
double BitThreshold(int32_t spectrumPeak, int32_t bit);
// The same, moved to `shares`' share of the peak (nullptr: the fixed one): lowered where that is
// lower, raised where it is over the fixed share.
double BitThreshold(int32_t spectrumPeak, int32_t bit, const ThresholdShares* shares);

// `spectrum` holds 256 bins. Reads calibration state, changes nothing. With `shares` each bit is
// judged against that share of the strongest bin instead of its fixed threshold.
ByteDecision DecideByte(const int32_t* spectrum, const CalibrationState& calibration,
                        FundamentalRule fundamental = FundamentalRule::kRequired,
                        const ThresholdShares* shares = nullptr);

}  // namespace brindlemoor
