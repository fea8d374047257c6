// Replays a recording through a ReceiverDialog on a virtual clock: tick i happens at i x 500 ms
// and sees min(B, floor(i x 11025 / 2204)) completed blocks; processing takes no virtual time.
// The run ends after the first tick that has consumed all B blocks, or after the tick whose
// progress callback asks to stop.
#pragma once

#include <cstdint>

#include "capture/replay_device.h"
#include "dialog/receiver_dialog.h"

namespace brindlemoor {

struct ReplayStats {
  uint32_t ticks = 0;
  uint32_t blocks = 0;
  bool stopped = false;  // ended by the progress callback before the recording's end
};

// `dialog` must have been initialised with `device` and its timer must be running.
// `progress`, if given, is called after every tick; returning false ends the replay there.
ReplayStats RunReplay(ReceiverDialog& dialog, ReplayDevice& device,
                      bool (*progress)(void* context, const ReplayStats& stats) = nullptr,
                      void* progressContext = nullptr);

// Blocks completed by virtual time i x 500 ms, before the replay's end is applied.
inline uint32_t BlocksAtTick(uint32_t tick) {
  return static_cast<uint32_t>(static_cast<uint64_t>(tick) * 11025u / 2204u);
}

}  // namespace brindlemoor
