#include "robust/period_choice.h"

#include <algorithm>
#include <cmath>

#include "robust/grid_share.h"
#include "robust/loud_average.h"
#include "robust/tail_canceller.h"

namespace brindlemoor::robust {
namespace {

constexpr int32_t kCandidates = kCandidateSpan / kHop + 1;
constexpr int32_t kPeriodsAhead = (kCandidateSpan + kAveragedPeriods * kPeriod) / kPeriod + 1;
constexpr int32_t kHopsPerPeriod = kPeriod / kHop;
static_assert(kHopsPerPeriod * kHop == kPeriod, "a candidate's second period begins on a hop");
// The samples the candidates cover, from the onset on.
constexpr int32_t kCleanedSamples = (kCandidates - 1) * kHop + kAveragedPeriods * kPeriod;
constexpr double kLargestTailGain = 0.98;
// The chosen period is scaled to this peak before it is handed on as integers.
constexpr double kScaledPeak = 16000.0;

using Period = PeriodSamples;

// Sums over one period, sample by sample in order.
double Dot(const double* a, const double* b) {
  double sum = 0.0;
  for (int32_t i = 0; i < kPeriod; ++i) sum += a[i] * b[i];
  return sum;
}
double Dot(const Period& a, const Period& b) { return Dot(a.data(), b.data()); }
// The period at `a`'s energy, and its product with the period after it, in one pass.
void SelfAndCross(const double* a, double& self, double& cross) {
  double aa = 0.0;
  double ab = 0.0;
  for (int32_t i = 0; i < kPeriod; ++i) {
    aa += a[i] * a[i];
    ab += a[i] * a[i + kPeriod];
  }
  self = aa;
  cross = ab;
}

// The tail just before the onset: the last period, and how much it kept of the one before. A
// sound that grew over those periods (noise, or the tone itself begun early) is no tail.
double TailGain(const Period& last, const Period& before) {
  const double lastEnergy = Dot(last, last);
  const double beforeEnergy = Dot(before, before);
  if (beforeEnergy <= 0.0 || lastEnergy > beforeEnergy) return 0.0;
  return std::clamp(Dot(last, before) / beforeEnergy, 0.0, kLargestTailGain);
}

}  // namespace

void ScalePeriod(const PeriodSamples& average, ChosenPeriod& period) {
  double largest = 0.0;
  for (const double x : average) largest = std::max(largest, std::fabs(x));
  if (largest <= 0.0) return;
  for (std::size_t i = 0; i < average.size(); ++i) {
    period.samples[i] = static_cast<int16_t>(std::lrint(average[i] * kScaledPeak / largest));
    period.peak = std::max<int32_t>(period.peak, std::abs(period.samples[i]));
  }
}

CandidatePeriods ChoosePeriods(const SampleHistory& history, const PeriodRoots& roots,
                               int64_t onset, bool stepAwaited) {
  Period last{};
  Period before{};
  history.Read(onset - kPeriod, kPeriod, last.data());
  history.Read(onset - 2 * kPeriod, kPeriod, before.data());
  const double tailGain = TailGain(last, before);
  const TailPowers tail = MeasureTail(roots, before, last);
  std::array<double, kPeriodsAhead + 1> gains{};
  gains[0] = 1.0;
  for (std::size_t k = 1; k < gains.size(); ++k) gains[k] = gains[k - 1] * tailGain;

  // The sound from the onset on without the extrapolated tail, once for every candidate.
  std::array<double, kCleanedSamples> cleaned;
  history.Read(onset, kCleanedSamples, cleaned.data());
  for (int32_t after = 0; after < kCleanedSamples; ++after) {
    const double tail = last[static_cast<std::size_t>(after % kPeriod)] *
                        gains[static_cast<std::size_t>(after / kPeriod + 1)];
    cleaned[static_cast<std::size_t>(after)] -= tail;
  }

  // Candidate c's two periods begin c and c + kHopsPerPeriod hops after the onset: the energy of
  // the period beginning at each hop serves both.
  auto at = [&](int32_t hop) { return cleaned.data() + static_cast<std::ptrdiff_t>(hop) * kHop; };
  std::array<double, kCandidates + kHopsPerPeriod> periodEnergies;
  std::array<double, kCandidates> crossed;
  for (int32_t c = 0; c < kCandidates; ++c) {
    const auto k = static_cast<std::size_t>(c);
    SelfAndCross(at(c), periodEnergies[k], crossed[k]);
  }
  for (int32_t c = kCandidates; c < kCandidates + kHopsPerPeriod; ++c)
    periodEnergies[static_cast<std::size_t>(c)] = Dot(at(c), at(c));

  std::array<double, kCandidates> periodicity;
  std::array<Period, kCandidates> averages;
  std::array<double, kCandidates> energies;
  for (int32_t c = 0; c < kCandidates; ++c) {
    const auto k = static_cast<std::size_t>(c);
    const double* a = at(c);
    const double* b = a + kPeriod;
    const double norms = periodEnergies[k] * periodEnergies[k + kHopsPerPeriod];
    periodicity[k] = norms > 0.0 ? crossed[k] / std::sqrt(norms) : 0.0;
    Period& average = averages[k];
    for (std::size_t i = 0; i < average.size(); ++i) average[i] = 0.5 * (a[i] + b[i]);
    energies[k] = Dot(average.data(), average.data());
  }

  // The most periodic candidates, best first; among equals the earliest.
  std::array<int32_t, kKeptCandidates> kept{};
  std::array<bool, kCandidates> taken{};
  for (int32_t& best : kept) {
    best = -1;
    for (int32_t c = 0; c < kCandidates; ++c) {
      const auto k = static_cast<std::size_t>(c);
      if (!taken[k] && (best < 0 || periodicity[k] > periodicity[static_cast<std::size_t>(best)]))
        best = c;
    }
    taken[static_cast<std::size_t>(best)] = true;
  }

  // The loudest candidates averaged in phase: of those up to the loudest one (while the tone
  // still rises) and of the kept ones after it; the others there may be loud with a short tone's
  // echoes after it has ended. An awaited calibration step: of the kept ones alone.
  CandidatePeriods chosen;
  const GridFilters grid = MakeGridFilters();
  // Each candidate's share measured once, though the loud average's and a kept one's may be its.
  std::array<double, kCandidates> shares{};
  std::array<bool, kCandidates> shared{};
  auto gridShare = [&](std::size_t k) {
    if (!shared[k]) {
      Period a;
      Period b;
      std::copy_n(at(static_cast<int32_t>(k)), kPeriod, a.begin());
      std::copy_n(at(static_cast<int32_t>(k)) + kPeriod, kPeriod, b.begin());
      shares[k] = GridShare(grid, a, b);
    }
    shared[k] = true;
    return shares[k];
  };
  const auto loudest = static_cast<std::size_t>(std::max_element(energies.begin(), energies.end()) -
                                                energies.begin());
  std::array<double, kCandidates> joining{};
  for (std::size_t k = 0; k < joining.size(); ++k)
    joining[k] = (k <= loudest && !stepAwaited) || taken[k] ? energies[k] : 0.0;
  LoudAverage loud = AverageLoudPeriods(averages, joining);
  if (loud.loudest >= 0) {
    const auto k = static_cast<std::size_t>(loud.loudest);
    ChosenPeriod& period = chosen.loud;
    period.offset = loud.loudest * kHop;
    period.periodicity = periodicity[k];
    period.gridShare = gridShare(k);
    period.tailGain = tailGain;
    CancelTail(roots, tail, (period.offset + 1.5 * kPeriod) / kPeriod, loud.samples);
    period.energy = Dot(loud.samples, loud.samples);
    period.loudCandidates = loud.averaged;
    period.onlyPeriodic = stepAwaited;
    ScalePeriod(loud.samples, period);
  }

  for (; chosen.count < kKeptCandidates; ++chosen.count) {
    const int32_t best = kept[static_cast<std::size_t>(chosen.count)];
    const auto k = static_cast<std::size_t>(best);
    ChosenPeriod& period = chosen.periods[static_cast<std::size_t>(chosen.count)];
    period.offset = best * kHop;
    period.periodicity = periodicity[k];
    period.gridShare = gridShare(k);  // only for the kept few: it is dear
    period.tailGain = tailGain;
    CancelTail(roots, tail, (period.offset + 1.5 * kPeriod) / kPeriod, averages[k]);
    period.energy = Dot(averages[k], averages[k]);
    ScalePeriod(averages[k], period);
  }
  return chosen;
}

}  // namespace brindlemoor::robust
