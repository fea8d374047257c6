// The bytes decoded in one receive tick, at most 127 and a terminating zero; and the two
// operations that fill and deliver it: RouteByte for each accepted byte, FinishTickText at the
// end of the tick.
#pragma once

#include <array>
#include <cstdint>

#include "receiver/calibration_state.h"
#include "receiver/framing.h"
#include "receiver/text_output.h"

namespace brindlemoor {

struct TickText {
  std::array<char, kTickTextBytes> bytes{};
  int32_t length = 0;

  void Clear() {
    bytes.fill(0);
    length = 0;
  }
};

// Feeds a calibration sequence with byte b (a zero starts one) or appends b to the text.
// `spectrum` still holds b's symbol. True when the text has just reached 127 characters.
bool RouteByte(uint8_t b, const int32_t* spectrum, CalibrationState& calibration, TickText& text,
               TextOutput& files);

// Terminates the text, appends it to "receive.txt" when not empty, counts silent ticks and
// shows the text in the box.
void FinishTickText(TickText& text, CalibrationState& calibration, TextOutput& files, TextBox& box);

}  // namespace brindlemoor
