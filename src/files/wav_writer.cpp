#include "files/wav_writer.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "capture/stream_wav_header.h"
#include "files/temporary_file.h"
#include "platform/file_access.h"
#include "synth/symbol_synth.h"

namespace brindlemoor {

namespace {

// Samples converted and written per call.
constexpr std::size_t kChunkSamples = 4096;
constexpr double kPcm16Scale = 32767.0;
// Room kept below the 32-bit limit of the RIFF size for the header and any chunk libsndfile
// adds before the samples (a plain PCM header takes 44 bytes), and a pad byte.
constexpr int64_t kWavHeaderReserve = 4096;
constexpr int64_t kWavMaxRiffBytes = 0xFFFFFFFF;

std::string SystemError(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

// Writes all samples as unsigned 8-bit bytes exactly as QuantiseToU8 makes them: raw writes
// bypass libsndfile's own scaling.
bool WriteU8(SNDFILE* file, std::span<const double> samples) {
  for (std::size_t start = 0; start < samples.size(); start += kChunkSamples) {
    const std::span<const double> chunk =
        samples.subspan(start, std::min(kChunkSamples, samples.size() - start));
    const std::vector<uint8_t> bytes = QuantiseToU8(chunk);
    const sf_count_t size = static_cast<sf_count_t>(bytes.size());
    if (sf_write_raw(file, bytes.data(), size) != size) return false;
  }
  return true;
}

// The signed 16-bit value of a sample: clamp(lrint(32767 x)).
short Pcm16(double sample) {
  return static_cast<short>(std::clamp(std::lrint(kPcm16Scale * sample), -32768L, 32767L));
}

// Writes all samples as signed 16-bit values; shorts reach a 16-bit file unscaled.
bool WritePcm16(SNDFILE* file, std::span<const double> samples) {
  std::array<short, kChunkSamples> values;
  for (std::size_t start = 0; start < samples.size(); start += kChunkSamples) {
    const std::size_t count = std::min(kChunkSamples, samples.size() - start);
    for (std::size_t i = 0; i < count; ++i) values[i] = Pcm16(samples[start + i]);
    const sf_count_t size = static_cast<sf_count_t>(count);
    if (sf_write_short(file, values.data(), size) != size) return false;
  }
  return true;
}

// Writes all samples straight to a descriptor, as the bytes of the WAV's data chunk: unsigned
// 8-bit, or signed 16-bit little-endian. 0 or the errno of the failure.
int WriteThrough(int descriptor, std::span<const double> samples, int32_t bits) {
  std::vector<uint8_t> bytes;
  for (std::size_t start = 0; start < samples.size(); start += kChunkSamples) {
    const std::span<const double> chunk =
        samples.subspan(start, std::min(kChunkSamples, samples.size() - start));
    if (bits == 8) {
      bytes = QuantiseToU8(chunk);
    } else {
      bytes.resize(2 * chunk.size());
      for (std::size_t i = 0; i < chunk.size(); ++i) {
        const auto value = static_cast<uint16_t>(Pcm16(chunk[i]));
        bytes[2 * i] = static_cast<uint8_t>(value);
        bytes[2 * i + 1] = static_cast<uint8_t>(value >> 8);
      }
    }
    if (const int failure = WriteAll(descriptor, bytes.data(), bytes.size()); failure != 0)
      return failure;
  }
  return 0;
}

}  // namespace

int64_t MaxWavSamples(int32_t bits) {
  assert((bits == 8 || bits == 16) && "WAV sample sizes are 8 or 16 bits");
  return (kWavMaxRiffBytes - kWavHeaderReserve) / (bits / 8);
}

struct WavFileWriter::Impl {
  std::string path;
  std::string temporary;
  int descriptor = -1;
  SNDFILE* file = nullptr;
  int32_t sampleRate = 0;
  int32_t bits = 0;
  int64_t samplesWritten = 0;
  // Written through to a device, a FIFO or standard output (`through` open) instead.
  OutputPlace through;
  bool headerWritten = false;
  bool finished = false;

  // Closes whatever is open and removes the temporary file.
  void Discard() {
    if (file != nullptr) sf_close(file);
    file = nullptr;
    if (descriptor >= 0) close(descriptor);
    descriptor = -1;
    if (!temporary.empty()) RemoveFile(temporary.c_str());
    temporary.clear();
    CloseThrough();
    finished = true;
  }
  // 0 or the errno of closing the written-through node.
  int CloseThrough() {
    const int error = through.ownsDescriptor && close(through.descriptor) != 0 ? errno : 0;
    through.ownsDescriptor = false;
    through.descriptor = -1;
    return error;
  }
  // The header of a written-through WAV, before its first samples; 0 or the errno.
  int WriteHeaderOnce() {
    if (headerWritten) return 0;
    headerWritten = true;
    const auto header = StreamWavHeader(static_cast<uint32_t>(sampleRate), bits);
    return WriteAll(through.descriptor, header.data(), header.size());
  }
};

WavFileWriter::WavFileWriter() : impl(std::make_unique<Impl>()) {}

WavFileWriter::~WavFileWriter() { impl->Discard(); }

std::unique_ptr<WavFileWriter> WavFileWriter::Create(const std::string& path, int32_t sampleRate,
                                                     int32_t bits, IoError& error) {
  if (bits != 8 && bits != 16) {
    error.description = "unsupported sample size of " + std::to_string(bits) + " bits";
    return nullptr;
  }
  if (sampleRate <= 0) {
    error.description = "invalid sample rate " + std::to_string(sampleRate);
    return nullptr;
  }

  std::unique_ptr<WavFileWriter> writer(new WavFileWriter());
  Impl& impl = *writer->impl;
  impl.sampleRate = sampleRate;
  impl.bits = bits;
  if (const int failure = FindOutputPlace(path, true, true, impl.through); failure != 0) {
    errno = failure;
    error.description = failure == ENXIO
                            ? std::string("a FIFO with no reader; start its reader first")
                            : SystemError("cannot write the file");
    return nullptr;
  }
  if (impl.through.descriptor >= 0) return writer;
  impl.path = impl.through.path;  // a symbolic link's target is replaced, not the link
  impl.descriptor = CreateTemporaryBeside(impl.path, impl.temporary);
  if (impl.descriptor < 0) {
    impl.temporary.clear();  // nothing was created
    error.description = SystemError("cannot create a temporary file");
    return nullptr;
  }

  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
  // libsndfile leaves the descriptor open; Discard and Commit close it.
  impl.file = sf_open_fd(impl.descriptor, SFM_WRITE, &info, SF_FALSE);
  if (impl.file == nullptr) {
    error.description = std::string("cannot write the file: ") + sf_strerror(nullptr);
    return nullptr;  // the destructor removes the temporary file
  }
  return writer;
}

bool WavFileWriter::Append(std::span<const double> samples, IoError& error) {
  assert(!impl->finished && "Append after Commit or a failure");
  const int64_t room = MaxWavSamples(impl->bits) - impl->samplesWritten;
  if (static_cast<int64_t>(samples.size()) > room) {
    error.description = "more than " + std::to_string(MaxWavSamples(impl->bits)) +
                        " samples, beyond the 4 GiB a WAV file can hold";
    impl->Discard();
    return false;
  }
  impl->samplesWritten += static_cast<int64_t>(samples.size());
  if (impl->through.descriptor >= 0) {
    int failure = impl->WriteHeaderOnce();
    if (failure == 0) failure = WriteThrough(impl->through.descriptor, samples, impl->bits);
    if (failure == 0) return true;
    errno = failure;
    error.description = SystemError("cannot write the file");
    impl->Discard();
    return false;
  }
  const bool ok = impl->bits == 8 ? WriteU8(impl->file, samples) : WritePcm16(impl->file, samples);
  if (!ok) {
    error.description = std::string("cannot write the file: ") + sf_strerror(impl->file);
    impl->Discard();
  }
  return ok;
}

bool WavFileWriter::Commit(IoError& error) {
  assert(!impl->finished && "Commit after Commit or a failure");
  if (impl->through.descriptor >= 0) {
    int failure = impl->WriteHeaderOnce();
    if (const int closed = impl->CloseThrough(); failure == 0) failure = closed;
    impl->finished = true;
    if (failure == 0) return true;
    errno = failure;
    error.description = SystemError("cannot finish the file");
    return false;
  }
  // Closing writes the final header sizes, so it can fail too, and so can closing the file.
  const int finished = sf_close(impl->file);
  impl->file = nullptr;
  if (finished != 0) {
    error.description = std::string("cannot finish the file: ") + sf_error_number(finished);
    impl->Discard();
    return false;
  }
  const int closed = close(impl->descriptor);
  impl->descriptor = -1;
  if (closed != 0) {
    error.description = SystemError("cannot finish the file");
    impl->Discard();
    return false;
  }
  if (const int failure = MoveIntoPlace(impl->temporary.c_str(), impl->path.c_str());
      failure != 0) {
    errno = failure;
    error.description = SystemError("cannot move the file into place");
    impl->Discard();
    return false;
  }
  impl->temporary.clear();
  impl->finished = true;
  return true;
}

bool WriteWav(const std::string& path, std::span<const double> samples, int32_t sampleRate,
              int32_t bits, IoError& error) {
  const std::unique_ptr<WavFileWriter> writer =
      WavFileWriter::Create(path, sampleRate, bits, error);
  return writer && writer->Append(samples, error) && writer->Commit(error);
}

}  // namespace brindlemoor
