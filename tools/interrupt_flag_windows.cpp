#include <windows.h>

#include <atomic>

#include "interrupt_flag.h"

namespace brindlemoor::tools {
namespace {

// The system runs the handler on a thread of its own.
std::atomic<bool> interrupted{false};

BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;  // the default: end
  interrupted.store(true);
  return TRUE;
}

}  // namespace

void CatchInterrupts() { SetConsoleCtrlHandler(OnControl, TRUE); }

bool Interrupted() { return interrupted.load(); }

}  // namespace brindlemoor::tools
