// Reads a recording in any format libsndfile knows as mono samples at the file's own rate, whole
// or in blocks, for tools that transform sound rather than receive it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/io_error.h"

namespace brindlemoor {

struct AudioClip {
  std::vector<double> samples;  // mono, full scale = 1.0; the mean of the file's channels
  int32_t sampleRate = 0;
  int32_t bits = 0;  // 8 or 16 for PCM files of that size, else 0
};

// False with a one-line `error` (without the file's name) when the file is not a regular file,
// not audio, empty or cannot be read to its end.
bool ReadAudioFile(const std::string& path, AudioClip& clip, IoError& error);

// The same reading in blocks, for recordings of any length: open, read blocks to the end, and
// start again from the beginning as often as needed.
class AudioFileReader {
 public:
  // Null with `error` set as ReadAudioFile sets it.
  static std::unique_ptr<AudioFileReader> Open(const std::string& path, IoError& error);
  ~AudioFileReader();
  AudioFileReader(const AudioFileReader&) = delete;
  AudioFileReader& operator=(const AudioFileReader&) = delete;

  int32_t SampleRate() const { return sampleRate; }
  int32_t Bits() const { return bits; }  // as AudioClip::bits
  // Replaces `block` with the next mono samples; false at the end, with `error` set when the
  // file held less than its header declares (damaged or cut short).
  bool Read(std::vector<double>& block, IoError& error);
  // Back to the first sample; false with `error` set when the file cannot be read again.
  bool Rewind(IoError& error);

 private:
  AudioFileReader() = default;
  void* file = nullptr;  // the SNDFILE
  int channels = 0;
  int64_t frames = 0;  // as the header declares
  int64_t framesRead = 0;
  int32_t sampleRate = 0;
  int32_t bits = 0;
  std::vector<double> interleaved;
};

}  // namespace brindlemoor
