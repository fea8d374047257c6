// Whether two names lead to the same file (the same device and inode, whatever the names), so a
// program can refuse to write its output over its own input.
#pragma once

#include <string>

namespace brindlemoor::tools {

// False when either does not exist.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace brindlemoor::tools
