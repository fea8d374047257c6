#include "receiver/decide_byte.h"

#include <cassert>
#include <cmath>

#include "receiver/framing.h"

namespace brindlemoor {
namespace {

// Bins nearest to harmonics 1..9; a valid symbol's strongest bin is one of them.
constexpr int32_t kHarmonicBins[9] = {11, 23, 34, 46, 57, 68, 80, 91, 102};
// First bin of each bit's level; bits 2, 4, 5 and 7 add the bin above it, because their
// harmonic falls near the middle between two bins.
constexpr int32_t kBitBins[8] = {23, 34, 45, 57, 68, 79, 91, 102};
constexpr bool kTwoBinLevel[8] = {false, false, true, false, true, true, false, true};
// Bits 4..7 are judged with their level multiplied by a factor that grows with the number of
// bits 0..3 already decided 1 for the same symbol. Single precision, as the decision has always
// used; every factor is exact in a double.
constexpr float kCompensationFactors[5] = {1.0f, 1.0f, 1.5f, 2.0f, 2.0f};
constexpr int32_t kFundamentalBin = 11;
constexpr int32_t kFundamentalShare = 10;  // bins 11 + 12 must exceed a tenth of the peak
constexpr double kBit6Fraction = 0.4;

bool IsHarmonicBin(int32_t bin) {
  for (int32_t harmonic : kHarmonicBins) {
    if (bin == harmonic) return true;
  }
  return false;
}

}  // namespace

int32_t HarmonicLevel(const int32_t* spectrum, int32_t bit) {
  assert(bit >= 0 && bit < 8);
  const int32_t first = kBitBins[bit];
  return kTwoBinLevel[bit] ? spectrum[first] + spectrum[first + 1] : spectrum[first];
}

double BitThreshold(int32_t spectrumPeak, int32_t bit) {
  const int32_t p = spectrumPeak;
  switch (bit) {
    case 0:
      return p / 2;
    case 1:
      return p / 3;
    case 2:
      return p / 3;
    case 3:
      return p / 5;
    case 4:
      return p / 4;
    case 5:
      return p / 3;
    case 6:
      return static_cast<double>(p) * kBit6Fraction;
    case 7:
      return p / 2;
  }
  assert(false && "bit out of range");
  return 0.0;
}

ByteDecision DecideByte(const int32_t* spectrum, const CalibrationState& calibration,
                        FundamentalRule fundamental) {
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

  const LevelTable& gain = calibration.gainTable;
  const LevelTable& reference = calibration.referenceTable;
  uint8_t byte = 0;
  int32_t lowBitsSet = 0;
  double margin = 0.0;
  for (int32_t bit = 0; bit < 8; ++bit) {
    double value = HarmonicLevel(spectrum, bit);
    if (calibration.calibrated == 1) {
      const int32_t numerator = reference[bit] * gain[8];
      const int32_t denominator = reference[8] * gain[bit];
      const double ratio = static_cast<double>(numerator) / static_cast<double>(denominator);
      value = ratio * value;
    }
    if (bit >= 4) value = value * static_cast<double>(kCompensationFactors[lowBitsSet]);
    const double threshold = BitThreshold(peak, bit);
    const double distance = std::fabs(value - threshold) / peak;
    if (bit == 0 || distance < margin) margin = distance;
    if (threshold < value) {
      byte = static_cast<uint8_t>(byte | (1u << bit));
      if (bit < 4) ++lowBitsSet;
    }
  }
  decision.accepted = true;
  decision.byte = byte;
  decision.margin = margin;
  return decision;
}

}  // namespace brindlemoor
