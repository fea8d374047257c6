#include "termination_poll.h"

#include <signal.h>
#include <string.h>

#include <ctime>

#include "platform/termination_set_posix.h"

namespace brindlemoor {

const char* TakePendingTermination() {
  const sigset_t set = TerminationSignalSet();
  const timespec now{0, 0};
  const int signal = sigtimedwait(&set, nullptr, &now);
  return signal > 0 ? strsignal(signal) : nullptr;
}

}  // namespace brindlemoor
