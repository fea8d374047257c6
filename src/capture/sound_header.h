// What a WAV, AIFF or Sun AU file's own header says, read straight from the file. libsndfile
// quietly shortens a file whose audio runs past its end to what is there, and refuses a header
// with an impossible sample rate with a generic message; these facts let the reader say instead
// that the file is truncated, or what its rate is.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace brindlemoor {

struct SoundHeader {
  // The sample rate the header states, if it is one of the three formats.
  std::optional<uint32_t> sampleRate;
  // Bytes of audio the header declares (absent when it does not say, or says "unknown", as
  // streaming writers do), and the bytes the file holds from where the audio starts.
  std::optional<uint64_t> declaredBytes;
  uint64_t heldBytes = 0;
  // The header declares a size, but the file holds more audio bytes from that point than a
  // 32-bit size can declare: a writer's sizes wrapped past 4 GiB and the declared one is wrong.
  bool SizesWrapped() const { return declaredBytes && heldBytes > kLargestDeclarable; }

  static constexpr uint64_t kLargestDeclarable = 0xFFFFFFFFu;
};

// Reads the header of the open file `fd` of `fileSize` bytes. Anything else gives an empty result.
SoundHeader ReadSoundHeader(int fd, off_t fileSize);

}  // namespace brindlemoor
