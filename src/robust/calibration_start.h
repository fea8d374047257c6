// Whether a 0 byte begins a calibration: in a bare room a tone's end or its echoes can decode as
// 0, and a calibration begun by such a 0 eats the symbols after it until a step fails. A 0 is
// therefore held until the next symbol, and begins a calibration only when that symbol is its
// first step: harmonic 2 present and the loudest of the eight.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "convention/symbol_convention.h"
#include "receiver/calibration_state.h"

namespace brindlemoor::robust {

// Whether `byte`, decided from `spectrum` (256 bins, as heard) right after a 0, is the first
// step of the calibration that 0 would begin (read from a 0 as StepReadFromZero reads it).
bool IsFirstStep(uint8_t byte, const int32_t* spectrum, const CalibrationState& calibration);

// A calibration begun on a loose first step: a byte of more bits than harmonic 2's, taken for
// the step only because harmonic 2 was loudest. In a strong room a letter of a few high
// harmonics ('h', 'l') read as 0 began one on the next letter ('a' 0x61, 'o' 0x6f: the 0x60 of
// lowercase, with bit 0), which then ate the letters after it until a step failed, a word's
// middle lost (seven times in ten minutes of prose). Its symbols are kept: should it fail, they
// are text after all; the 0 is not (it was a letter misread). A step begun from a clean 1 is a
// calibration's, and fails as one.
class LooseStart {
 public:
  // A calibration begins, `firstStep` the byte its first step was read as (0: read as a step
  // from a 0).
  void Begin(uint8_t firstStep);
  // A byte the calibration took as a step, its first step's too.
  void Took(uint8_t byte);
  // The calibration ended, `completed` or failed: the bytes it took, to pass as text, when it
  // failed after a loose start; none otherwise.
  std::span<const uint8_t> Ended(bool completed);

 private:
  std::array<uint8_t, kBitCount> bytes{};  // a calibration takes at most its eight steps
  int32_t count = 0;
  bool loose = false;
};

}  // namespace brindlemoor::robust
