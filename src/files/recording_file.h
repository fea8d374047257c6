// Reads a recording (any format libsndfile knows) as capture-format samples, front to back in one
// pass. A WAV file that is already 11025 Hz, mono, unsigned 8-bit PCM is passed through byte for
// byte; anything else is mixed to mono (mean of the channels), resampled to 11025 Hz (skipped when
// the file is at 11025 Hz) and quantised as clamp(128 + lrint(x * 128), 0, 255), so 8-bit content
// stored in any encoding comes back as its own bytes. The file is read in blocks of tens of
// thousands of frames into buffers that Open allocates (and the resampler's grow there, on the
// first two blocks): memory does not grow with the length, and Read allocates nothing.
//
// A regular file, standard input ("-") or a FIFO. A stream (a pipe, a FIFO) is read in small
// chunks, so sound that comes in real time is decoded as it comes, and its waits end on a
// request to end the program (platform/stream_termination.h: Open arms that for a stream, and
// the stream then reads as ended after what has arrived). A recording that holds less than its header
// declares (a writer that crashed, a cut stream) is decoded as far as it goes, and Shortfall then
// says how much was missing; one whose declared sizes cannot be right (a WAV past 4 GiB whose
// 32-bit sizes wrapped) is refused, since what it holds cannot be told from what it claims.
#pragma once

#include <memory>
#include <string>

#include "capture/sample_stream.h"
#include "files/io_error.h"

namespace brindlemoor {

class RecordingFile : public SampleStream {
 public:
  // The path that names standard input.
  static constexpr const char* kStandardInput = "-";

  // Null with `error` set when the file cannot be used: a directory or device, empty, not audio
  // libsndfile recognises, no channels, a sample rate outside 44 .. 1,000,000 Hz, sizes that
  // cannot be trusted, or no audio at all (a header alone). The description is one line and
  // does not name the file; the caller adds the name. Reads the first block.
  // `channel` 0 mixes the channels; 1 or more reads that channel alone (refused when the file
  // has fewer).
  static std::unique_ptr<RecordingFile> Open(const std::string& path, IoError& error,
                                             int channel = 0);
  ~RecordingFile() override;

  // Samples at 11025 Hz; 0 only at the end. Allocates nothing.
  std::size_t Read(uint8_t* out, std::size_t count) override;
  // Frames the file holds at its own rate when that is known before reading (0 for a stream),
  // and that rate.
  long long SourceFrames() const;
  int SourceRate() const;
  // Once Read has returned 0: one line on what was missing ("truncated: ..." or a read error),
  // or empty when the recording was whole. Does not name the file.
  std::string Shortfall() const;
  // Once Read has returned 0: for a mix of channels that cancel each other (one in antiphase to
  // another), one line that says so and names the channel to read instead; else empty.
  std::string SilentMix() const;

 private:
  RecordingFile();
  struct Impl;
  std::unique_ptr<Impl> impl;
};

}  // namespace brindlemoor
