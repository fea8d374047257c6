// A WAV file that receives capture-format samples (11025 Hz, unsigned 8-bit, mono) as they are
// captured, byte for byte. It is written under a hidden name beside its destination and renamed
// into place by Close, so it never replaces a file before it is complete; the header is brought
// up to date after every write, so even the hidden file of a killed program stays playable. A
// symbolic link is followed to its target; a device or FIFO that exists is written straight
// through, with a header of unknown size (a FIFO without a reader is refused).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "files/io_error.h"

namespace brindlemoor {

class CaptureDumpFile {
 public:
  // Null with `error` set when the file cannot be created.
  static std::unique_ptr<CaptureDumpFile> Create(const std::string& path, uint32_t sampleRate,
                                                 IoError& error);
  // Without a successful Close, removes what was written.
  ~CaptureDumpFile();
  CaptureDumpFile(const CaptureDumpFile&) = delete;
  CaptureDumpFile& operator=(const CaptureDumpFile&) = delete;

  // Appends raw unsigned 8-bit samples. False with `error` set when the write fails.
  bool Write(const uint8_t* samples, std::size_t count, IoError& error);
  // Finishes the file and moves it into place; false with `error` set when that fails (then
  // nothing is left behind).
  bool Close(IoError& error);

 private:
  CaptureDumpFile() = default;
  void Discard();

  void* file = nullptr;  // SNDFILE*
  int descriptor = -1;
  std::string path;
  std::string temporary;        // empty once renamed or removed
  bool writtenThrough = false;  // a device or FIFO, written straight through
};

}  // namespace brindlemoor
