#include "app/replay_pump.h"

#include <algorithm>

#include "app/real_time_blocks.h"

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
  const uint64_t now = static_cast<uint64_t>(clock.elapsed());
  device.CompleteBlocks(BlocksCompletedByMs(now));
  if (device.Finished()) {
    if (finished) finished();
    return;
  }
  // Wake when the next block is due. If it did not come back (no buffer queued, which the
  // receive tick prevents at real time), the next wake retries it.
  const uint64_t due =
      BlockCompletionMs(std::max(device.BlocksDelivered(), BlocksCompletedByMs(now)));
  timer.start(static_cast<int>(due > now ? due - now : 1));
}

}  // namespace brindlemoor
