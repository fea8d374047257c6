// The few file calls the file backends make, over POSIX or Windows: descriptors that read raw
// bytes, reads at an offset, creating a new file, replacing one file by another, and appending
// text. On Windows a text append writes a line feed as CR LF, as the C library's text mode does.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brindlemoor {

// Opens `path` for reading raw bytes without blocking on a FIFO; -1 with errno set on failure.
int OpenForReading(const char* path);
// Reads exactly `size` bytes at `offset`; false on a short read or an error.
bool ReadAt(int fd, void* into, std::size_t size, int64_t offset);
// Creates `path`, which must not exist yet, for writing raw bytes; -1 with errno set on failure.
int CreateNewFile(const char* path);
// Puts `from` in the place of `to`, replacing it if it exists; 0 or the errno of the failure.
int ReplaceFile(const char* from, const char* to);
// Appends all of `data` to the text file `path`, creating it if needed; 0 or the errno of the
// first failure. Allocates nothing.
int AppendText(const char* path, const char* data, std::size_t size);

}  // namespace brindlemoor
