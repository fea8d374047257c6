// The symbols a calibration sends are known before they arrive: a 0 (every bit harmonic off), then
// steps 0..7, step k with only bit k's harmonic on. Follows the decided bytes through a calibration
// so that the tail predictor can learn from every harmonic known to be off, whatever the earlier
// steps' tails made the decision read there.
#pragma once

#include <cstdint>

#include "receiver/calibration_state.h"

namespace brindlemoor::robust {

struct KnownSymbols {
  int32_t awaited = -1;  // the calibration step expected next; -1 outside a calibration
};

// The byte sent for the symbol decided as `byte` (`accepted` false when none was): the awaited
// step, when its bit is the highest one decided (the earlier steps' tails only add lower bits);
// -1 when the symbol is not known to be one. The step is awaited after a decided 0 or the step
// before it, or when `calibration` awaits it. Moves `known` on to the next symbol.
int32_t KnownByte(KnownSymbols& known, bool accepted, uint8_t byte,
                  const CalibrationState& calibration);

}  // namespace brindlemoor::robust
