#include "signal_timer_loop.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cassert>
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

SignalTimerLoop::Timer* SignalTimerLoop::Find(uint32_t id) {
  for (Timer& timer : timers) {
    if (timer.active && timer.id == id) return &timer;
  }
  return nullptr;
}

void SignalTimerLoop::SetTimer(uint32_t id, uint32_t periodMs) {
  Timer* timer = Find(id);
  for (Timer& candidate : timers) {
    if (!timer && !candidate.active) timer = &candidate;
  }
  assert(timer && "more timers than the loop holds");
  timer->active = true;
  timer->id = id;
  timer->period = std::chrono::milliseconds(periodMs);
  timer->due = Clock::now() + timer->period;
}

void SignalTimerLoop::KillTimer(uint32_t id) {
  if (Timer* timer = Find(id)) timer->active = false;
}

bool SignalTimerLoop::TimerRunning(uint32_t id) const {
  for (const Timer& timer : timers) {
    if (timer.active && timer.id == id) return true;
  }
  return false;
}

int SignalTimerLoop::Run(TimerHandler handler, void* context) {
  const sigset_t signals = TerminationSignals();
  for (;;) {
    Timer* next = nullptr;
    for (Timer& timer : timers) {
      if (timer.active && (!next || timer.due < next->due)) next = &timer;
    }
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

    const uint32_t id = next->id;
    // Re-armed before the handler runs, so that the handler's own KillTimer or SetTimer wins.
    next->due = Clock::now() + next->period;
    handler(context, id);
  }
}

}  // namespace brindlemoor
