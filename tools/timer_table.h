// The restartable timers of the live receiver's event loops (POSIX and Windows): which are set,
// their periods, and which is due next. Plain data on the loop's thread.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

namespace brindlemoor {

class TimerTable {
 public:
  using Clock = std::chrono::steady_clock;

  // Timer `id` fires every `periodMs` from now until killed; setting it again restarts the period.
  void SetTimer(uint32_t id, uint32_t periodMs);
  void KillTimer(uint32_t id);
  bool TimerRunning(uint32_t id) const;

  // The active timer due first, or null when none is set.
  struct Timer {
    bool active = false;
    uint32_t id = 0;
    Clock::duration period{};
    Clock::time_point due{};
  };
  Timer* Next();
  // Re-arms `timer` one period from now and returns its id: called as it fires, before the
  // handler runs, so that the handler's own KillTimer or SetTimer wins.
  static uint32_t Fire(Timer& timer);

 private:
  static constexpr std::size_t kMaxTimers = 4;
  Timer* Find(uint32_t id);

  std::array<Timer, kMaxTimers> timers{};
};

}  // namespace brindlemoor
