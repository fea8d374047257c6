// Takes the previous tones' reverberant tail out of an analysed period, harmonic by harmonic and
// in power: a room's tail keeps each harmonic's level but not its phase, so it can be measured in
// the periods before a tone's onset and its power subtracted from each bit's harmonic, whatever
// its phase has become.
#pragma once

#include <array>
#include <cstdint>

#include "convention/symbol_convention.h"
#include "robust/period_roots.h"
#include "robust/robust_constants.h"

namespace brindlemoor::robust {

// The power of the bits' harmonics in the tail before an onset, and how much of it one period
// keeps.
struct TailPowers {
  std::array<double, kBitCount> power{};  // of harmonic k + 2 in the period before the onset
  double decay = 0.0;                     // power kept per period, 0 when no tail
};

// From the two periods before an onset (`before` first): each harmonic's power is the lesser of
// the last period's and the one before's carried on by the decay, so a tone that began in the
// last period is not taken for its own tail; none when the sound grew much from one to the other.
TailPowers MeasureTail(const PeriodRoots& roots, const PeriodSamples& before,
                       const PeriodSamples& last);

// Takes from `period` (an average of periods `periodsAfter` periods after the last one measured)
// each bit harmonic's share of the tail's power that would remain there: its component keeps
// its phase and is scaled down to the power left.
void CancelTail(const PeriodRoots& roots, const TailPowers& tail, double periodsAfter,
                PeriodSamples& period);

}  // namespace brindlemoor::robust
