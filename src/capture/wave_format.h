// The records exchanged with a wave-in device: the PCM format it is opened with and the
// header that describes one capture buffer. The owner fills the fields marked as its own;
// the device owns `flags` bits other than zero, `bytesRecorded`, `next` and `reserved`. The
// header's fields and their order are those of the classic wave-in header, so a platform whose
// service takes that record can be handed the header itself.
#pragma once

#include <cstdint>

namespace brindlemoor {

inline constexpr uint16_t kWaveFormatPcm = 1;

struct WaveFormat {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;
};

// Header flags set by the device.
inline constexpr uint32_t kHeaderDone = 0x01;
inline constexpr uint32_t kHeaderPrepared = 0x02;
inline constexpr uint32_t kHeaderInQueue = 0x10;

struct WaveHeader {
  uint8_t* data = nullptr;     // owner: where the device writes the samples
  uint32_t bufferLength = 0;   // owner: bytes available at `data`
  uint32_t bytesRecorded = 0;  // device: bytes written when the buffer comes back
  uintptr_t user = 0;          // owner
  uint32_t flags = 0;          // device, cleared by the owner before preparing
  uint32_t loops = 0;          // owner, unused for capture
  WaveHeader* next = nullptr;  // device
  uintptr_t reserved = 0;      // device
};

}  // namespace brindlemoor
