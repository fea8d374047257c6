// A WAV file that receives capture-format samples (11025 Hz, unsigned 8-bit, mono) as they are
// captured, byte for byte. The header is brought up to date after every write, so the file stays
// playable even if the program is killed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "capture/io_error.h"

namespace brindlemoor {

class CaptureDumpFile {
 public:
  // Null with `error` set when the file cannot be created.
  static std::unique_ptr<CaptureDumpFile> Create(const std::string& path, uint32_t sampleRate,
                                                 IoError& error);
  ~CaptureDumpFile();
  CaptureDumpFile(const CaptureDumpFile&) = delete;
  CaptureDumpFile& operator=(const CaptureDumpFile&) = delete;

  // Appends raw unsigned 8-bit samples. False with `error` set when the write fails.
  bool Write(const uint8_t* samples, std::size_t count, IoError& error);
  // Closes the file; false with `error` set when the last write-out fails.
  bool Close(IoError& error);

 private:
  CaptureDumpFile() = default;
  void* file = nullptr;  // SNDFILE*
};

}  // namespace brindlemoor
