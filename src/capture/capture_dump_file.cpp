#include "capture/capture_dump_file.h"

#include <sndfile.h>

namespace brindlemoor {

std::unique_ptr<CaptureDumpFile> CaptureDumpFile::Create(const std::string& path,
                                                         uint32_t sampleRate, IoError& error) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(sampleRate);
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    error.description = sf_strerror(nullptr);
    return nullptr;
  }
  sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
  std::unique_ptr<CaptureDumpFile> dump(new CaptureDumpFile);
  dump->file = file;
  return dump;
}

CaptureDumpFile::~CaptureDumpFile() {
  if (file) sf_close(static_cast<SNDFILE*>(file));
}

bool CaptureDumpFile::Write(const uint8_t* samples, std::size_t count, IoError& error) {
  if (count == 0) return true;
  auto* handle = static_cast<SNDFILE*>(file);
  // Raw writes keep the bytes exactly as captured; for 8-bit WAV they are unsigned already.
  if (sf_write_raw(handle, samples, static_cast<sf_count_t>(count)) !=
      static_cast<sf_count_t>(count)) {
    error.description = sf_strerror(handle);
    return false;
  }
  return true;
}

bool CaptureDumpFile::Close(IoError& error) {
  if (!file) return true;
  const int result = sf_close(static_cast<SNDFILE*>(file));
  file = nullptr;
  if (result != 0) {
    error.description = sf_error_number(result);
    return false;
  }
  return true;
}

}  // namespace brindlemoor
