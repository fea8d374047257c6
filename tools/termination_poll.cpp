#include "termination_poll.h"

#include <signal.h>

#include <ctime>

namespace brindlemoor {

int TakePendingTerminationSignal() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  const timespec now{0, 0};
  const int signal = sigtimedwait(&set, nullptr, &now);
  return signal > 0 ? signal : 0;
}

}  // namespace brindlemoor
