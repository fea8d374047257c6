#include "robust/gap_spread.h"

#include <algorithm>
#include <cmath>

namespace brindlemoor::robust {
namespace {

// Free spacings further than this share of the rhythm's away are a missed or an extra onset, not
// a jittered gap. The median needs this many distances.
constexpr double kLargestShare = 0.5;
constexpr std::size_t kLeastDistances = 3;

}  // namespace

void GapSpread::NoteFreeSpacing(int64_t since) {
  freeSpacings[freeCount % kKept] = since;
  ++freeCount;
}

void GapSpread::Start(double spacing) {
  for (std::size_t i = 0; i < std::min(freeCount, kKept); ++i) {
    const double distance = std::fabs(static_cast<double>(freeSpacings[i]) - spacing);
    if (distance <= kLargestShare * spacing) Note(distance);
  }
  freeCount = 0;
}

void GapSpread::Follow(double error) { Note(std::fabs(error)); }

void GapSpread::Note(double distance) {
  distances[count % kKept] = distance;
  ++count;
  const std::size_t n = std::min(count, kKept);
  if (n < kLeastDistances) return;
  std::array<double, kKept> sorted = distances;
  const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(sorted.begin(), middle, sorted.begin() + static_cast<std::ptrdiff_t>(n));
  spread = *middle;
}

}  // namespace brindlemoor::robust
