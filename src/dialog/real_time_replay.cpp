#include "dialog/real_time_replay.h"

#include <algorithm>

#include "dialog/real_time_blocks.h"

namespace brindlemoor {

std::optional<uint32_t> AdvanceRealTimeReplay(ReplayDevice& device, uint64_t elapsedMs) {
  device.CompleteBlocks(BlocksCompletedByMs(elapsedMs));
  if (device.Finished()) return std::nullopt;
  const uint64_t due =
      BlockCompletionMs(std::max(device.BlocksDelivered(), BlocksCompletedByMs(elapsedMs)));
  return static_cast<uint32_t>(due > elapsedMs ? due - elapsedMs : 1);
}

}  // namespace brindlemoor
