#include "capture/recording_file.h"

#include <samplerate.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "capture/capture_format.h"
#include "capture/sound_header.h"
#include "platform/file_access.h"

namespace brindlemoor {
namespace {

// libsamplerate converts by at most a factor of 256 either way, so the slowest source it can
// bring to 11025 Hz is ceil(11025 / 256) = 44 Hz. Anything above a megahertz is not a recording.
constexpr long long kMaxSourceRate = 1'000'000;
constexpr long long kMinSourceRate = 44;
// Interleaved floats read from the file at a time, whatever the channel count.
constexpr sf_count_t kChunkSamples = 16384;
// Resampled frames produced per call to the resampler.
constexpr long kResampledChunk = 8192;

std::string Lowercased(const char* text) {
  std::string s = text;
  if (!s.empty()) s[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[0])));
  while (!s.empty() && (s.back() == '.' || std::isspace(static_cast<unsigned char>(s.back())))) {
    s.pop_back();
  }
  return s;
}

// Refuses anything but a regular, non-empty file, without opening it: opening a FIFO for reading
// would block until some writer appears.
bool CheckRegularFile(const struct stat& status, IoError& error) {
  if (S_ISDIR(status.st_mode)) {
    error.description = "is a directory";
  } else if (S_ISFIFO(status.st_mode)) {
    error.description = "is a FIFO, not a regular file";
  } else if (!S_ISREG(status.st_mode)) {
    error.description = "is not a regular file";
  } else if (status.st_size == 0) {
    error.description = "is empty (0 bytes)";
  } else {
    return true;
  }
  return false;
}

// Bytes per sample of the uncompressed encodings, 0 for compressed ones.
int SampleBytes(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
      return 1;
    case SF_FORMAT_PCM_16:
      return 2;
    case SF_FORMAT_PCM_24:
      return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
      return 4;
    case SF_FORMAT_DOUBLE:
      return 8;
    default:
      return 0;
  }
}

std::string RateProblem(long long rate) {
  return "unsupported sample rate of " + std::to_string(rate) + " Hz (must be " +
         std::to_string(kMinSourceRate) + " to " + std::to_string(kMaxSourceRate) + " Hz)";
}

bool RateSupported(long long rate) { return rate >= kMinSourceRate && rate <= kMaxSourceRate; }

// The audio the header declares runs past the end of the file: libsndfile would quietly play
// what is there, so the reader refuses it. Counted in frames where the encoding has a fixed size.
std::string TruncationProblem(const SoundHeader& header, const SF_INFO& info) {
  if (!header.declaredBytes || *header.declaredBytes <= header.heldBytes) return {};
  const auto frameBytes =
      static_cast<uint64_t>(SampleBytes(info.format)) * static_cast<uint64_t>(info.channels);
  if (frameBytes == 0) {
    return "truncated: header declares " + std::to_string(*header.declaredBytes) +
           " bytes of audio, file holds " + std::to_string(header.heldBytes);
  }
  return "truncated: header declares " + std::to_string(*header.declaredBytes / frameBytes) +
         " frames, file holds " + std::to_string(header.heldBytes / frameBytes);
}

uint8_t Quantise(float sample) {
  // 128 + lrint(x * 128), clamped to a byte. Clamping the product first keeps lrint in range for
  // any finite or infinite input without changing the result; NaN becomes silence.
  double scaled = static_cast<double>(sample) * 128.0;
  if (std::isnan(scaled)) return kSilence;
  scaled = std::clamp(scaled, -256.0, 256.0);
  return static_cast<uint8_t>(std::clamp(128L + std::lrint(scaled), 0L, 255L));
}

}  // namespace

struct RecordingFile::Impl {
  ~Impl() {
    if (resampler) src_delete(resampler);
    if (file) sf_close(file);
    if (fd >= 0) close(fd);
  }

  // Reads the next chunk of frames and mixes it to mono (mean of the channels).
  void ReadMonoChunk();
  // Refills `pending` with the next samples at 11025 Hz; sets `finished` when there are none.
  void Refill();

  int fd = -1;
  SNDFILE* file = nullptr;
  SF_INFO info{};
  // The file is already in the capture format: its data bytes are the samples.
  bool passThrough = false;
  SRC_STATE* resampler = nullptr;  // null when the file is at 11025 Hz
  double ratio = 1.0;              // output rate / input rate

  sf_count_t chunkFrames = 0;
  std::vector<float> interleaved;  // chunkFrames * channels
  std::vector<float> mono;         // chunkFrames
  std::vector<float> resampled;    // kResampledChunk
  std::size_t monoPosition = 0;
  std::size_t monoCount = 0;
  bool inputEnded = false;

  // Samples at 11025 Hz not yet handed out: points into `mono` or `resampled`.
  const float* pending = nullptr;
  std::size_t pendingPosition = 0;
  std::size_t pendingCount = 0;
  bool finished = false;
};

void RecordingFile::Impl::ReadMonoChunk() {
  const sf_count_t frames = sf_readf_float(file, interleaved.data(), chunkFrames);
  monoPosition = 0;
  monoCount = frames > 0 ? static_cast<std::size_t>(frames) : 0;
  if (monoCount == 0) inputEnded = true;
  const int channels = info.channels;
  for (std::size_t i = 0; i < monoCount; ++i) {
    const float* frame = interleaved.data() + i * channels;
    float sum = 0.0f;
    for (int c = 0; c < channels; ++c) sum += frame[c];
    mono[i] = sum / static_cast<float>(channels);
  }
}

void RecordingFile::Impl::Refill() {
  pendingPosition = 0;
  pendingCount = 0;
  if (!resampler) {
    ReadMonoChunk();
    pending = mono.data();
    pendingCount = monoCount;
    finished = inputEnded;
    return;
  }
  if (monoPosition == monoCount && !inputEnded) ReadMonoChunk();
  SRC_DATA data{};
  data.data_in = mono.data() + monoPosition;
  data.input_frames = static_cast<long>(monoCount - monoPosition);
  data.data_out = resampled.data();
  data.output_frames = kResampledChunk;
  data.end_of_input = inputEnded ? 1 : 0;
  data.src_ratio = ratio;
  if (src_process(resampler, &data) != 0) {
    finished = true;  // cannot happen with a ratio checked at Open; end the stream rather than spin
    return;
  }
  monoPosition += static_cast<std::size_t>(data.input_frames_used);
  pending = resampled.data();
  pendingCount = static_cast<std::size_t>(data.output_frames_gen);
  // After the end of input the resampler drains its delay line over one or more calls.
  finished = inputEnded && pendingCount == 0 && monoPosition == monoCount;
}

RecordingFile::RecordingFile() : impl(std::make_unique<Impl>()) {}

RecordingFile::~RecordingFile() = default;

long long RecordingFile::SourceFrames() const { return impl->info.frames; }

int RecordingFile::SourceRate() const { return impl->info.samplerate; }

std::unique_ptr<RecordingFile> RecordingFile::Open(const std::string& path, IoError& error) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    error.description = Lowercased(std::strerror(errno));
    return nullptr;
  }
  if (!CheckRegularFile(status, error)) return nullptr;

  std::unique_ptr<RecordingFile> recording(new RecordingFile());
  Impl& impl = *recording->impl;
  // O_NONBLOCK and a second look at what was opened: the path may have been replaced by a FIFO
  // since the stat above. It changes nothing for a regular file.
  impl.fd = OpenForReading(path.c_str());
  if (impl.fd < 0) {
    error.description = Lowercased(std::strerror(errno));
    return nullptr;
  }
  if (fstat(impl.fd, &status) != 0 || !CheckRegularFile(status, error)) {
    if (error.description.empty()) error.description = Lowercased(std::strerror(errno));
    return nullptr;
  }

  const SoundHeader header = ReadSoundHeader(impl.fd, status.st_size);
  impl.file = sf_open_fd(impl.fd, SFM_READ, &impl.info, SF_FALSE);
  if (!impl.file) {
    if (header.sampleRate && !RateSupported(*header.sampleRate)) {
      // libsndfile refuses a rate of 0 or above 2^31 as an "incomplete" format.
      error.description = RateProblem(*header.sampleRate);
    } else if (sf_error(nullptr) == SF_ERR_UNRECOGNISED_FORMAT) {
      error.description = "not a recognised audio file";
    } else {
      error.description = "not a usable audio file: " + Lowercased(sf_strerror(nullptr));
    }
    return nullptr;
  }
  const SF_INFO& info = impl.info;
  if (info.channels < 1) {
    error.description = "has no audio channels";
    return nullptr;
  }
  if (!RateSupported(info.samplerate)) {
    error.description = RateProblem(info.samplerate);
    return nullptr;
  }
  if (std::string problem = TruncationProblem(header, info); !problem.empty()) {
    error.description = std::move(problem);
    return nullptr;
  }

  impl.chunkFrames = std::max<sf_count_t>(1, kChunkSamples / info.channels);
  impl.interleaved.resize(static_cast<std::size_t>(impl.chunkFrames * info.channels));
  impl.mono.resize(static_cast<std::size_t>(impl.chunkFrames));

  impl.passThrough = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV &&
                     (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8 &&
                     info.samplerate == static_cast<int>(kSampleRate) && info.channels == kChannels;

  // Read the whole file once, so a damaged or short recording is refused before any of it is
  // decoded, then start again from the first frame. A pass-through file is counted in raw bytes
  // (one per frame), sparing a conversion to float that nothing would read.
  long long held = 0;
  for (;;) {
    const sf_count_t got =
        impl.passThrough
            ? sf_read_raw(impl.file, impl.interleaved.data(),
                          static_cast<sf_count_t>(impl.interleaved.size() * sizeof(float)))
            : sf_readf_float(impl.file, impl.interleaved.data(), impl.chunkFrames);
    if (got <= 0) break;
    held += got;
  }
  if (sf_error(impl.file) != SF_ERR_NO_ERROR) {
    error.description = "read error: " + Lowercased(sf_strerror(impl.file));
    return nullptr;
  }
  if (held != info.frames) {
    error.description = "truncated: header declares " + std::to_string(info.frames) +
                        " frames, file holds " + std::to_string(held);
    return nullptr;
  }
  if (held == 0) {
    error.description = "contains no audio";
    return nullptr;
  }
  if (sf_seek(impl.file, 0, SEEK_SET) != 0) {
    error.description = "cannot rewind: " + Lowercased(sf_strerror(impl.file));
    return nullptr;
  }

  if (!impl.passThrough && info.samplerate != static_cast<int>(kSampleRate)) {
    impl.ratio = static_cast<double>(kSampleRate) / info.samplerate;
    int srcError = 0;
    impl.resampler = src_new(SRC_SINC_FASTEST, 1, &srcError);
    if (!impl.resampler) {
      error.description = std::string("cannot start the resampler: ") + src_strerror(srcError);
      return nullptr;
    }
    impl.resampled.resize(kResampledChunk);
  }
  return recording;
}

std::size_t RecordingFile::Read(uint8_t* out, std::size_t count) {
  Impl& file = *impl;
  if (file.passThrough) {
    // Unsigned 8-bit PCM is the capture format: the data chunk's bytes are the samples.
    std::size_t done = 0;
    while (done < count) {
      const sf_count_t got =
          sf_read_raw(file.file, out + done, static_cast<sf_count_t>(count - done));
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  }
  std::size_t done = 0;
  while (done < count) {
    if (file.pendingPosition == file.pendingCount) {
      if (file.finished) break;
      file.Refill();
      continue;
    }
    const std::size_t n = std::min(count - done, file.pendingCount - file.pendingPosition);
    for (std::size_t i = 0; i < n; ++i)
      out[done + i] = Quantise(file.pending[file.pendingPosition + i]);
    file.pendingPosition += n;
    done += n;
  }
  return done;
}

}  // namespace brindlemoor
