// Reads a recording (any format libsndfile knows) as capture-format samples. A WAV file that is
// already 11025 Hz, mono, unsigned 8-bit PCM is passed through byte for byte; anything else is
// mixed to mono (mean of the channels), resampled to 11025 Hz with libsamplerate (skipped when
// the file is at 11025 Hz) and quantised as clamp(128 + lrint(x * 128), 0, 255), so 8-bit content
// stored in any encoding comes back as its own bytes. Open reads the whole file once first, so a
// truncated or unreadable recording is refused before anything is decoded. Reading streams in
// fixed-size chunks allocated by Open: memory does not grow with the recording's length.
#pragma once

#include <memory>
#include <string>

#include "capture/io_error.h"
#include "capture/sample_stream.h"

namespace brindlemoor {

class RecordingFile : public SampleStream {
 public:
  // Null with `error` set when the file cannot be used: not a regular file (a directory or FIFO
  // is refused without being opened), empty, not audio libsndfile recognises, no channels, a
  // sample rate outside 44 .. 1,000,000 Hz (44 Hz being the slowest that libsamplerate can
  // convert), fewer frames than the header declares, a read error, or no frames at all. The
  // description is one line and does not name the file; the caller adds the name.
  static std::unique_ptr<RecordingFile> Open(const std::string& path, IoError& error);
  ~RecordingFile() override;

  // Samples at 11025 Hz; 0 only at the end. Allocates nothing.
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
