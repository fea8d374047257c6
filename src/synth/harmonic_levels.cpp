#include "synth/harmonic_levels.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <numbers>

namespace brindlemoor {

namespace {

// The analysis the receiver makes: one period repeated to a 512-point spectrum.
constexpr double kAnalysisPoints = kSymbolLength;
constexpr double kPeriodSamples = kSymbolPeriod;

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
  const double factor = static_cast<double>(kCompensationFactors[lowBits]);

  // Levels as fractions of P, turned into amplitudes by each component's gain into its level.
  ComponentAmplitudes a{};
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    if (((byte >> bit) & 1) == 0) continue;
    const double applied = bit >= kFirstCompensatedBit ? factor : 1.0;
    const double level = std::min(1.0, margin * ThresholdFraction(bit) / applied);
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
