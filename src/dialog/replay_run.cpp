#include "dialog/replay_run.h"

#include <cassert>

#include "dialog/resources.h"

namespace brindlemoor {

ReplayStats RunReplay(ReceiverDialog& dialog, ReplayDevice& device,
                      bool (*progress)(void* context, const ReplayStats& stats),
                      void* progressContext) {
  assert(dialog.TimerRunning() && "the dialog must be receiving from the replay device");
  ReplayStats stats;
  for (uint32_t tick = 1;; ++tick) {
    device.CompleteBlocks(BlocksAtTick(tick));
    dialog.OnTimer(kReceiveTimerId);
    stats.ticks = tick;
    stats.blocks = dialog.Capture().blocksConsumed;
    if (device.Finished() && stats.blocks == device.BlocksDelivered()) {
      if (progress != nullptr) progress(progressContext, stats);
      break;
    }
    if (progress != nullptr && !progress(progressContext, stats)) {
      stats.stopped = true;
      break;
    }
  }
  return stats;
}

}  // namespace brindlemoor
