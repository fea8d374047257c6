#include "signal_timer_loop.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "platform/termination_set_posix.h"

namespace brindlemoor {

void SignalTimerLoop::BlockTerminationSignals() {
  const sigset_t set = TerminationSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int SignalTimerLoop::Run(TimerHandler handler, void* context) {
  const sigset_t signals = TerminationSignalSet();
  for (;;) {
    TimerTable::Timer* next = timers.Next();
    int signal;
    if (!next) {
      signal = sigwaitinfo(&signals, nullptr);
    } else {
      const auto wait = std::max(Clock::duration::zero(), next->due - Clock::now());
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
      const timespec timeout{static_cast<time_t>(seconds.count()),
                             static_cast<long>(std::chrono::nanoseconds(wait - seconds).count())};
      signal = sigtimedwait(&signals, nullptr, &timeout);
    }
    if (signal > 0) return signal;
    if (errno != EAGAIN || !next) continue;  // EINTR from another signal: wait again

    handler(context, TimerTable::Fire(*next));
  }
}

}  // namespace brindlemoor
