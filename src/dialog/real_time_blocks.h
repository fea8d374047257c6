// When capture blocks complete on a real clock: block k (from 0) holds samples 1102k ..
// 1102k + 1101 and is complete once sample 1102(k + 1) would have been recorded, at
// 1102(k + 1) / 11025 s after capture starts.
#pragma once

#include <cstdint>

#include "capture/capture_format.h"

namespace brindlemoor {

inline constexpr uint64_t kMillisecondsPerSecond = 1000;

// Blocks complete `ms` milliseconds after capture starts.
constexpr uint32_t BlocksCompletedByMs(uint64_t ms) {
  return static_cast<uint32_t>(ms * kSampleRate /
                               (uint64_t{kBlockSamples} * kMillisecondsPerSecond));
}

// The first whole millisecond at which block k is complete.
constexpr uint64_t BlockCompletionMs(uint32_t k) {
  const uint64_t numerator = (uint64_t{k} + 1) * kBlockSamples * kMillisecondsPerSecond;
  return (numerator + kSampleRate - 1) / kSampleRate;
}

}  // namespace brindlemoor
