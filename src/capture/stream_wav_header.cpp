#include "capture/stream_wav_header.h"

#include <cstring>

namespace brindlemoor {
namespace {

constexpr uint32_t kUnknownSize = 0xFFFFFFFF;
constexpr uint16_t kPcmFormat = 1;
constexpr uint32_t kFormatChunkBytes = 16;

// Writes `value` little-endian in `bytes` bytes at `at`, and returns the position after it.
std::size_t PutLittleEndian(std::array<uint8_t, kStreamWavHeaderBytes>& header, std::size_t at,
                            uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) header[at++] = static_cast<uint8_t>(value >> (8 * i));
  return at;
}

std::size_t PutTag(std::array<uint8_t, kStreamWavHeaderBytes>& header, std::size_t at,
                   const char* tag) {
  std::memcpy(header.data() + at, tag, 4);
  return at + 4;
}

}  // namespace

std::array<uint8_t, kStreamWavHeaderBytes> StreamWavHeader(uint32_t sampleRate, int bits) {
  const auto frameBytes = static_cast<uint32_t>(bits / 8);
  std::array<uint8_t, kStreamWavHeaderBytes> header{};
  std::size_t at = PutTag(header, 0, "RIFF");
  at = PutLittleEndian(header, at, kUnknownSize, 4);
  at = PutTag(header, at, "WAVE");
  at = PutTag(header, at, "fmt ");
  at = PutLittleEndian(header, at, kFormatChunkBytes, 4);
  at = PutLittleEndian(header, at, kPcmFormat, 2);
  at = PutLittleEndian(header, at, 1, 2);  // mono
  at = PutLittleEndian(header, at, sampleRate, 4);
  at = PutLittleEndian(header, at, sampleRate * frameBytes, 4);
  at = PutLittleEndian(header, at, frameBytes, 2);
  at = PutLittleEndian(header, at, static_cast<uint32_t>(bits), 2);
  at = PutTag(header, at, "data");
  PutLittleEndian(header, at, kUnknownSize, 4);
  return header;
}

}  // namespace brindlemoor
