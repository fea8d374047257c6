// Plays a ReplayDevice in real time on the window's thread: each block is completed (and
// reported through the capture callback) at the moment a sound card would have finished
// recording it, so a recording goes through the window as if it were heard.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <functional>

#include "capture/replay_device.h"

namespace brindlemoor {

class ReplayPump {
 public:
  explicit ReplayPump(ReplayDevice& device);

  // Starts the clock at zero now. `finished` runs once, after the last block has been delivered.
  void Start(std::function<void()> finished = {});

 private:
  void Advance();

  ReplayDevice& device;
  QTimer timer;
  QElapsedTimer clock;
  std::function<void()> finished;
};

}  // namespace brindlemoor
