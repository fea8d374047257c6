#include "robust/tail_canceller.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>

#include "convention/symbol_convention.h"

namespace brindlemoor::robust {
namespace {

// A tail keeps at most this share of its power from one period to the next (RT60 of about 6 s
// at 11025 Hz): more is a tail that swells as its reflections arrive, and is taken as steady.
constexpr double kLongestDecay = 0.995;
// A tail's power swells by at most this factor from one period to the next: SoX's reverb
// swells so, while a tone that has begun grows by more. Taking no tail wherever it swelled at
// all lost the gains in SoX's rooms; taking one wherever it grew cancelled a late-found tone.
constexpr double kMostSwell = 2.0;
// Harmonics of 245 Hz that no symbol sounds, below the period's highest (22).
constexpr int32_t kFirstFree = 10;
constexpr int32_t kLastFree = kPeriod / 2;
// A tail measured in one period is that much louder than noise's share before it counts; less
// let noise at 10 dB, subtracted from a weak set harmonic, lose it.
constexpr double kOverNoise = 3.0;
// The share of the measured tail's power taken away: its phase against the tone's makes the
// sum anything from their difference to their sum, and taking all of it away lost more set
// harmonics in SoX's rooms than it saved unset ones.
constexpr double kCancelledShare = 0.5;

}  // namespace

TailPowers MeasureTail(const PeriodRoots& roots, const PeriodSamples& before,
                       const PeriodSamples& last) {
  TailPowers tail;
  std::array<double, kBitCount> earlier{};
  double lastSum = 0.0;
  double beforeSum = 0.0;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    tail.power[k] = std::norm(roots.Measure(last, bit + kFirstBitHarmonic));
    earlier[k] = std::norm(roots.Measure(before, bit + kFirstBitHarmonic));
    lastSum += tail.power[k];
    beforeSum += earlier[k];
  }
  // A sound that grew over those periods by more than a room's tail swells (the tone itself,
  // begun before its onset was found) is no tail.
  if (beforeSum <= 0.0 || lastSum > kMostSwell * beforeSum) {
    tail.power.fill(0.0);
    return tail;
  }
  // Noise, unlike a tail, spreads over the harmonics that no symbol holds: a tail counts only
  // where it stands over kOverNoise times their mean power.
  double noise = 0.0;
  for (int32_t harmonic = kFirstFree; harmonic <= kLastFree; ++harmonic)
    noise += std::norm(roots.Measure(last, harmonic)) + std::norm(roots.Measure(before, harmonic));
  noise *= kOverNoise / (2.0 * (kLastFree - kFirstFree + 1));
  tail.decay = std::min(lastSum / beforeSum, kLongestDecay);
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    tail.power[k] =
        kCancelledShare * std::max(0.0, std::min(tail.power[k], earlier[k] * tail.decay) - noise);
  }
  return tail;
}

void CancelTail(const PeriodRoots& roots, const TailPowers& tail, double periodsAfter,
                PeriodSamples& period) {
  if (tail.decay <= 0.0) return;
  const double kept = std::pow(tail.decay, periodsAfter);
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const int32_t harmonic = bit + kFirstBitHarmonic;
    // A harmonic without a tail to take away is not measured.
    const double remaining = tail.power[static_cast<std::size_t>(bit)] * kept;
    if (remaining <= 0.0) continue;
    const std::complex<double> component = roots.Measure(period, harmonic);
    const double power = std::norm(component);
    if (power <= 0.0) continue;
    // The component's share to take away, so that power - remaining is left.
    const double cut = 1.0 - std::sqrt(std::max(0.0, power - remaining) / power);
    roots.Subtract(cut * component * (2.0 / kPeriod), harmonic, 0, period);
  }
}

}  // namespace brindlemoor::robust
