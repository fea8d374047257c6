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
  }
  // A harmonic whose set level has fallen below the others' (the median) has its threshold
  // lowered as far, but kept well over the unset harmonics' usual level (noise and echoes raise
  // it); never raised over the fixed one.
  const double setMedian = Median(setLevel);
  const double floor = Median(clearLevel) + std::log(kOverClear);
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    const double fixed = std::log(ThresholdFraction(bit));
    const double lowered = fixed + std::min(0.0, setLevel[k] - setMedian);
    shares[k] = std::exp(std::min(fixed, std::max(lowered, floor)));
  }
}

}  // namespace brindlemoor::robust
