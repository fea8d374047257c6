// The header of a mono PCM WAV written through to something that cannot seek back (a pipe, a
// FIFO, a device): its RIFF and data sizes are 0xFFFFFFFF, "unknown, up to the end of the
// stream", as readers of such streams take them.
#pragma once

#include <array>
#include <cstdint>

namespace brindlemoor {

inline constexpr std::size_t kStreamWavHeaderBytes = 44;

// `bits` is 8 (unsigned samples) or 16 (signed, little-endian).
std::array<uint8_t, kStreamWavHeaderBytes> StreamWavHeader(uint32_t sampleRate, int bits);

}  // namespace brindlemoor
