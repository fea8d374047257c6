#include "timer_table.h"

#include <cassert>

namespace brindlemoor {

TimerTable::Timer* TimerTable::Find(uint32_t id) {
  for (Timer& timer : timers) {
    if (timer.active && timer.id == id) return &timer;
  }
  return nullptr;
}

void TimerTable::SetTimer(uint32_t id, uint32_t periodMs) {
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

void TimerTable::KillTimer(uint32_t id) {
  if (Timer* timer = Find(id)) timer->active = false;
}

bool TimerTable::TimerRunning(uint32_t id) const {
  for (const Timer& timer : timers) {
    if (timer.active && timer.id == id) return true;
  }
  return false;
}

TimerTable::Timer* TimerTable::Next() {
  Timer* next = nullptr;
  for (Timer& timer : timers) {
    if (timer.active && (!next || timer.due < next->due)) next = &timer;
  }
  return next;
}

uint32_t TimerTable::Fire(Timer& timer) {
  timer.due = Clock::now() + timer.period;
  return timer.id;
}

}  // namespace brindlemoor
