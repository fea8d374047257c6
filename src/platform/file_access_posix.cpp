#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_access.h"

namespace brindlemoor {

int OpenForReading(const char* path, bool waitForWriter) {
  return ::open(path, O_RDONLY | O_CLOEXEC | (waitForWriter ? 0 : O_NONBLOCK));
}

int StandardInputForReading() { return STDIN_FILENO; }

bool StreamEndedEmpty(int fd) {
  pollfd stream{fd, POLLIN, 0};
  while (::poll(&stream, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  return (stream.revents & POLLHUP) != 0 && (stream.revents & POLLIN) == 0;
}

bool ReadAt(int fd, void* into, std::size_t size, int64_t offset) {
  return ::pread(fd, into, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

int CreateNewFile(const char* path) {
  // 0666 less the umask: the permissions a new file of the user normally gets.
  return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

int MoveIntoPlace(const char* from, const char* to) {
  return std::rename(from, to) == 0 ? 0 : errno;
}

std::size_t FileNameStart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

int SilenceStandardError() {
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (saved < 0 || null < 0 || ::dup2(null, STDERR_FILENO) < 0) {
    if (saved >= 0) ::close(saved);
    if (null >= 0) ::close(null);
    return -1;
  }
  ::close(null);
  return saved;
}

void RestoreStandardError(int saved) {
  if (saved < 0) return;
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
}

int AppendText(const char* path, const char* data, std::size_t size) {
  const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  int error = 0;
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  return error;
}

}  // namespace brindlemoor
