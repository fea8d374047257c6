#include "same_file.h"

#include <filesystem>
#include <system_error>

namespace brindlemoor::tools {

bool SameFile(const std::string& a, const std::string& b) {
  // std::filesystem compares device and inode (the file index on Windows). The names are UTF-8,
  // which a path takes as such only from char8_t.
  std::error_code error;
  const auto path = [](const std::string& name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
  };
  return std::filesystem::equivalent(path(a), path(b), error) && !error;
}

}  // namespace brindlemoor::tools
