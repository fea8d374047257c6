#include "same_file.h"

#include <filesystem>
#include <system_error>

namespace brindlemoor::tools {

bool SameFile(const std::string& a, const std::string& b) {
  // std::filesystem compares device and inode (the file index on Windows).
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace brindlemoor::tools
