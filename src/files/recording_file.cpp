#include "files/recording_file.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "capture/capture_format.h"
#include "capture/eight_bit_quantisers.h"
#include "capture/mix_to_mono.h"
#include "files/resampler.h"
#include "files/sound_file_problem.h"
#include "files/sound_file_view.h"
#include "files/sound_header.h"
#include "platform/file_access.h"
#include "platform/stream_termination.h"

namespace brindlemoor {
namespace {

// The resampler converts by at most a factor of 256 either way here, so the slowest source is
// ceil(11025 / 256) = 44 Hz. Anything above a megahertz is not a recording.
constexpr long long kMaxSourceRate = 1'000'000;
constexpr long long kMinSourceRate = 44;
// Interleaved samples read from the file at a time, whatever the channel count: large enough
// that reading costs few calls (an hour at 48 kHz is about 5,300 of them), small enough for the
// cache.
constexpr sf_count_t kChunkSamples = 32768;
// A stream is read in small chunks instead: a read waits until its chunk is full, and sound that
// comes in real time must reach the receiver tick by tick (1024 samples: 93 ms at 11025 Hz).
constexpr sf_count_t kStreamChunkSamples = 1024;
// Room for what the resampler releases on top of a chunk's frames x ratio.
constexpr std::size_t kResampledSlack = 256;

std::string Lowercased(const char* text) {
  std::string s = text;
  if (!s.empty()) s[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[0])));
  while (!s.empty() && (s.back() == '.' || std::isspace(static_cast<unsigned char>(s.back())))) {
    s.pop_back();
  }
  return s;
}

// A regular, non-empty file or a FIFO (a stream, read as it comes); anything else is refused
// without being opened.
bool CheckReadable(const struct stat& status, IoError& error) {
  if (S_ISDIR(status.st_mode)) {
    error.description = "is a directory";
  } else if (S_ISFIFO(status.st_mode)) {
    return true;
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

// Encodings that hold at most 16 bits a sample: read as 16-bit integers, which libsndfile
// delivers without a detour through float and which scale to the same floats.
bool SixteenBitsOrFewer(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
    case SF_FORMAT_GSM610:
    case SF_FORMAT_IMA_ADPCM:
    case SF_FORMAT_MS_ADPCM:
    case SF_FORMAT_DPCM_8:
    case SF_FORMAT_DPCM_16:
      return true;
    default:
      return false;
  }
}

std::string RateProblem(long long rate) {
  return "unsupported sample rate of " + std::to_string(rate) + " Hz (must be " +
         std::to_string(kMinSourceRate) + " to " + std::to_string(kMaxSourceRate) + " Hz)";
}

bool RateSupported(long long rate) { return rate >= kMinSourceRate && rate <= kMaxSourceRate; }

// The frames the header declares: from its sizes where the encoding has a fixed size (libsndfile
// quietly shortens those to what the file holds), else what libsndfile was told (a FLAC stream's
// total, a WAV read from a pipe). A stream's 32-bit size of all ones, which libsndfile takes at
// its word, is a streaming writer's "unknown".
std::optional<long long> DeclaredFrames(const SoundHeader& header, const SF_INFO& info,
                                        bool stream) {
  const auto frameBytes =
      static_cast<uint64_t>(SampleBytes(info.format)) * static_cast<uint64_t>(info.channels);
  if (header.declaredBytes && frameBytes > 0) {
    return static_cast<long long>(*header.declaredBytes / frameBytes);
  }
  if (info.frames <= 0 || info.frames == SF_COUNT_MAX) return std::nullopt;
  if (stream && frameBytes > 0 &&
      static_cast<uint64_t>(info.frames) == SoundHeader::kLargestDeclarable / frameBytes) {
    return std::nullopt;
  }
  return info.frames;
}

std::string Seconds(long long frames, int rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(frames) / rate);
  return text;
}

// Standard error sent to the null device while it lives, when `quiet`: the MPEG decoder under
// libsndfile prints a line of its own for every damaged frame it meets.
class QuietDecoder {
 public:
  explicit QuietDecoder(bool quiet) : saved(quiet ? SilenceStandardError() : -1) {}
  ~QuietDecoder() { RestoreStandardError(saved); }
  QuietDecoder(const QuietDecoder&) = delete;
  QuietDecoder& operator=(const QuietDecoder&) = delete;

 private:
  int saved;
};

bool IsMpeg(const SF_INFO& info) { return (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG; }

}  // namespace

struct RecordingFile::Impl {
  ~Impl() {
    if (file) sf_close(file);
    view.reset();
    if (fd >= 0 && ownsFd) close(fd);
  }

  // The chosen channel of the chunk into `mono`.
  void TakeChannel();
  // Adds the chunk's energy in the mix and in each channel.
  void WeighMix();
  // Reads the next chunk of frames and mixes it to mono; counts the frames. Silence stands for
  // frames passed over after damage.
  void ReadMonoChunk();
  // After a read error in a regular file: opens it anew and looks for the first place past
  // `framesRead` where decoding goes on. True when there is one; `silentFrames` then holds the
  // frames passed over.
  bool Resynchronise();
  // Refills `pending` with the next samples at 11025 Hz; sets `finished` when there are none.
  void Refill();
  void PassThroughRefill();
  // Right after the first Refill: reads the second chunk and resamples it behind the first's
  // output (`resampled` holds two chunks' worth).
  void ResampleSecondBlock();

  int fd = -1;
  bool ownsFd = true;
  std::unique_ptr<SoundFileView> view;  // a regular file's, null for a stream
  SNDFILE* file = nullptr;
  SF_INFO info{};
  std::optional<long long> declaredFrames;
  long long knownFrames = 0;  // SourceFrames
  long long framesRead = 0;
  std::string readError;
  // 0 to mix the channels, else the one channel (from 1) to read; with the mix, the sums of
  // squares of the mix and of each channel.
  int channel = 0;
  double mixEnergy = 0.0;
  std::vector<double> channelEnergy;
  // Damage decoded past: where the first was, how many places, how many frames passed over.
  long long damagedAt = 0;
  long long damagedPlaces = 0;
  long long skippedFrames = 0;
  long long silentFrames = 0;  // still to be given for the last damage
  // The file is already in the capture format: its data bytes are the samples.
  bool passThrough = false;
  bool readShorts = false;
  std::unique_ptr<Resampler> resampler;  // null when the file is at 11025 Hz

  sf_count_t chunkFrames = 0;
  std::vector<int16_t> shorts;     // chunkFrames * channels, when readShorts
  std::vector<float> interleaved;  // chunkFrames * channels, otherwise
  std::vector<float> mono;         // chunkFrames
  std::vector<float> resampled;    // 2 x chunkFrames x ratio + slack
  std::vector<uint8_t> raw;        // kChunkSamples, when passing through
  std::size_t monoPosition = 0;
  std::size_t monoCount = 0;
  bool inputEnded = false;

  // Samples at 11025 Hz not yet handed out: in `mono` or `resampled` (floats) or `raw` (bytes).
  const float* pending = nullptr;
  std::size_t pendingPosition = 0;
  std::size_t pendingCount = 0;
  bool finished = false;
};

void RecordingFile::Impl::ReadMonoChunk() {
  monoPosition = 0;
  monoCount = 0;
  if (!readError.empty()) {
    // The last read met damage (libsndfile reports it with the frames before it, then stops).
    if (!Resynchronise()) {
      // Nothing decodes past it: a file cut there, when its header says more was to come.
      if (declaredFrames && framesRead < *declaredFrames) readError.clear();
      inputEnded = true;
      return;
    }
    readError.clear();
  }
  if (silentFrames > 0) {
    monoCount = static_cast<std::size_t>(std::min<long long>(silentFrames, chunkFrames));
    std::fill_n(mono.begin(), monoCount, 0.0f);
    silentFrames -= static_cast<long long>(monoCount);
    framesRead += static_cast<long long>(monoCount);
    return;
  }
  sf_count_t frames = 0;
  {
    const QuietDecoder quiet(IsMpeg(info));
    frames = readShorts ? sf_readf_short(file, shorts.data(), chunkFrames)
                        : sf_readf_float(file, interleaved.data(), chunkFrames);
  }
  monoCount = frames > 0 ? static_cast<std::size_t>(frames) : 0;
  framesRead += static_cast<long long>(monoCount);
  if (sf_error(file) != SF_ERR_NO_ERROR) readError = SoundFileProblem(sf_strerror(file));
  if (monoCount == 0) {
    if (readError.empty()) {
      inputEnded = true;
    } else {
      ReadMonoChunk();
    }
    return;
  }
  if (channel > 0) {
    TakeChannel();
  } else if (readShorts) {
    MixToMono(shorts.data(), monoCount, info.channels, mono.data());
  } else {
    MixToMono(interleaved.data(), monoCount, info.channels, mono.data());
  }
  if (channel == 0 && info.channels > 1) WeighMix();
}

void RecordingFile::Impl::TakeChannel() {
  constexpr float kShortScale = 1.0f / 32768.0f;
  const auto stride = static_cast<std::size_t>(info.channels);
  const auto first = static_cast<std::size_t>(channel - 1);
  for (std::size_t i = 0; i < monoCount; ++i) {
    mono[i] = readShorts ? static_cast<float>(shorts[i * stride + first]) * kShortScale
                         : interleaved[i * stride + first];
  }
}

void RecordingFile::Impl::WeighMix() {
  const auto stride = static_cast<std::size_t>(info.channels);
  for (std::size_t i = 0; i < monoCount; ++i) {
    mixEnergy += static_cast<double>(mono[i]) * mono[i];
    for (std::size_t c = 0; c < stride; ++c) {
      const double sample = readShorts ? shorts[i * stride + c] / 32768.0
                                       : static_cast<double>(interleaved[i * stride + c]);
      channelEnergy[c] += sample * sample;
    }
  }
}

bool RecordingFile::Impl::Resynchronise() {
  if (!view || framesRead >= knownFrames) return false;
  // Tries every fiftieth of a second past the damage, then, after every 50 tries, twice as far
  // apart: a long damaged stretch costs a few hundred tries, not one per frame.
  constexpr int kTriesPerStep = 50;
  const QuietDecoder quiet(IsMpeg(info));
  sf_count_t step = std::max(1, info.samplerate / 50);
  int tries = 0;
  for (sf_count_t at = framesRead + step; at < knownFrames; at += step) {
    sf_close(file);
    SF_INFO again{};
    file = view->Open(again);
    if (!file) return false;
    if (sf_seek(file, at, SEEK_SET) == at) {
      if (damagedPlaces++ == 0) damagedAt = framesRead;
      silentFrames = at - framesRead;
      skippedFrames += silentFrames;
      return true;
    }
    if (++tries % kTriesPerStep == 0) step *= 2;
  }
  return false;
}

void RecordingFile::Impl::PassThroughRefill() {
  pendingPosition = 0;
  const sf_count_t got = sf_read_raw(file, raw.data(), static_cast<sf_count_t>(raw.size()));
  pendingCount = got > 0 ? static_cast<std::size_t>(got) : 0;
  framesRead += static_cast<long long>(pendingCount);
  if (pendingCount == 0) {
    finished = true;
    if (sf_error(file) != SF_ERR_NO_ERROR) readError = SoundFileProblem(sf_strerror(file));
  }
}

void RecordingFile::Impl::ResampleSecondBlock() {
  if (monoPosition < monoCount || inputEnded) return;
  ReadMonoChunk();
  while (monoPosition < monoCount && pendingCount < resampled.size()) {
    std::size_t used = 0;
    const std::size_t made =
        resampler->Process(mono.data() + monoPosition, monoCount - monoPosition, used,
                           resampled.data() + pendingCount, resampled.size() - pendingCount);
    monoPosition += used;
    pendingCount += made;
    if (used == 0 && made == 0) break;
  }
}

void RecordingFile::Impl::Refill() {
  if (passThrough) {
    PassThroughRefill();
    return;
  }
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
  pending = resampled.data();
  if (monoPosition < monoCount) {
    std::size_t used = 0;
    pendingCount = resampler->Process(mono.data() + monoPosition, monoCount - monoPosition, used,
                                      resampled.data(), resampled.size());
    monoPosition += used;
  } else {
    // After the end of input the resampler drains its delay line over one or more calls.
    pendingCount = resampler->Flush(resampled.data(), resampled.size());
    finished = pendingCount == 0;
  }
}

RecordingFile::RecordingFile() : impl(std::make_unique<Impl>()) {}

RecordingFile::~RecordingFile() = default;

long long RecordingFile::SourceFrames() const { return impl->knownFrames; }

int RecordingFile::SourceRate() const { return impl->info.samplerate; }

std::string RecordingFile::Shortfall() const {
  const Impl& file = *impl;
  const int rate = file.info.samplerate;
  std::string damage;
  if (file.damagedPlaces > 0) {
    damage = "damaged at " + Seconds(file.damagedAt, rate) + ": " +
             Seconds(file.skippedFrames, rate) + " of sound skipped";
    if (file.damagedPlaces > 1) {
      damage.insert(damage.find(':'),
                    " and " + std::to_string(file.damagedPlaces - 1) +
                        (file.damagedPlaces == 2 ? " more place" : " more places"));
    }
  }
  std::string missing;
  // Reading stopped before the end (a replay ended by a signal) says nothing of the rest.
  const bool ended = file.inputEnded || file.finished;
  if (ended && !file.readError.empty()) {
    missing = "read error after " + std::to_string(file.framesRead) + " frames (" +
              Seconds(file.framesRead, rate) + "): " + file.readError;
  } else if (ended && IsMpeg(file.info) && file.declaredFrames &&
             file.framesRead < *file.declaredFrames) {
    // An MPEG stream's length is an estimate, and its decoder ends at frames it cannot read.
    missing = "damaged at " + Seconds(file.framesRead, rate) + ": nothing past it could be decoded";
  } else if (ended && file.declaredFrames && file.framesRead < *file.declaredFrames) {
    const long long lost = *file.declaredFrames - file.framesRead;
    missing = "truncated: header declares " + std::to_string(*file.declaredFrames) +
              " frames, file holds " + std::to_string(file.framesRead) + "; decoded those, " +
              std::to_string(lost) + " frames (" + Seconds(lost, rate) + " of " +
              Seconds(*file.declaredFrames, rate) + ") are missing";
  }
  if (damage.empty()) return missing;
  return missing.empty() ? damage : damage + "; " + missing;
}

std::string RecordingFile::SilentMix() const {
  const Impl& file = *impl;
  if (file.channelEnergy.empty() || file.framesRead == 0) return {};
  const auto loudest = std::max_element(file.channelEnergy.begin(), file.channelEnergy.end());
  // A channel louder than an 8-bit step whose mix is 40 dB quieter: the channels cancel.
  constexpr double kAudible = 1.0 / (128.0 * 128.0);
  constexpr double kCancelled = 1e-4;
  if (*loudest / static_cast<double>(file.framesRead) < kAudible ||
      file.mixEnergy >= *loudest * kCancelled) {
    return {};
  }
  const std::string number = std::to_string(loudest - file.channelEnergy.begin() + 1);
  return "the channels cancel when mixed: the mix is silent where channel " + number +
         " is not; try --channel " + number;
}

std::unique_ptr<RecordingFile> RecordingFile::Open(const std::string& path, IoError& error,
                                                   int channel) {
  std::unique_ptr<RecordingFile> recording(new RecordingFile());
  Impl& impl = *recording->impl;
  struct stat status {};
  if (path == kStandardInput) {
    impl.fd = StandardInputForReading();
    impl.ownsFd = false;
  } else {
    if (StatPath(path.c_str(), &status) != 0) {
      error.description = Lowercased(std::strerror(errno));
      return nullptr;
    }
    if (!CheckReadable(status, error)) return nullptr;
    // A regular file is opened without blocking, in case the path has become a FIFO since the
    // stat above (the second look below then sees it); a FIFO waits for its writer, or for a
    // signal to end the program.
    const bool fifo = S_ISFIFO(status.st_mode);
    if (fifo) EndStreamOnTermination(-1);
    impl.fd = OpenForReading(path.c_str(), fifo);
    if (impl.fd < 0) {
      error.description = errno == EINTR && StreamTerminationSignal()
                              ? std::string("stopped before a writer came")
                              : Lowercased(std::strerror(errno));
      return nullptr;
    }
  }
  if (fstat(impl.fd, &status) != 0 || !CheckReadable(status, error)) {
    if (error.description.empty()) error.description = Lowercased(std::strerror(errno));
    return nullptr;
  }
  const bool stream = !S_ISREG(status.st_mode);
  if (stream) EndStreamOnTermination(impl.fd);

  if (stream && StreamEndedEmpty(impl.fd)) {
    error.description = "is empty: nothing came through";
    return nullptr;
  }
  // A stream's header cannot be read twice: libsndfile alone reads it.
  const SoundHeader header = stream ? SoundHeader{} : ReadSoundHeader(impl.fd, status.st_size);
  if (!stream) {
    impl.view = std::make_unique<SoundFileView>(impl.fd, static_cast<int64_t>(status.st_size),
                                                header.sizeOverride);
  }
  if (header.SizesWrapped()) {
    error.description = "cannot be trusted: its header declares " +
                        std::to_string(*header.declaredBytes) + " bytes of audio, but " +
                        std::to_string(header.heldBytes) +
                        " bytes follow, more than its 32-bit sizes can declare (a file past 4 "
                        "GiB); convert it to FLAC, W64 or RF64, or split it";
    return nullptr;
  }
  {
    // Opening may already meet damage, before the format is known.
    const QuietDecoder quiet(true);
    impl.file =
        stream ? sf_open_fd(impl.fd, SFM_READ, &impl.info, SF_FALSE) : impl.view->Open(impl.info);
  }
  if (!impl.file) {
    if (header.sampleRate && !RateSupported(*header.sampleRate)) {
      // libsndfile refuses a rate of 0 or above 2^31 as an "incomplete" format.
      error.description = RateProblem(*header.sampleRate);
    } else if (sf_error(nullptr) == SF_ERR_UNRECOGNISED_FORMAT) {
      error.description = "not a recognised audio file";
    } else {
      error.description = "not a usable audio file: " + SoundFileProblem(sf_strerror(nullptr));
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
  if (channel > info.channels) {
    error.description = "has " + std::to_string(info.channels) +
                        (info.channels == 1 ? " channel" : " channels") + ", no channel " +
                        std::to_string(channel);
    return nullptr;
  }
  impl.channel = channel;
  if (channel == 0 && info.channels > 1) {
    impl.channelEnergy.assign(static_cast<std::size_t>(info.channels), 0.0);
  }
  impl.declaredFrames = DeclaredFrames(header, info, stream);
  if (!stream && info.frames != SF_COUNT_MAX) impl.knownFrames = info.frames;

  impl.passThrough = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV &&
                     (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8 &&
                     info.samplerate == static_cast<int>(kSampleRate) && info.channels == kChannels;
  impl.readShorts = SixteenBitsOrFewer(info.format);
  const sf_count_t chunk = stream ? kStreamChunkSamples : kChunkSamples;
  impl.chunkFrames = std::max<sf_count_t>(1, chunk / info.channels);
  const auto chunkSamples = static_cast<std::size_t>(impl.chunkFrames * info.channels);
  if (impl.passThrough) {
    impl.raw.resize(static_cast<std::size_t>(chunk));
  } else {
    if (impl.readShorts) {
      impl.shorts.resize(chunkSamples);
    } else {
      impl.interleaved.resize(chunkSamples);
    }
    impl.mono.resize(static_cast<std::size_t>(impl.chunkFrames));
    if (info.samplerate != static_cast<int>(kSampleRate)) {
      impl.resampler = Resampler::Create(info.samplerate, kSampleRate, error);
      if (!impl.resampler) return nullptr;
      impl.resampled.resize(
          static_cast<std::size_t>(std::ceil(2.0 * static_cast<double>(impl.chunkFrames) *
                                             kSampleRate / info.samplerate)) +
          kResampledSlack);
    }
  }

  // The first block: a file with no audio at all is refused here. The resampler grows its
  // buffers over its first two blocks, so it gets both now, before the replay starts.
  impl.Refill();
  if (impl.resampler) impl.ResampleSecondBlock();
  if (impl.framesRead == 0) {
    if (!impl.readError.empty()) {
      error.description = "read error: " + impl.readError;
    } else if (impl.declaredFrames && *impl.declaredFrames > 0) {
      // What the header says the file holds, where libsndfile could read none of it.
      const long long frameBytes = SampleBytes(info.format) * info.channels;
      const long long held =
          frameBytes > 0 ? static_cast<long long>(header.heldBytes) / frameBytes : 0;
      error.description = "truncated: header declares " + std::to_string(*impl.declaredFrames) +
                          " frames, file holds " + std::to_string(held);
    } else {
      error.description = "contains no audio";
    }
    return nullptr;
  }
  return recording;
}

std::size_t RecordingFile::Read(uint8_t* out, std::size_t count) {
  Impl& file = *impl;
  std::size_t done = 0;
  while (done < count) {
    if (file.pendingPosition == file.pendingCount) {
      if (file.finished) break;
      file.Refill();
      continue;
    }
    const std::size_t n = std::min(count - done, file.pendingCount - file.pendingPosition);
    if (file.passThrough) {
      // Unsigned 8-bit PCM is the capture format: the data chunk's bytes are the samples.
      std::memcpy(out + done, file.raw.data() + file.pendingPosition, n);
    } else {
      const float* from = file.pending + file.pendingPosition;
      for (std::size_t i = 0; i < n; ++i) out[done + i] = QuantiseRecorded(from[i]);
    }
    file.pendingPosition += n;
    done += n;
  }
  return done;
}

}  // namespace brindlemoor
