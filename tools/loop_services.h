// The headless services with the timer made real by a live event loop (SignalTimerLoop on
// POSIX, ConsoleTimerLoop on Windows): what the live receiver hands its dialog.
#pragma once

#include <cstdio>

#include "dialog/headless_services.h"

namespace brindlemoor {

template <class Loop>
class LoopServices : public HeadlessServices {
 public:
  LoopServices(Loop& loop, const char* program)
      : HeadlessServices(stdout, stderr, program), loop(loop) {}
  void SetTimer(uint32_t id, uint32_t periodMs) override {
    HeadlessServices::SetTimer(id, periodMs);
    loop.SetTimer(id, periodMs);
  }
  void KillTimer(uint32_t id) override {
    HeadlessServices::KillTimer(id);
    loop.KillTimer(id);
  }

 private:
  Loop& loop;
};

}  // namespace brindlemoor
