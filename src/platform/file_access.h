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
// first failure. Allocates nothing. Never waits for a reader: a FIFO without one fails (ENXIO).
int AppendText(const char* path, const char* data, std::size_t size);
// Writes all of `data` to the raw descriptor `fd`; 0 or the errno of the first failure. A
// descriptor that does not block (a FIFO) fails when full, unless `waitForRoom`: then the write
// waits for its reader, until a request to end the program comes (SIGINT, SIGTERM or SIGHUP
// pending or taken; EINTR).
int WriteAll(int fd, const void* data, std::size_t size, bool waitForRoom = false);

// Where a file that is written whole goes. A new file, or a regular one (reached through any
// symbolic links, which are followed as cp does), is written beside `path` and renamed into
// place: `descriptor` stays -1 and `path` names the file itself. Any other node that exists (a
// device such as /dev/null, a FIFO) and, when allowed, "-" for standard output are written
// through, front to back: `descriptor` is open for writing, and closed by its user only when
// `ownsDescriptor`.
struct OutputPlace {
  std::string path;
  int descriptor = -1;
  bool ownsDescriptor = false;
};
// 0, or the errno of the failure: ENXIO for a FIFO that has no reader (never waited for), EISDIR
// for a directory. Writes to a FIFO block only when `blockingWrites`.
int FindOutputPlace(const std::string& path, bool dashIsStandardOutput, bool blockingWrites,
                    OutputPlace& place);

}  // namespace brindlemoor
