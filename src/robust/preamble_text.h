// Text decoded after a 0 whose calibration may yet be framed anew, held until the calibration is
// found or no longer can be: in a strong room the 0's tail buries its first step, the calibration
// is not begun as framed, and its steps were passed as text (eight characters or so before every
// message) before the search found them.
#pragma once

#include <array>
#include <cstdint>

#include "receiver/receive_tick.h"

namespace brindlemoor::robust {

struct PreambleText {
  struct Byte {
    uint8_t value = 0;
    int64_t onset = 0;  // where its symbol began
  };
  // A calibration's nine tones and the symbols decoded until its last is heard out.
  static constexpr int32_t kMost = 16;
  std::array<Byte, kMost> bytes{};
  int32_t count = 0;
  int64_t until = -1;  // held until the kept sound reaches this many samples; -1: none held
};

// Holds `value`, decoded at `onset`, when a calibration begun by the 0 at `zero` may still be
// found with its tones about `spacing` apart (the rhythm's, which early in a strong room can be
// a tone's start and end, 460 samples for 668) and could hold it. False when it is not held.
bool HoldPreambleText(PreambleText& text, uint8_t value, int64_t onset, int64_t zero,
                      int32_t spacing);

// Routes the held text in order, except the bytes decoded from `dropFrom` to `dropTo` (the found
// calibration's tones). True when the text is full.
bool ReleasePreambleText(PreambleText& text, ReceiveContext& context, int64_t dropFrom = 0,
                         int64_t dropTo = -1);

}  // namespace brindlemoor::robust
