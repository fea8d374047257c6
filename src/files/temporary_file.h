// A new, empty, hidden file next to a destination, for writers whose file appears under its name
// only when complete (written, then renamed over the destination in one step).
#pragma once

#include <string>

namespace brindlemoor {

// Creates the file in `path`'s directory (so the rename stays within one file system), named
// after `path` and unique to this process, and returns its descriptor; -1 with errno set when it
// cannot. `temporary` gets its name. The permissions are a new file's, after the umask.
int CreateTemporaryBeside(const std::string& path, std::string& temporary);

}  // namespace brindlemoor
