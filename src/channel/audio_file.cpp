#include "channel/audio_file.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "capture/sound_file_problem.h"

namespace brindlemoor {

namespace {

constexpr sf_count_t kChunkFrames = 4096;

int32_t BitsOf(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_S8:
      return 8;
    case SF_FORMAT_PCM_16:
      return 16;
    default:
      return 0;
  }
}

}  // namespace

bool ReadAudioFile(const std::string& path, AudioClip& clip, IoError& error) {
  // A directory or a FIFO is refused before libsndfile could block on it.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    error.description = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error.description = "not a regular file";
    return false;
  }

  SF_INFO format{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &format);
  if (file == nullptr) {
    error.description =
        std::string("not a readable recording: ") + SoundFileProblem(sf_strerror(nullptr));
    return false;
  }
  if (format.channels < 1 || format.samplerate <= 0 || format.frames <= 0) {
    sf_close(file);
    error.description = "the recording holds no sound";
    return false;
  }

  const auto channels = static_cast<std::size_t>(format.channels);
  std::vector<double> frames(static_cast<std::size_t>(kChunkFrames) * channels);
  clip.samples.clear();
  clip.samples.reserve(static_cast<std::size_t>(format.frames));
  for (;;) {
    const sf_count_t got = sf_readf_double(file, frames.data(), kChunkFrames);
    if (got <= 0) break;
    for (sf_count_t f = 0; f < got; ++f) {
      double sum = 0.0;
      for (std::size_t c = 0; c < channels; ++c) sum += frames[f * channels + c];
      clip.samples.push_back(sum / static_cast<double>(channels));
    }
  }
  const bool complete = static_cast<sf_count_t>(clip.samples.size()) == format.frames;
  sf_close(file);
  if (!complete) {
    error.description = "the recording is truncated or unreadable";
    return false;
  }
  clip.sampleRate = format.samplerate;
  clip.bits = BitsOf(format.format);
  return true;
}

}  // namespace brindlemoor
