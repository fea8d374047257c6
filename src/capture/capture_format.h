// The receiver's fixed capture format: 11025 Hz, unsigned 8-bit, mono, in a ring of 128 blocks
// of 1102 samples (100 ms each). The rate, kSampleRate, is the symbol convention's.
#pragma once

#include <cstdint>

#include "convention/symbol_convention.h"

namespace brindlemoor {

inline constexpr uint16_t kBitsPerSample = 8;
inline constexpr uint16_t kChannels = 1;
inline constexpr uint32_t kBlockSamples = 1102;
inline constexpr uint32_t kRingBlocks = 128;
inline constexpr uint32_t kRingMask = kRingBlocks - 1;
inline constexpr uint32_t kRingBytes = kRingBlocks * kBlockSamples;  // 141,056
inline constexpr uint8_t kSilence = 128;

}  // namespace brindlemoor
