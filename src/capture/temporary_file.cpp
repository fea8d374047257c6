#include "capture/temporary_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace brindlemoor {
namespace {

// Names tried before giving up (left over by crashed runs of this pid).
constexpr int kTemporaryAttempts = 100;

}  // namespace

int CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    temporary =
        directory + "." + name + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
  }
  return -1;
}

}  // namespace brindlemoor
