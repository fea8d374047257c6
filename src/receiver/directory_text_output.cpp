#include "receiver/directory_text_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace brindlemoor {
namespace {

std::string JoinPath(const std::string& directory, const char* name) {
  if (directory.empty() || directory == ".") return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

// Appends all of `data` to `path`, creating the file (0644 less the umask) if needed. Returns 0
// or the errno of the first failure.
int AppendToFile(const char* path, const char* data, std::size_t size) {
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

}  // namespace

DirectoryTextOutput::DirectoryTextOutput(const std::string& directory)
    : receivePath(JoinPath(directory, kReceiveFileName)),
      flagPath(JoinPath(directory, kFlagFileName)) {}

void DirectoryTextOutput::SetFailureReporter(FailureReporter newReporter, void* context) {
  reporter = newReporter;
  reporterContext = context;
}

const std::string& DirectoryTextOutput::PathOf(OutputFile file) const {
  return file == OutputFile::kReceiveText ? receivePath : flagPath;
}

bool DirectoryTextOutput::Append(OutputFile file, const char* data, std::size_t size) {
  const std::string& path = PathOf(file);
  const int error = AppendToFile(path.c_str(), data, size);
  if (error != 0 && reporter != nullptr) reporter(reporterContext, path.c_str(), error);
  return error == 0;
}

}  // namespace brindlemoor
