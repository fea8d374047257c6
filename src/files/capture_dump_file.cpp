#include "files/capture_dump_file.h"

#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "capture/stream_wav_header.h"
#include "files/temporary_file.h"
#include "platform/file_access.h"

namespace brindlemoor {

std::unique_ptr<CaptureDumpFile> CaptureDumpFile::Create(const std::string& path,
                                                         uint32_t sampleRate, IoError& error) {
  std::unique_ptr<CaptureDumpFile> dump(new CaptureDumpFile);
  // Writes to a FIFO wait for its reader only until a request to end the program comes.
  OutputPlace place;
  if (const int failure = FindOutputPlace(path, false, false, place); failure != 0) {
    error.description = failure == ENXIO
                            ? std::string("a FIFO with no reader; start its reader first")
                            : std::string("cannot write the file: ") + std::strerror(failure);
    return nullptr;
  }
  if (place.descriptor >= 0) {
    dump->descriptor = place.descriptor;
    dump->writtenThrough = true;
    const auto header = StreamWavHeader(sampleRate, 8);
    if (const int failure = WriteAll(dump->descriptor, header.data(), header.size());
        failure != 0) {
      error.description = std::string("cannot write the file: ") + std::strerror(failure);
      return nullptr;
    }
    return dump;
  }
  dump->path = place.path;  // a symbolic link's target is replaced, not the link
  dump->descriptor = CreateTemporaryBeside(dump->path, dump->temporary);
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
  if (writtenThrough) {
    const int failure = WriteAll(descriptor, samples, count, true);
    if (failure != 0) error.description = std::strerror(failure);
    return failure == 0;
  }
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
  if (writtenThrough) {
    const int closed = descriptor >= 0 ? close(descriptor) : 0;
    descriptor = -1;
    if (closed != 0) error.description = std::strerror(errno);
    return closed == 0;
  }
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
