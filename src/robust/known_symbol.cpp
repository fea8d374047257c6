#include "robust/known_symbol.h"

#include <bit>

#include "convention/symbol_convention.h"

namespace brindlemoor::robust {

int32_t KnownByte(KnownSymbols& known, bool accepted, uint8_t byte,
                  const CalibrationState& calibration) {
  const int32_t awaited = known.awaited;
  known.awaited = -1;
  if (!accepted) return -1;
  if (byte == 0) {
    known.awaited = 0;
    return 0;
  }
  const int32_t highest = std::bit_width(static_cast<unsigned>(byte)) - 1;
  const bool stepAwaited = highest == awaited ||
                           (calibration.calibrating != 0 && highest == calibration.calibrationStep);
  if (!stepAwaited) return -1;
  if (highest + 1 < kBitCount) known.awaited = highest + 1;
  return 1 << highest;
}

}  // namespace brindlemoor::robust
