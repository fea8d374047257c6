#include "termination_poll.h"

#include <signal.h>
#include <string.h>

#include <ctime>

namespace brindlemoor {

const char* TakePendingTermination() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  const timespec now{0, 0};
  const int signal = sigtimedwait(&set, nullptr, &now);
  return signal > 0 ? strsignal(signal) : nullptr;
}

}  // namespace brindlemoor
