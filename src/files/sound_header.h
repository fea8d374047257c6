// What a WAV (RIFF, RIFX, RF64), Wave64, AIFF, CAF or Sun AU file's own header says, read straight
// from the file. libsndfile quietly shortens a file whose audio runs past its end to what is there,
// and refuses a header with an impossible sample rate with a generic message; these facts let the
// reader say instead that the file is truncated, or what its rate is.
#pragma once

#include <sys/types.h>

#include <array>
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
  // A size field that says "up to the end" in a way libsndfile refuses (CAF's -1), and the bytes
  // that state that size in its place.
  struct SizeOverride {
    int64_t offset = 0;
    std::array<unsigned char, 8> bytes{};
  };
  std::optional<SizeOverride> sizeOverride;
  // Sizes are 64-bit (RF64, Wave64, CAF): they do not wrap.
  bool wideSizes = false;
  bool SizesWrapped() const {
    return !wideSizes && declaredBytes && heldBytes > kLargestDeclarable;
  }

  static constexpr uint64_t kLargestDeclarable = 0xFFFFFFFFu;
};

// Reads the header of the open file `fd` of `fileSize` bytes. Anything else gives an empty result.
SoundHeader ReadSoundHeader(int fd, off_t fileSize);

}  // namespace brindlemoor
