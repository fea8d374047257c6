// One step of replaying a recording in real time: completes the blocks a sound card would have
// finished by `elapsedMs` after capture started, and says when the next one is due. The
// windows' replay timers (Qt and Win32) call it and wait the time it returns.
#pragma once

#include <cstdint>
#include <optional>

#include "capture/replay_device.h"

namespace brindlemoor {

// Milliseconds until the next block is due (at least 1), or nothing once every block of the
// replay has been delivered. A block that did not come back because no buffer was queued
// (which the receive tick prevents at real time) is retried at the next step.
std::optional<uint32_t> AdvanceRealTimeReplay(ReplayDevice& device, uint64_t elapsedMs);

}  // namespace brindlemoor
