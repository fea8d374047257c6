// Chooses the period of a symbol to analyse, from the sound that follows its onset: the previous
// tones' tail, measured in the period before the onset, is extrapolated and subtracted; each
// candidate is two periods averaged; the most periodic candidates are kept, and the loudest ones
// are averaged in phase. Both then lose part of the tail's power in each bit's harmonic
// (CancelTail).
#pragma once

#include <array>
#include <cstdint>

#include "robust/period_roots.h"
#include "robust/robust_constants.h"
#include "robust/sample_history.h"

namespace brindlemoor::robust {

struct ChosenPeriod {
  std::array<int16_t, kPeriod> samples{};  // scaled to use the 16-bit range; 0 when silent
  int32_t peak = 0;                        // largest magnitude among them
  int32_t offset = 0;                      // first sample's distance from the onset
  double periodicity = 0.0;                // correlation of the two averaged periods, -1..1
  double gridShare = 0.0;  // share of the two periods' 200..2500 Hz power on the 245 Hz grid
  double tailGain = 0.0;   // per-period decay of the tail that was subtracted
  double energy = 0.0;     // of the averaged period before scaling: how loud the symbol is there
  int32_t loudCandidates = 0;  // the loud average only: candidates averaged in phase into it
  bool onlyPeriodic = false;   // the loud average only: of the most periodic candidates alone
};

// The few most periodic candidates (by correlation), the most periodic first.
inline constexpr int32_t kKeptCandidates = 6;
struct CandidatePeriods {
  std::array<ChosenPeriod, kKeptCandidates> periods{};
  int32_t count = 0;
  // The loudest candidates averaged in phase (loud_average.h), whatever their periodicity; its
  // offset, periodicity and grid share are the loudest candidate's. Silent: peak 0.
  ChosenPeriod loud;
};

// Hands `average` on in `period` as integers scaled to use the 16-bit range; silent, they stay 0.
void ScalePeriod(const PeriodSamples& average, ChosenPeriod& period);

// `onset` is the first position of the onset's window; the history must hold the samples from
// two periods before it to kAnalysisDelay after it. `stepAwaited`: a calibration awaits its next
// step, whose single harmonic a room's build-up can make loudest late in the tone, even after it
// has ended, where a symbol of several harmonics is seldom analysed; the loud average then takes
// the most periodic candidates alone, so the step is measured where the text will be.
CandidatePeriods ChoosePeriods(const SampleHistory& history, const PeriodRoots& roots,
                               int64_t onset, bool stepAwaited);

}  // namespace brindlemoor::robust
