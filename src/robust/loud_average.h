// The loudest candidate periods of a symbol averaged in phase: late in a slowly rising tone, where
// the tone is strongest against the tails of earlier tones, over several periods, which averages
// noise and a room's wandering echoes out.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "robust/robust_constants.h"

namespace brindlemoor::robust {

// A candidate joins the average when its energy is at least this share of the loudest's.
inline constexpr double kLoudShare = 0.85;

struct LoudAverage {
  PeriodSamples samples{};  // in the phase of a period that starts at the onset
  int32_t loudest = -1;     // index of the loudest candidate; -1 when all are silent
  int32_t averaged = 0;     // candidates averaged
};

// `periods[c]` starts c * kHop samples after the onset; `energies[c]` is its energy.
LoudAverage AverageLoudPeriods(std::span<const PeriodSamples> periods,
                               std::span<const double> energies);

}  // namespace brindlemoor::robust
