#include "files/temporary_file.h"

#include <unistd.h>

#include <cerrno>

#include "platform/file_access.h"

namespace brindlemoor {
namespace {

// Names tried before giving up (left over by crashed runs of this pid).
constexpr int kTemporaryAttempts = 100;

}  // namespace

int CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  const std::size_t nameStart = FileNameStart(path);
  const std::string directory = path.substr(0, nameStart);
  const std::string name = path.substr(nameStart);
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    temporary =
        directory + "." + name + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    const int descriptor = CreateNewFile(temporary.c_str());
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
  }
  return -1;
}

}  // namespace brindlemoor
