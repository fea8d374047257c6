#include "robust/loud_average.h"

#include <cassert>

namespace brindlemoor::robust {

LoudAverage AverageLoudPeriods(std::span<const PeriodSamples> periods,
                               std::span<const double> energies) {
  assert(periods.size() == energies.size());
  LoudAverage loud;
  double most = 0.0;
  for (std::size_t c = 0; c < energies.size(); ++c) {
    if (energies[c] > most) {
      most = energies[c];
      loud.loudest = static_cast<int32_t>(c);
    }
  }
  if (loud.loudest < 0) return loud;
  for (std::size_t c = 0; c < periods.size(); ++c) {
    if (energies[c] < kLoudShare * most) continue;
    // Sample i of a candidate lies c * kHop + i samples after the onset.
    const std::size_t shift = c * kHop;
    for (std::size_t i = 0; i < periods[c].size(); ++i)
      loud.samples[(shift + i) % kPeriod] += periods[c][i];
    ++loud.averaged;
  }
  for (double& x : loud.samples) x /= loud.averaged;
  return loud;
}

}  // namespace brindlemoor::robust
