#include "signal_timer_loop.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace brindlemoor {
namespace {

sigset_t TerminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

void SignalTimerLoop::BlockTerminationSignals() {
  const sigset_t set = TerminationSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int SignalTimerLoop::Run(TimerHandler handler, void* context) {
  const sigset_t signals = TerminationSignals();
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
