#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_access.h"
#include "platform/stream_termination.h"
#include "platform/termination_set_posix.h"

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

namespace {

// Waits for room to write on `fd`, looking every 100 ms for a request to end the program; false
// once one has come.
bool WaitForRoom(int fd) {
  constexpr int kPollMs = 100;
  const sigset_t termination = TerminationSignalSet();
  for (;;) {
    sigset_t pending;
    sigpending(&pending);
    sigandset(&pending, &pending, &termination);
    if (!sigisemptyset(&pending) || StreamTerminationSignal() != nullptr) return false;
    pollfd wait{fd, POLLOUT, 0};
    if (::poll(&wait, 1, kPollMs) > 0) return true;
  }
}

}  // namespace

int WriteAll(int fd, const void* data, std::size_t size, bool waitForRoom) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN && waitForRoom) {
        if (WaitForRoom(fd)) continue;
        return EINTR;
      }
      return errno;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

int AppendText(const char* path, const char* data, std::size_t size) {
  // O_NONBLOCK: a FIFO without a reader fails at once, and one whose reader stalls fails the
  // write, instead of stalling the receiver.
  const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return errno;
  int error = WriteAll(fd, data, size);
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  return error;
}

int FindOutputPlace(const std::string& path, bool dashIsStandardOutput, bool blockingWrites,
                    OutputPlace& place) {
  place = {path, -1, false};
  if (dashIsStandardOutput && path == "-") {
    place.descriptor = STDOUT_FILENO;
    return 0;
  }
  // Follow symbolic links to the file they name (a dangling one names a file to create).
  constexpr int kMostLinks = 40;
  struct stat status {};
  for (int links = 0;; ++links) {
    if (::lstat(place.path.c_str(), &status) != 0) return errno == ENOENT ? 0 : errno;
    if (!S_ISLNK(status.st_mode)) break;
    if (links == kMostLinks) return ELOOP;
    char target[PATH_MAX];
    const ssize_t size = ::readlink(place.path.c_str(), target, sizeof target - 1);
    if (size < 0) return errno;
    const std::string next(target, static_cast<std::size_t>(size));
    place.path =
        next.front() == '/' ? next : place.path.substr(0, FileNameStart(place.path)) + next;
  }
  if (S_ISREG(status.st_mode)) return 0;
  if (S_ISDIR(status.st_mode)) return EISDIR;
  place.descriptor = ::open(place.path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (place.descriptor < 0) return errno;
  place.ownsDescriptor = true;
  if (blockingWrites) {
    ::fcntl(place.descriptor, F_SETFL, ::fcntl(place.descriptor, F_GETFL) & ~O_NONBLOCK);
  }
  return 0;
}

}  // namespace brindlemoor
