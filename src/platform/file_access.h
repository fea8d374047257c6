// The few file calls the file backends make, over POSIX or Windows: descriptors that read raw
// bytes, reads at an offset, creating a new file, replacing one file by another, and appending
// text. On Windows a text append writes a line feed as CR LF, as the C library's text mode does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace brindlemoor {

// Opens `path` for reading raw bytes; -1 with errno set on failure. Only a FIFO, and only when
// asked, may wait for its writer; anything else opens at once.
int OpenForReading(const char* path, bool waitForWriter);
// Standard input's descriptor, reading raw bytes.
int StandardInputForReading();
// Waits until the stream `fd` (a pipe, a FIFO) has data or its writer is gone; true when it ended
// without a byte. False where that cannot be told (Windows).
bool StreamEndedEmpty(int fd);
// Reads exactly `size` bytes at `offset`; false on a short read or an error.
bool ReadAt(int fd, void* into, std::size_t size, int64_t offset);
// Creates `path`, which must not exist yet, for writing raw bytes; -1 with errno set on failure.
int CreateNewFile(const char* path);
// Puts `from` in the place of `to`, replacing it if it exists; 0 or the errno of the failure.
int MoveIntoPlace(const char* from, const char* to);
// Where the file's own name starts in `path`: just after the last folder separator ('/', and on
// Windows also '\\' and a drive's ':'), or 0 when there is none.
std::size_t FileNameStart(const std::string& path);
// Points standard error at the null device, for library calls that would print their own
// diagnostics there; returns what RestoreStandardError needs (-1 when nothing was changed).
int SilenceStandardError();
void RestoreStandardError(int saved);
// Appends all of `data` to the text file `path`, creating it if needed; 0 or the errno of the
// first failure. Allocates nothing.
int AppendText(const char* path, const char* data, std::size_t size);

}  // namespace brindlemoor
