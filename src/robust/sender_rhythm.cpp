#include "robust/sender_rhythm.h"

#include <algorithm>
#include <cmath>

namespace brindlemoor::robust {
namespace {

// The correlation forgets with a time constant of about three seconds of hops.
constexpr double kForgetting = 1.0 - 1.0 / 2200.0;
// The rhythm is re-estimated this often (hops).
constexpr int32_t kEstimateEvery = 16;
// A rhythm stands out when its lag's correlation is this many times the mean over all lags; of
// lags within kNearPeak of the strongest, the shortest is the spacing (not twice it).
constexpr double kStandsOut = 2.5;
constexpr double kNearPeak = 0.6;
// A rhythm needs a few onsets to stand on: this much correlation is about four pairs of clear
// onsets one spacing apart.
constexpr double kLeastEvidence = 12.0;
// A lobe wider than this many lags above kNearPeak of the strongest is a sender whose gaps jitter:
// its top is flat and bumpy, and the spacing is its centre of mass, not its first bump.
constexpr int32_t kBroadLobe = 16;
// A sender's rhythm recurs: its lag's correlation is matched, within this share, at twice the
// lag. A slowly rising tone is an onset over many hops, so one tone and the swell of its echoes
// after its end already correlate strongly at a lag that never comes twice; three tones of a
// sender do. Twice the lag is looked for within a tenth of the lag (a jittering sender's gaps
// spread it), at least two hops.
constexpr double kRecurShare = 0.3;
constexpr int32_t kRecurReachDivisor = 10;
constexpr int32_t kLeastRecurReach = 2;
// A lag within kHalfLagReach lags of half the strongest one, and at kHalfLagShare of its
// correlation or more, is the half lag (image-source rooms, RT60 0.25 to 0.45 s at 0.7 to 1.2 m:
// the sender's 668 samples at 0.45 to 0.62 of twice them).
constexpr double kHalfLagShare = 0.4;
constexpr int32_t kHalfLagReach = 2;

}  // namespace

void SenderRhythm::Reset() { *this = SenderRhythm(); }

void SenderRhythm::NoteStrength(double strength) {
  // Each strength is kept twice, kKept apart, so that the strengths `lag` hops back lie in one
  // run below the newest: the loop reads them without wrapping.
  const auto slot = static_cast<std::size_t>(hops % kKept) + kKept;
  strengths[slot] = strength;
  strengths[slot - kKept] = strength;
  const int32_t longest = static_cast<int32_t>(std::min<int64_t>(kLongestLag, hops));
  if (strength == 0.0) {
    // Forgetting alone: the same values as adding 0 times each strength.
#pragma GCC unroll 4
    for (int32_t lag = kShortestLag; lag <= longest; ++lag)
      correlation[static_cast<std::size_t>(lag)] *= kForgetting;
  } else {
    for (int32_t lag = kShortestLag; lag <= longest; ++lag) {
      double& c = correlation[static_cast<std::size_t>(lag)];
      c = kForgetting * c + strength * strengths[slot - static_cast<std::size_t>(lag)];
    }
  }
  ++hops;
  if (hops % kEstimateEvery == 0) Estimate();
}

bool SenderRhythm::Recurs(int32_t peak) const {
  const int32_t reach = std::max(kLeastRecurReach, peak / kRecurReachDivisor);
  if (2 * peak + reach > kLongestLag) return true;  // beyond what the correlation holds
  double twice = 0.0;
  for (int32_t lag = 2 * peak - reach; lag <= 2 * peak + reach; ++lag)
    twice = std::max(twice, correlation[static_cast<std::size_t>(lag)]);
  return twice >= kRecurShare * correlation[static_cast<std::size_t>(peak)];
}

int32_t SenderRhythm::TopSpacing(int32_t peak) const {
  const double left = correlation[static_cast<std::size_t>(peak - 1)];
  const double top = correlation[static_cast<std::size_t>(peak)];
  const double right = correlation[static_cast<std::size_t>(std::min(peak + 1, kLongestLag))];
  const double curve = left - 2.0 * top + right;
  const double shift = curve < 0.0 ? std::clamp(0.5 * (left - right) / curve, -0.5, 0.5) : 0.0;
  return static_cast<int32_t>(std::lrint((peak + shift) * kHop));
}

void SenderRhythm::FindHalfLag(int32_t strongest, double best) {
  int32_t top = 0;
  const int32_t first = std::max(kShortestLag + 1, strongest / 2 - kHalfLagReach);
  for (int32_t lag = first; lag <= (strongest + 1) / 2 + kHalfLagReach; ++lag) {
    if (top == 0 ||
        correlation[static_cast<std::size_t>(lag)] > correlation[static_cast<std::size_t>(top)]) {
      top = lag;
    }
  }
  if (top > 0 && correlation[static_cast<std::size_t>(top)] >= kHalfLagShare * best)
    halfSpacing = TopSpacing(top);
}

void SenderRhythm::Estimate() {
  EstimateFromCorrelation();
  if (kept > 0) {
    spacing = kept;
    halfSpacing = 0;
  }
}

void SenderRhythm::EstimateFromCorrelation() {
  double best = 0.0;
  double sum = 0.0;
  int32_t strongest = kShortestLag;
  for (int32_t lag = kShortestLag; lag <= kLongestLag; ++lag) {
    const double c = correlation[static_cast<std::size_t>(lag)];
    if (c > best) strongest = lag;
    best = std::max(best, c);
    sum += c;
  }
  const double mean = sum / (kLongestLag - kShortestLag + 1);
  spacing = 0;
  spread = false;
  spreadSpacing = 0;
  halfSpacing = 0;
  if (!(best > kLeastEvidence && best > kStandsOut * mean)) return;
  for (int32_t lag = kShortestLag; lag <= kLongestLag; ++lag) {
    const double c = correlation[static_cast<std::size_t>(lag)];
    if (c < kNearPeak * best) continue;
    // The lobe's lags above the threshold, weighed by how far they stand over it.
    const double threshold = kNearPeak * best;
    double mass = 0.0;
    double moment = 0.0;
    int32_t end = lag;
    for (; end <= kLongestLag && correlation[static_cast<std::size_t>(end)] >= threshold; ++end) {
      mass += correlation[static_cast<std::size_t>(end)] - threshold;
      moment += (correlation[static_cast<std::size_t>(end)] - threshold) * end;
    }
    if (!spread && end - lag > kBroadLobe && mass > 0.0 &&
        Recurs(static_cast<int32_t>(std::lrint(moment / mass)))) {
      spreadSpacing = static_cast<int32_t>(std::lrint(moment / mass * kHop));
      spread = true;
    }
    // The top of this lobe.
    int32_t peak = lag;
    while (peak < kLongestLag && correlation[static_cast<std::size_t>(peak + 1)] >
                                     correlation[static_cast<std::size_t>(peak)]) {
      ++peak;
    }
    if (!Recurs(peak)) {
      lag = peak;
      continue;
    }
    spacing = TopSpacing(peak);
    // The strongest lag's own lobe: its half lag stood under kNearPeak, or it would be this one.
    if (!spread && std::abs(peak - strongest) <= kHalfLagReach) FindHalfLag(strongest, best);
    return;
  }
}

}  // namespace brindlemoor::robust
