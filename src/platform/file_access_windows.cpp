// Windows: the C runtime's descriptors. Reads are binary; an append is in text mode, so the
// runtime writes each line feed as CR LF.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_access.h"

namespace brindlemoor {
namespace {

// Maps the last Win32 error of a file call to the nearest errno.
int ErrnoOfLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    case ERROR_DISK_FULL:
      return ENOSPC;
    default:
      return EIO;
  }
}

}  // namespace

int OpenForReading(const char* path, bool /*waitForWriter*/) {
  return ::_open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int StandardInputForReading() {
  // The runtime opens standard input in text mode, which would turn CR LF in the samples into LF.
  ::_setmode(0, _O_BINARY);
  return 0;
}

bool StreamEndedEmpty(int /*fd*/) { return false; }

bool ReadAt(int fd, void* into, std::size_t size, int64_t offset) {
  // Like pread, the descriptor's position stays where it was: the next reader (libsndfile)
  // expects it there. The descriptors here are never shared between threads.
  const int64_t position = ::_telli64(fd);
  if (position < 0 || ::_lseeki64(fd, offset, SEEK_SET) != offset) return false;
  auto* bytes = static_cast<char*>(into);
  bool complete = true;
  while (size > 0) {
    const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
    const int got = ::_read(fd, bytes, chunk);
    if (got <= 0) {
      complete = false;
      break;
    }
    bytes += got;
    size -= static_cast<std::size_t>(got);
  }
  return ::_lseeki64(fd, position, SEEK_SET) == position && complete;
}

int CreateNewFile(const char* path) {
  return ::_open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
}

int MoveIntoPlace(const char* from, const char* to) {
  // rename() on Windows refuses to replace an existing file.
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : ErrnoOfLastError();
}

std::size_t FileNameStart(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\:");
  return separator == std::string::npos ? 0 : separator + 1;
}

int SilenceStandardError() {
  std::fflush(stderr);
  const int saved = ::_dup(2);
  const int null = ::_open("NUL", _O_WRONLY | _O_NOINHERIT);
  if (saved < 0 || null < 0 || ::_dup2(null, 2) != 0) {
    if (saved >= 0) ::_close(saved);
    if (null >= 0) ::_close(null);
    return -1;
  }
  ::_close(null);
  return saved;
}

void RestoreStandardError(int saved) {
  if (saved < 0) return;
  ::_dup2(saved, 2);
  ::_close(saved);
}

int WriteAll(int fd, const void* data, std::size_t size, bool /*waitForRoom*/) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
    // In text mode the count returned is of the bytes given, not of the CR LF written.
    const int written = ::_write(fd, bytes, chunk);
    if (written < 0) return errno;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

int AppendText(const char* path, const char* data, std::size_t size) {
  const int fd = ::_open(path, _O_WRONLY | _O_APPEND | _O_CREAT | _O_TEXT | _O_NOINHERIT,
                         _S_IREAD | _S_IWRITE);
  if (fd < 0) return errno;
  int error = WriteAll(fd, data, size);
  if (::_close(fd) != 0 && error == 0) error = errno;
  return error;
}

int FindOutputPlace(const std::string& path, bool dashIsStandardOutput, bool /*blockingWrites*/,
                    OutputPlace& place) {
  // Windows has no device nodes or FIFOs among the names a user gives: every file is renamed
  // into place, and only standard output is written through, in binary mode.
  place = {path, -1, false};
  if (dashIsStandardOutput && path == "-") {
    ::_setmode(1, _O_BINARY);
    place.descriptor = 1;
  }
  return 0;
}

}  // namespace brindlemoor
