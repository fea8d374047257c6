// The error of a file or device operation: a readable description of what went wrong, without
// the file or device name, which the caller adds.
#pragma once

#include <string>

namespace brindlemoor {

struct IoError {
  std::string description;
};

}  // namespace brindlemoor
