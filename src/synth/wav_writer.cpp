#include "synth/wav_writer.h"

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

#include "capture/temporary_file.h"
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

// Writes all samples as unsigned 8-bit bytes exactly as QuantizeToU8 makes them: raw writes
// bypass libsndfile's own scaling.
bool WriteU8(SNDFILE* file, std::span<const double> samples) {
  for (std::size_t start = 0; start < samples.size(); start += kChunkSamples) {
    const std::span<const double> chunk =
        samples.subspan(start, std::min(kChunkSamples, samples.size() - start));
    const std::vector<uint8_t> bytes = QuantizeToU8(chunk);
    const sf_count_t size = static_cast<sf_count_t>(bytes.size());
    if (sf_write_raw(file, bytes.data(), size) != size) return false;
  }
  return true;
}

// Writes all samples as signed 16-bit values clamp(lrint(32767 x)); shorts reach a 16-bit file
// unscaled.
bool WritePcm16(SNDFILE* file, std::span<const double> samples) {
  std::array<short, kChunkSamples> values;
  for (std::size_t start = 0; start < samples.size(); start += kChunkSamples) {
    const std::size_t count = std::min(kChunkSamples, samples.size() - start);
    for (std::size_t i = 0; i < count; ++i) {
      const long value = std::lrint(kPcm16Scale * samples[start + i]);
      values[i] = static_cast<short>(std::clamp(value, -32768L, 32767L));
    }
    const sf_count_t size = static_cast<sf_count_t>(count);
    if (sf_write_short(file, values.data(), size) != size) return false;
  }
  return true;
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
  int32_t bits = 0;
  int64_t samplesWritten = 0;

  // Closes whatever is open and removes the temporary file.
  void Discard() {
    if (file != nullptr) sf_close(file);
    file = nullptr;
    if (descriptor >= 0) close(descriptor);
    descriptor = -1;
    if (!temporary.empty()) RemoveFile(temporary.c_str());
    temporary.clear();
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
  impl.path = path;
  impl.bits = bits;
  impl.descriptor = CreateTemporaryBeside(path, impl.temporary);
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
  assert(impl->file != nullptr && "Append after Commit or a failure");
  const int64_t room = MaxWavSamples(impl->bits) - impl->samplesWritten;
  if (static_cast<int64_t>(samples.size()) > room) {
    error.description = "more than " + std::to_string(MaxWavSamples(impl->bits)) +
                        " samples, beyond the 4 GiB a WAV file can hold";
    impl->Discard();
    return false;
  }
  impl->samplesWritten += static_cast<int64_t>(samples.size());
  const bool ok = impl->bits == 8 ? WriteU8(impl->file, samples) : WritePcm16(impl->file, samples);
  if (!ok) {
    error.description = std::string("cannot write the file: ") + sf_strerror(impl->file);
    impl->Discard();
  }
  return ok;
}

bool WavFileWriter::Commit(IoError& error) {
  assert(impl->file != nullptr && "Commit after Commit or a failure");
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
  return true;
}

bool WriteWav(const std::string& path, std::span<const double> samples, int32_t sampleRate,
              int32_t bits, IoError& error) {
  const std::unique_ptr<WavFileWriter> writer =
      WavFileWriter::Create(path, sampleRate, bits, error);
  return writer && writer->Append(samples, error) && writer->Commit(error);
}

}  // namespace brindlemoor
