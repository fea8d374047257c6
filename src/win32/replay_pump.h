// Plays a ReplayDevice in real time on the Win32 window's thread: a window timer of its own
// completes each block (reported through the capture callback) when a sound card would have
// finished recording it, so a recording goes through the window as if it were heard.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>

#include "capture/replay_device.h"

namespace brindlemoor {

// The replay's window timer; the receive tick has timer 2.
inline constexpr uint32_t kReplayTimerId = 3;

class Win32ReplayPump {
 public:
  explicit Win32ReplayPump(ReplayDevice& device);

  // Starts the clock at zero now, with its timer on `window`. `finished` runs once, after the
  // last block has been delivered.
  void Start(HWND window, std::function<void()> finished = {});
  // The window's WM_TIMER: advances the replay when `timerId` is the replay's.
  void OnTimer(uint32_t timerId);

 private:
  void Advance();

  ReplayDevice& device;
  HWND window = nullptr;
  std::chrono::steady_clock::time_point start;
  std::function<void()> finished;
};

}  // namespace brindlemoor
