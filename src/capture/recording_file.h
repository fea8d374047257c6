// Reads a recording (any format libsndfile knows) as capture-format samples. A file that is
// already 11025 Hz, mono, unsigned 8-bit PCM is passed through byte for byte; anything else is
// mixed to mono (mean of the channels), resampled to 11025 Hz with libsamplerate and quantised
// to unsigned 8-bit with 128 as silence. Open checks the whole file first, so a truncated or
// unreadable recording is refused before anything is decoded.
#pragma once

#include <memory>
#include <string>

#include "capture/io_error.h"
#include "capture/sample_stream.h"

namespace brindlemoor {

class RecordingFile : public SampleStream {
 public:
  // Null with `error` set when the file cannot be used.
  static std::unique_ptr<RecordingFile> Open(const std::string& path, IoError& error);
  ~RecordingFile() override;

  std::size_t Read(uint8_t* out, std::size_t count) override;
  // Frames in the file at its own rate, and that rate.
  long long SourceFrames() const;
  int SourceRate() const;

 private:
  RecordingFile();
  struct Impl;
  std::unique_ptr<Impl> impl;
};

}  // namespace brindlemoor
