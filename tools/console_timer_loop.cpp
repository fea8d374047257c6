#include "console_timer_loop.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace brindlemoor {
namespace {

// The system's control handler takes no context, so what it signals lives here: set up once by
// CatchConsoleControl, then only read.
struct ConsoleControl {
  HANDLE stop = nullptr;      // manual reset: set by the handler, waited on by Run
  HANDLE finished = nullptr;  // manual reset: set by Finished, waited on by a close
  std::atomic<DWORD> event{CTRL_C_EVENT};
};
ConsoleControl& Control() {
  static ConsoleControl control;
  return control;
}

// How long a close of the console waits for the last tick; the system ends the process after
// about 5 s whatever the handler does.
constexpr DWORD kCloseWaitMs = 4000;

BOOL WINAPI OnConsoleControl(DWORD event) {
  ConsoleControl& control = Control();
  control.event.store(event);
  SetEvent(control.stop);
  // Ctrl-C and Ctrl-Break are handled; after the others the system ends the process as soon
  // as the handler returns, so let the receiver finish first.
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
    WaitForSingleObject(control.finished, kCloseWaitMs);
  }
  return TRUE;
}

const char* EventName(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      return "Ctrl-C";
    case CTRL_BREAK_EVENT:
      return "Ctrl-Break";
    case CTRL_CLOSE_EVENT:
      return "the console's close";
    default:
      return "the end of the session";
  }
}

}  // namespace

void ConsoleTimerLoop::CatchConsoleControl() {
  ConsoleControl& control = Control();
  control.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  control.finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

void ConsoleTimerLoop::Finished() {
  if (Control().finished != nullptr) SetEvent(Control().finished);
}

const char* ConsoleTimerLoop::Run(TimerHandler handler, void* context) {
  const HANDLE stop = Control().stop;
  for (;;) {
    TimerTable::Timer* next = timers.Next();
    DWORD waitMs = INFINITE;
    if (next) {
      const auto wait = std::max(Clock::duration::zero(), next->due - Clock::now());
      // Rounded up, so that a timer is never found not yet due after the wait.
      waitMs = static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
    }
    if (WaitForSingleObject(stop, waitMs) == WAIT_OBJECT_0) {
      return EventName(Control().event.load());
    }
    if (next && Clock::now() >= next->due) handler(context, TimerTable::Fire(*next));
  }
}

}  // namespace brindlemoor
