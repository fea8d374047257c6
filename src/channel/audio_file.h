// Reads a recording in any format libsndfile knows as mono samples at the file's own rate, for
// tools that transform sound rather than receive it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/io_error.h"

namespace brindlemoor {

struct AudioClip {
  std::vector<double> samples;  // mono, full scale = 1.0; the mean of the file's channels
  int32_t sampleRate = 0;
  int32_t bits = 0;  // 8 or 16 for PCM files of that size, else 0
};

// False with a one-line `error` (without the file's name) when the file is not a regular file,
// not audio, empty or cannot be read to its end.
bool ReadAudioFile(const std::string& path, AudioClip& clip, IoError& error);

}  // namespace brindlemoor
