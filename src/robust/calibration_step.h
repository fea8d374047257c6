// A calibration step read through a microphone's noise suppression: while the suppressor settles,
// the first step's single harmonic can arrive under half the fundamental and decode as 0, which
// would fail the whole sequence. Such a 0 whose awaited harmonic stands out (over the earlier
// steps' tails, far over the later steps' harmonics) is that step.
#pragma once

#include <cstdint>

#include "receiver/calibration_state.h"

namespace brindlemoor::robust {

// The step (bit) that byte `b`, decided from `spectrum` (256 bins, as heard), stands for while
// `calibration` awaits it: when b is 0 and the awaited harmonic stands out. -1 otherwise,
// and always outside a calibration or for any other byte.
int32_t StepReadFromZero(uint8_t b, const int32_t* spectrum, const CalibrationState& calibration);

}  // namespace brindlemoor::robust
