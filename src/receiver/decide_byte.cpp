#include "receiver/decide_byte.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "convention/symbol_convention.h"
#include "receiver/framing.h"

namespace brindlemoor {
namespace {

bool IsHarmonicBin(int32_t bin) {
  for (int32_t harmonic : kHarmonicBins) {
    if (bin == harmonic) return true;
  }
  return false;
}

}  // namespace

int32_t HarmonicLevel(const int32_t* spectrum, int32_t bit) {
  assert(bit >= 0 && bit < kBitCount);
  const int32_t first = kBitBins[bit];
  return kTwoBinLevel[bit] ? spectrum[first] + spectrum[first + 1] : spectrum[first];
}

double BitThreshold(int32_t spectrumPeak, int32_t bit) {
  assert(bit >= 0 && bit < kBitCount);
  if (bit == kFractionalThresholdBit) {
    return static_cast<double>(spectrumPeak) * kFractionalThreshold;
  }
  return spectrumPeak / kThresholdDivisors[bit];
}

double BitThreshold(int32_t spectrumPeak, int32_t bit, const ThresholdShares* shares) {
  const double fixed = BitThreshold(spectrumPeak, bit);
  if (shares == nullptr) return fixed;
  const double share = (*shares)[static_cast<std::size_t>(bit)];
  // At or under the fixed share the fixed threshold's own rounding is kept.
  if (share > ThresholdFraction(bit)) return share * spectrumPeak;
  return std::min(fixed, share * spectrumPeak);
}

ByteDecision DecideByte(const int32_t* spectrum, const CalibrationState& calibration,
                        FundamentalRule fundamental, const ThresholdShares* shares) {
  ByteDecision decision;
  for (int32_t bin = 1; bin < kSpectrumBins; ++bin) {
    if (spectrum[bin] > decision.spectrumPeak) {
      decision.spectrumPeak = spectrum[bin];
      decision.peakBin = bin;
    }
  }
  const int32_t peak = decision.spectrumPeak;
  if (!IsHarmonicBin(decision.peakBin)) {
    decision.reason = Rejection::kPeakNotHarmonic;
    return decision;
  }
  if (fundamental == FundamentalRule::kRequired &&
      !(spectrum[kFundamentalBin] + spectrum[kFundamentalBin + 1] > peak / kFundamentalShare)) {
    decision.reason = Rejection::kNoFundamental;
    return decision;
  }

  uint8_t byte = 0;
  int32_t lowBitsSet = 0;
  double margin = 0.0;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    double value = HarmonicLevel(spectrum, bit);
    if (calibration.calibrated == 1) value = EqualisingRatio(calibration, bit) * value;
    if (bit >= kFirstCompensatedBit) {
      value = value * static_cast<double>(kCompensationFactors[lowBitsSet]);
    }
    const double threshold = BitThreshold(peak, bit, shares);
    decision.levelShares[static_cast<std::size_t>(bit)] = value / peak;
    const double distance = std::fabs(value - threshold) / peak;
    if (bit == 0 || distance < margin) margin = distance;
    if (threshold < value) {
      byte = static_cast<uint8_t>(byte | (1u << bit));
      if (bit < kFirstCompensatedBit) ++lowBitsSet;
    }
  }
  decision.accepted = true;
  decision.byte = byte;
  decision.margin = margin;
  return decision;
}

}  // namespace brindlemoor
