#include "qt/replay_pump.h"

#include "dialog/real_time_replay.h"

namespace brindlemoor {

ReplayPump::ReplayPump(ReplayDevice& device) : device(device) {
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, [this] { Advance(); });
}

void ReplayPump::Start(std::function<void()> onFinished) {
  finished = std::move(onFinished);
  clock.start();
  Advance();
}

void ReplayPump::Advance() {
  const std::optional<uint32_t> wait =
      AdvanceRealTimeReplay(device, static_cast<uint64_t>(clock.elapsed()));
  if (!wait) {
    if (finished) finished();
    return;
  }
  timer.start(static_cast<int>(*wait));
}

}  // namespace brindlemoor
