// The live receiver's event loop on Windows: restartable timers on the main thread, run until
// Ctrl-C, Ctrl-Break or the console's close. The system calls the console's control handler on
// a thread of its own; the handler only signals an event, and the loop sleeps until the next
// timer is due or that event is set. The counterpart of SignalTimerLoop on POSIX.
#pragma once

#include <cstdint>

#include "timer_table.h"

namespace brindlemoor {

class ConsoleTimerLoop {
 public:
  using Clock = TimerTable::Clock;
  using TimerHandler = void (*)(void* context, uint32_t id);

  // Installs the console control handler: call first thing in main. From then on Ctrl-C and
  // Ctrl-Break no longer end the process; they end Run.
  static void CatchConsoleControl();
  // Call when the receiver has finished after Run returned: a close of the console waits for
  // this (a few seconds at most) before the system ends the process.
  static void Finished();

  // Timer `id` fires every `periodMs` from now until killed; setting it again restarts the period.
  void SetTimer(uint32_t id, uint32_t periodMs) { timers.SetTimer(id, periodMs); }
  void KillTimer(uint32_t id) { timers.KillTimer(id); }
  bool TimerRunning(uint32_t id) const { return timers.TimerRunning(id); }

  // Sleeps until a timer is due and calls `handler` for it, over and over, until a console
  // control event arrives; returns its name ("Ctrl-C", "Ctrl-Break", "the console's close").
  // A handler that runs late pushes the timer's next period out from the moment it fired.
  const char* Run(TimerHandler handler, void* context);

 private:
  TimerTable timers;
};

}  // namespace brindlemoor
