#include <signal.h>

#include "interrupt_flag.h"

namespace brindlemoor::tools {
namespace {

volatile sig_atomic_t interrupted = 0;
void OnInterrupt(int) { interrupted = 1; }

}  // namespace

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

bool Interrupted() { return interrupted != 0; }

}  // namespace brindlemoor::tools
