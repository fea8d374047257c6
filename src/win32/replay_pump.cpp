#include "win32/replay_pump.h"

#include <optional>

#include "dialog/real_time_replay.h"

namespace brindlemoor {

Win32ReplayPump::Win32ReplayPump(ReplayDevice& device) : device(device) {}

void Win32ReplayPump::Start(HWND timerWindow, std::function<void()> onFinished) {
  window = timerWindow;
  finished = std::move(onFinished);
  start = std::chrono::steady_clock::now();
  Advance();
}

void Win32ReplayPump::OnTimer(uint32_t timerId) {
  if (timerId == kReplayTimerId && window != nullptr) Advance();
}

void Win32ReplayPump::Advance() {
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  const std::optional<uint32_t> wait =
      AdvanceRealTimeReplay(device, static_cast<uint64_t>(elapsed.count()));
  if (!wait) {
    KillTimer(window, kReplayTimerId);
    window = nullptr;
    if (finished) finished();
    return;
  }
  // Setting the running timer again restarts it with the new period.
  SetTimer(window, kReplayTimerId, *wait, nullptr);
}

}  // namespace brindlemoor
