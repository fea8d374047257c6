#include "synth/harmonic_levels.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <numbers>

namespace brindlemoor {

namespace {

constexpr int32_t kBitCount = 8;
constexpr int32_t kFirstBitHarmonic = 2;
constexpr double kAnalysisPoints = 512.0;
constexpr double kPeriodSamples = 45.0;
// The decision's first bin of each bit's level and whether the level adds the next bin.
constexpr std::array<int32_t, kBitCount> kBitBins = {23, 34, 45, 57, 68, 79, 91, 102};
constexpr std::array<bool, kBitCount> kTwoBinLevel = {false, false, true,  false,
                                                      true,  true,  false, true};
constexpr int32_t kFundamentalBin = 11;
// Thresholds as fractions of P, and the factor on bits 4..7 by the count of bits 0..3 set.
constexpr std::array<double, kBitCount> kThresholdFraction = {1.0 / 2, 1.0 / 3, 1.0 / 3, 1.0 / 5,
                                                              1.0 / 4, 1.0 / 3, 0.4,     1.0 / 2};
constexpr std::array<double, 5> kCompensation = {1.0, 1.0, 1.5, 2.0, 2.0};
constexpr int32_t kFirstCompensatedBit = 4;

}  // namespace

double BinGain(int32_t harmonic, int32_t bin) {
  const double d = kAnalysisPoints * harmonic / kPeriodSamples - bin;
  if (d == 0.0) return kAnalysisPoints / 2 / std::sqrt(kAnalysisPoints);
  const double dirichlet =
      std::fabs(std::sin(std::numbers::pi * d) / std::sin(std::numbers::pi * d / kAnalysisPoints));
  return dirichlet / 2 / std::sqrt(kAnalysisPoints);
}

double LevelGain(int32_t harmonic) {
  assert(harmonic >= 1 && harmonic <= kHighestHarmonic);
  if (harmonic == 1) return BinGain(1, kFundamentalBin) + BinGain(1, kFundamentalBin + 1);
  const int32_t bit = harmonic - kFirstBitHarmonic;
  const int32_t bin = kBitBins[bit];
  return BinGain(harmonic, bin) + (kTwoBinLevel[bit] ? BinGain(harmonic, bin + 1) : 0.0);
}

double PeakBinGain(int32_t harmonic) {
  const double position = kAnalysisPoints * harmonic / kPeriodSamples;
  return std::max(BinGain(harmonic, static_cast<int32_t>(std::floor(position))),
                  BinGain(harmonic, static_cast<int32_t>(std::ceil(position))));
}

ComponentAmplitudes EqualAmplitudes(uint8_t byte) {
  ComponentAmplitudes a{};
  a[1] = 1.0;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    if ((byte >> bit) & 1) a[bit + kFirstBitHarmonic] = 1.0;
  }
  return a;
}

ComponentAmplitudes MarginAmplitudes(uint8_t byte, double margin, double fundamentalLevel) {
  assert(margin > 0.0 && fundamentalLevel > 0.0);
  // A calibration symbol measures its harmonic's gain through the channel only if the
  // receiver's scaling (its largest sample to 127) does not follow that harmonic: sent at the
  // fundamental's amplitude, a weakened harmonic also weakens the sum's largest sample by much
  // less than itself, and its level drops with the channel's gain, which is what the
  // equalisation needs to see.
  if (std::popcount(static_cast<unsigned>(byte)) == 1) return EqualAmplitudes(byte);
  const int32_t lowBits = std::popcount(static_cast<unsigned>(byte & 0x0f));
  const double factor = kCompensation[lowBits];

  // Levels as fractions of P, turned into amplitudes by each component's gain into its level.
  ComponentAmplitudes a{};
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    if (((byte >> bit) & 1) == 0) continue;
    const double applied = bit >= kFirstCompensatedBit ? factor : 1.0;
    const double level = std::min(1.0, margin * kThresholdFraction[bit] / applied);
    a[bit + kFirstBitHarmonic] = level / LevelGain(bit + kFirstBitHarmonic);
  }
  if ((byte & 1) != 0) {
    a[kFirstBitHarmonic] = 1.0 / PeakBinGain(kFirstBitHarmonic);
    a[1] = fundamentalLevel / LevelGain(1);
  } else {
    a[1] = 1.0 / PeakBinGain(1);
  }
  return a;
}

}  // namespace brindlemoor
