// Whether a 0 byte begins a calibration: in a bare room a tone's end or its echoes can decode as
// 0, and a calibration begun by such a 0 eats the symbols after it until a step fails. A 0 is
// therefore held until the next symbol, and begins a calibration only when that symbol is its
// first step: harmonic 2 present and the loudest of the eight.
#pragma once

#include <cstdint>

#include "receiver/calibration_state.h"

namespace brindlemoor::robust {

// Whether `byte`, decided from `spectrum` (256 bins, as heard) right after a 0, is the first
// step of the calibration that 0 would begin (read from a 0 as StepReadFromZero reads it).
bool IsFirstStep(uint8_t byte, const int32_t* spectrum, const CalibrationState& calibration);

}  // namespace brindlemoor::robust
