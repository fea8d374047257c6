#include "capture/capture_dump_file.h"

#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "capture/temporary_file.h"
#include "platform/file_access.h"

namespace brindlemoor {

std::unique_ptr<CaptureDumpFile> CaptureDumpFile::Create(const std::string& path,
                                                         uint32_t sampleRate, IoError& error) {
  std::unique_ptr<CaptureDumpFile> dump(new CaptureDumpFile);
  dump->path = path;
  dump->descriptor = CreateTemporaryBeside(path, dump->temporary);
  if (dump->descriptor < 0) {
    dump->temporary.clear();  // nothing was created
    error.description = std::string("cannot create the file: ") + std::strerror(errno);
    return nullptr;
  }
  SF_INFO info{};
  info.samplerate = static_cast<int>(sampleRate);
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
  // libsndfile leaves the descriptor open; Close and Discard close it.
  SNDFILE* file = sf_open_fd(dump->descriptor, SFM_WRITE, &info, SF_FALSE);
  if (!file) {
    error.description = std::string("cannot write the file: ") + sf_strerror(nullptr);
    return nullptr;  // the destructor removes the temporary file
  }
  sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
  dump->file = file;
  return dump;
}

CaptureDumpFile::~CaptureDumpFile() { Discard(); }

void CaptureDumpFile::Discard() {
  if (file) sf_close(static_cast<SNDFILE*>(file));
  file = nullptr;
  if (descriptor >= 0) close(descriptor);
  descriptor = -1;
  if (!temporary.empty()) RemoveFile(temporary.c_str());
  temporary.clear();
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
  if (!file) return temporary.empty();
  const int result = sf_close(static_cast<SNDFILE*>(file));
  file = nullptr;
  const int closed = close(descriptor);
  descriptor = -1;
  if (result != 0 || closed != 0) {
    error.description = result != 0 ? sf_error_number(result) : std::strerror(errno);
    Discard();
    return false;
  }
  if (const int failure = MoveIntoPlace(temporary.c_str(), path.c_str()); failure != 0) {
    error.description = std::string("cannot move the file into place: ") + std::strerror(failure);
    Discard();
    return false;
  }
  temporary.clear();
  return true;
}

}  // namespace brindlemoor
