#include "channel/audio_file.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "files/sound_file_problem.h"
#include "platform/file_access.h"

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

std::unique_ptr<AudioFileReader> AudioFileReader::Open(const std::string& path, IoError& error) {
  // A directory or a FIFO is refused before libsndfile could block on it.
  struct stat info {};
  if (StatPath(path.c_str(), &info) != 0) {
    error.description = std::strerror(errno);
    return nullptr;
  }
  if (!S_ISREG(info.st_mode)) {
    error.description = "not a regular file";
    return nullptr;
  }

  // Opened here, not by libsndfile, so that the name goes through the wide calls on Windows.
  const int descriptor = OpenForReading(path.c_str(), false);
  if (descriptor < 0) {
    error.description = std::strerror(errno);
    return nullptr;
  }
  SF_INFO format{};
  // libsndfile closes the descriptor, on failure too.
  SNDFILE* file = sf_open_fd(descriptor, SFM_READ, &format, SF_TRUE);
  if (file == nullptr) {
    error.description =
        std::string("not a readable recording: ") + SoundFileProblem(sf_strerror(nullptr));
    return nullptr;
  }
  std::unique_ptr<AudioFileReader> reader(new AudioFileReader());
  reader->file = file;
  if (format.channels < 1 || format.samplerate <= 0 || format.frames <= 0) {
    error.description = "the recording holds no sound";
    return nullptr;
  }
  reader->channels = format.channels;
  reader->frames = format.frames;
  reader->sampleRate = format.samplerate;
  reader->bits = BitsOf(format.format);
  reader->interleaved.resize(static_cast<std::size_t>(kChunkFrames * format.channels));
  return reader;
}

AudioFileReader::~AudioFileReader() {
  if (file) sf_close(static_cast<SNDFILE*>(file));
}

bool AudioFileReader::Read(std::vector<double>& block, IoError& error) {
  block.clear();
  const sf_count_t got =
      sf_readf_double(static_cast<SNDFILE*>(file), interleaved.data(), kChunkFrames);
  if (got <= 0) {
    if (framesRead != frames) error.description = "the recording is truncated or unreadable";
    return false;
  }
  const auto count = static_cast<std::size_t>(channels);
  for (sf_count_t f = 0; f < got; ++f) {
    double sum = 0.0;
    for (std::size_t c = 0; c < count; ++c)
      sum += interleaved[static_cast<std::size_t>(f) * count + c];
    block.push_back(sum / static_cast<double>(channels));
  }
  framesRead += got;
  return true;
}

bool AudioFileReader::Rewind(IoError& error) {
  framesRead = 0;
  if (sf_seek(static_cast<SNDFILE*>(file), 0, SEEK_SET) != 0) {
    error.description = "the recording cannot be read again from its start";
    return false;
  }
  return true;
}

bool ReadAudioFile(const std::string& path, AudioClip& clip, IoError& error) {
  const std::unique_ptr<AudioFileReader> reader = AudioFileReader::Open(path, error);
  if (!reader) return false;
  clip.samples.clear();
  std::vector<double> block;
  while (reader->Read(block, error))
    clip.samples.insert(clip.samples.end(), block.begin(), block.end());
  if (!error.description.empty()) return false;
  clip.sampleRate = reader->SampleRate();
  clip.bits = reader->Bits();
  return true;
}

}  // namespace brindlemoor
