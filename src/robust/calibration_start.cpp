#include "robust/calibration_start.h"

#include "convention/symbol_convention.h"
#include "receiver/decide_byte.h"
#include "robust/calibration_step.h"

namespace brindlemoor::robust {

bool IsFirstStep(uint8_t byte, const int32_t* spectrum, const CalibrationState& calibration) {
  CalibrationState begun = calibration;
  begun.calibrating = 1;
  begun.calibrationStep = 0;
  if (StepReadFromZero(byte, spectrum, begun) == 0) return true;
  if ((byte & 1u) == 0) return false;
  const int32_t first = HarmonicLevel(spectrum, 0);
  for (int32_t bit = 1; bit < kBitCount; ++bit) {
    if (HarmonicLevel(spectrum, bit) > first) return false;
  }
  return true;
}

void LooseStart::Begin(uint8_t firstStep) {
  loose = firstStep != 0 && firstStep != 1;
  count = 0;
}

void LooseStart::Took(uint8_t byte) {
  if (loose && count < static_cast<int32_t>(bytes.size()))
    bytes[static_cast<std::size_t>(count++)] = byte;
}

std::span<const uint8_t> LooseStart::Ended(bool completed) {
  const int32_t taken = loose && !completed ? count : 0;
  loose = false;
  count = 0;
  return {bytes.data(), static_cast<std::size_t>(taken)};
}

}  // namespace brindlemoor::robust
