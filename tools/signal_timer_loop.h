// The live receiver's event loop: restartable timers on the main thread, run until SIGINT,
// SIGTERM or SIGHUP. The signals are blocked in every thread and taken synchronously with
// sigtimedwait, so the loop sleeps until the next timer is due or a signal arrives: no signal
// handler, no busy waiting, and no other thread is ever interrupted by them.
#pragma once

#include <cstdint>

#include "timer_table.h"

namespace brindlemoor {

class SignalTimerLoop {
 public:
  using Clock = TimerTable::Clock;
  using TimerHandler = void (*)(void* context, uint32_t id);

  // Blocks SIGINT, SIGTERM and SIGHUP in the calling thread and so in every thread it creates
  // later: call it first thing in main, before any library starts a thread.
  static void BlockTerminationSignals();

  // Timer `id` fires every `periodMs` from now until killed; setting it again restarts the period.
  void SetTimer(uint32_t id, uint32_t periodMs) { timers.SetTimer(id, periodMs); }
  void KillTimer(uint32_t id) { timers.KillTimer(id); }
  bool TimerRunning(uint32_t id) const { return timers.TimerRunning(id); }

  // Sleeps until a timer is due and calls `handler` for it, over and over, until SIGINT,
  // SIGTERM or SIGHUP arrives; returns that signal's number. A handler that runs late pushes the
  // timer's next period out from the moment it fired, so ticks never pile up.
  int Run(TimerHandler handler, void* context);

 private:
  TimerTable timers;
};

}  // namespace brindlemoor
