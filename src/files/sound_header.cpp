#include "files/sound_header.h"

#include <algorithm>
#include <cstring>

#include "platform/file_access.h"

namespace brindlemoor {
namespace {

// A data size of all ones is how streaming writers say the length is not known yet.
constexpr uint32_t kUnknownLength = 0xFFFFFFFF;
constexpr off_t kChunkHeaderBytes = 8;
// AIFF's sound chunk starts with an offset and a block size before the samples.
constexpr uint32_t kAiffSoundPrefix = 8;

uint32_t Word(const unsigned char* bytes, bool bigEndian) {
  if (bigEndian) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           bytes[3];
  }
  return (uint32_t{bytes[3]} << 24) | (uint32_t{bytes[2]} << 16) | (uint32_t{bytes[1]} << 8) |
         bytes[0];
}

uint16_t Half(const unsigned char* bytes, bool bigEndian) {
  return bigEndian ? static_cast<uint16_t>((bytes[0] << 8) | bytes[1])
                   : static_cast<uint16_t>((bytes[1] << 8) | bytes[0]);
}

uint64_t Long(const unsigned char* bytes, bool bigEndian) {
  const uint64_t first = Word(bytes, bigEndian);
  const uint64_t second = Word(bytes + 4, bigEndian);
  return bigEndian ? (first << 32) | second : (second << 32) | first;
}

uint64_t HeldFrom(off_t start, off_t fileSize) {
  return start < fileSize ? static_cast<uint64_t>(fileSize - start) : 0;
}

// RIFF (little-endian), RIFX (big-endian) or RF64 WAVE: "fmt " holds the rate, "data" the audio.
// RF64 puts the data size in its "ds64" chunk and writes all ones in the data chunk's own field.
void ReadWave(int fd, off_t fileSize, bool bigEndian, SoundHeader& header) {
  off_t offset = 12;
  unsigned char chunk[kChunkHeaderBytes];
  std::optional<uint64_t> size64;
  while (offset + kChunkHeaderBytes <= fileSize && ReadAt(fd, chunk, sizeof chunk, offset)) {
    const uint32_t size = Word(chunk + 4, bigEndian);
    const off_t body = offset + kChunkHeaderBytes;
    unsigned char format[8];
    unsigned char sizes[16];
    if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= sizeof format &&
        ReadAt(fd, format, sizeof format, body)) {
      header.sampleRate = Word(format + 4, bigEndian);
    } else if (std::memcmp(chunk, "ds64", 4) == 0 && size >= sizeof sizes &&
               ReadAt(fd, sizes, sizeof sizes, body)) {
      size64 = Long(sizes + 8, false);
      header.wideSizes = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (size != kUnknownLength) {
        header.declaredBytes = size;
      } else if (size64) {
        header.declaredBytes = *size64;
      }
      header.heldBytes = HeldFrom(body, fileSize);
      return;
    }
    offset = body + static_cast<off_t>(size) + (size & 1);
  }
}

// Sony Wave64: 16-byte chunk identifiers (the first four bytes say which), 64-bit little-endian
// sizes that count the 24-byte chunk header, chunks aligned to 8 bytes.
void ReadWave64(int fd, off_t fileSize, SoundHeader& header) {
  constexpr off_t kHeaderBytes = 24;
  off_t offset = 40;
  unsigned char chunk[kHeaderBytes];
  while (offset + kHeaderBytes <= fileSize && ReadAt(fd, chunk, sizeof chunk, offset)) {
    const uint64_t size = Long(chunk + 16, false);
    const off_t body = offset + kHeaderBytes;
    unsigned char format[8];
    if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= kHeaderBytes + sizeof format &&
        ReadAt(fd, format, sizeof format, body)) {
      header.sampleRate = Word(format + 4, false);
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (size >= kHeaderBytes) header.declaredBytes = size - kHeaderBytes;
      header.heldBytes = HeldFrom(body, fileSize);
      return;
    }
    if (size < kHeaderBytes || size > static_cast<uint64_t>(fileSize)) return;
    offset += static_cast<off_t>((size + 7) & ~uint64_t{7});
  }
}

// Core Audio Format: "caff", then chunks of a type and a signed 64-bit big-endian size. The data
// chunk starts with a 4-byte edit count; as the last chunk its size may be -1, "up to the end",
// which libsndfile refuses, so the real size is offered in its place.
void ReadCaf(int fd, off_t fileSize, SoundHeader& header) {
  constexpr off_t kHeaderBytes = 12;
  constexpr uint64_t kEditCount = 4;
  off_t offset = 8;
  unsigned char chunk[kHeaderBytes];
  while (offset + kHeaderBytes <= fileSize && ReadAt(fd, chunk, sizeof chunk, offset)) {
    const uint64_t size = Long(chunk + 4, true);
    const off_t body = offset + kHeaderBytes;
    if (std::memcmp(chunk, "data", 4) == 0) {
      header.heldBytes = HeldFrom(body + static_cast<off_t>(kEditCount), fileSize);
      if (size == ~uint64_t{0}) {
        const uint64_t real = HeldFrom(body, fileSize);
        header.sizeOverride = SoundHeader::SizeOverride{static_cast<int64_t>(offset + 4), {}};
        for (int i = 0; i < 8; ++i) {
          header.sizeOverride->bytes[i] = static_cast<unsigned char>(real >> (8 * (7 - i)));
        }
      } else if (size >= kEditCount) {
        header.declaredBytes = size - kEditCount;
      }
      return;
    }
    if (size > static_cast<uint64_t>(fileSize)) return;
    offset = body + static_cast<off_t>(size);
  }
}

// FORM AIFF or AIFC, always big-endian: "COMM" holds the channels, frame count, sample size and
// rate (an 80-bit extended float), "SSND" the audio after an 8-byte prefix. The longer of the
// two declared lengths counts.
void ReadAiff(int fd, off_t fileSize, SoundHeader& header) {
  off_t offset = 12;
  unsigned char chunk[kChunkHeaderBytes];
  std::optional<uint64_t> commonBytes;
  while (offset + kChunkHeaderBytes <= fileSize && ReadAt(fd, chunk, sizeof chunk, offset)) {
    const uint32_t size = Word(chunk + 4, true);
    const off_t body = offset + kChunkHeaderBytes;
    unsigned char common[18];
    if (std::memcmp(chunk, "COMM", 4) == 0 && size >= sizeof common &&
        ReadAt(fd, common, sizeof common, body)) {
      const uint64_t channels = Half(common, true);
      const uint64_t frames = Word(common + 2, true);
      const uint64_t sampleBytes = (Half(common + 6, true) + 7u) / 8u;
      commonBytes = channels * frames * sampleBytes;
      // Extended float: sign and 15-bit exponent (bias 16383), then a 64-bit mantissa with an
      // explicit leading one; whole rates need only its top 32 bits.
      const int exponent = (Half(common + 8, true) & 0x7FFF) - 16383;
      const uint32_t mantissa = Word(common + 10, true);
      header.sampleRate = exponent < 0    ? 0
                          : exponent > 31 ? kUnknownLength
                                          : mantissa >> (31 - exponent);
    } else if (std::memcmp(chunk, "SSND", 4) == 0) {
      if (size >= kAiffSoundPrefix) header.declaredBytes = size - kAiffSoundPrefix;
      header.heldBytes = HeldFrom(body + kAiffSoundPrefix, fileSize);
    }
    offset = body + static_cast<off_t>(size) + (size & 1);
  }
  if (commonBytes && header.declaredBytes) {
    header.declaredBytes = std::max(*header.declaredBytes, *commonBytes);
  }
}

// Sun AU: ".snd", then big-endian words for the data offset, data size, encoding, rate and
// channels.
void ReadAu(int fd, off_t fileSize, SoundHeader& header) {
  unsigned char words[24];
  if (!ReadAt(fd, words, sizeof words, 0)) return;
  const uint32_t dataOffset = Word(words + 4, true);
  const uint32_t size = Word(words + 8, true);
  header.sampleRate = Word(words + 16, true);
  if (size != kUnknownLength) header.declaredBytes = size;
  header.heldBytes = HeldFrom(static_cast<off_t>(dataOffset), fileSize);
}

}  // namespace

SoundHeader ReadSoundHeader(int fd, off_t fileSize) {
  SoundHeader header;
  unsigned char magic[12];
  if (!ReadAt(fd, magic, sizeof magic, 0)) return header;
  const bool riff = std::memcmp(magic, "RIFF", 4) == 0 || std::memcmp(magic, "RF64", 4) == 0;
  if ((riff || std::memcmp(magic, "RIFX", 4) == 0) && std::memcmp(magic + 8, "WAVE", 4) == 0) {
    ReadWave(fd, fileSize, !riff, header);
  } else if (std::memcmp(magic, "riff", 4) == 0) {
    header.wideSizes = true;
    ReadWave64(fd, fileSize, header);
  } else if (std::memcmp(magic, "caff", 4) == 0) {
    header.wideSizes = true;
    ReadCaf(fd, fileSize, header);
  } else if (std::memcmp(magic, "FORM", 4) == 0 &&
             (std::memcmp(magic + 8, "AIFF", 4) == 0 || std::memcmp(magic + 8, "AIFC", 4) == 0)) {
    ReadAiff(fd, fileSize, header);
  } else if (std::memcmp(magic, ".snd", 4) == 0) {
    ReadAu(fd, fileSize, header);
  }
  return header;
}

}  // namespace brindlemoor
