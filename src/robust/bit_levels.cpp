#include "robust/bit_levels.h"

#include <algorithm>
#include <cmath>

namespace brindlemoor::robust {
namespace {

// The levels start this many times over and under the fixed threshold, so that the threshold
// between them starts as the fixed one.
constexpr double kStartApart = 3.0;
// How far each level moves towards a symbol's (in logarithms); about ten symbols' memory.
constexpr double kPull = 0.1;
// Noise and echoes raise the unset levels and scatter both: a threshold stays this many times
// over the unset harmonics' median level, so that it falls only where they are quiet.
constexpr double kOverClear = 8.0;
// A level of nothing counts as this share.
constexpr double kLeastShare = 1e-4;
// How far a running median steps towards each symbol's level (in logarithms).
constexpr double kMedianStep = 0.05;
// In a bare room the set and unset levels of a harmonic overlap least about this far from the
// unset median towards the set one (in logarithms; measured 0.55 to 0.8 over rooms and noise).
constexpr double kSplit = 0.7;
// Where the room leaves the set bits (their median) standing this far or further over the fixed
// threshold (in logarithms), the threshold stays; where they stand lower it may be lowered by
// the difference, at most by kMostLowered. A clean channel or a mild room, where set bits stand
// well over it, keeps the fixed threshold that noise is best judged by.
constexpr double kUsualStanding = 0.5;
constexpr double kMostLowered = 1.0986122886681098;  // log(3)

// Steps a running median towards `level`.
void StepMedian(double& median, double level) {
  median += level > median ? kMedianStep : -kMedianStep;
}

// The threshold (in logarithms) where the set and unset levels split, no higher than the fixed
// one and no lower than the set bits' standing allows.
double SplitThreshold(double fixed, double setMedian, double clearMedian) {
  const double lowered = std::clamp(kUsualStanding - (setMedian - fixed), 0.0, kMostLowered);
  return std::clamp(clearMedian + kSplit * (setMedian - clearMedian), fixed - lowered, fixed);
}

double Median(std::array<double, kBitCount> levels) {
  std::nth_element(levels.begin(), levels.begin() + kBitCount / 2, levels.end());
  return levels[kBitCount / 2];
}

}  // namespace

void BitLevels::Reset() {
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    const double fixed = std::log(ThresholdFraction(bit));
    setLevel[k] = fixed + std::log(kStartApart);
    clearLevel[k] = fixed - std::log(kStartApart);
    setMedian[k] = setLevel[k];
    clearMedian[k] = clearLevel[k];
    shares[k] = ThresholdFraction(bit);
  }
}

void BitLevels::Learn(const ByteDecision& decision) {
  if (!decision.accepted) return;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    const double level = std::log(std::max(decision.levelShares[k], kLeastShare));
    // Each level learns from the values nearer to it than to the other.
    double& nearer = level > 0.5 * (setLevel[k] + clearLevel[k]) ? setLevel[k] : clearLevel[k];
    nearer += kPull * (level - nearer);
    StepMedian(((decision.byte >> bit) & 1u) != 0 ? setMedian[k] : clearMedian[k], level);
  }
  // A harmonic whose set level has fallen below the others' (the median) has its threshold
  // lowered as far, but kept well over the unset harmonics' usual level (noise and echoes raise
  // it); never raised over the fixed one.
  const double usualSet = Median(setLevel);
  const double floor = Median(clearLevel) + std::log(kOverClear);
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    const double fixed = std::log(ThresholdFraction(bit));
    const double lowered = fixed + std::min(0.0, setLevel[k] - usualSet);
    const double followed = std::min(fixed, std::max(lowered, floor));
    shares[k] = std::exp(std::min(followed, SplitThreshold(fixed, setMedian[k], clearMedian[k])));
  }
}

}  // namespace brindlemoor::robust
