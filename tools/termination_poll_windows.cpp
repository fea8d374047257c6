#include "console_timer_loop.h"
#include "termination_poll.h"

namespace brindlemoor {

const char* TakePendingTermination() { return ConsoleTimerLoop::TakePendingControl(); }

}  // namespace brindlemoor
