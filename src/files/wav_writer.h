// Writes mono PCM WAV files through libsndfile. A file appears only when complete: it is written
// next to its destination (a symbolic link's target) and renamed, so a failure leaves nothing
// behind. A device or FIFO that exists, and "-" (standard output), are written through instead,
// with a header of unknown size; a FIFO without a reader is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "files/io_error.h"

namespace brindlemoor {

// The most mono samples of `bits` (8 or 16) one WAV file holds: its RIFF and data chunk sizes
// are 32-bit, and a longer file's header would wrap, so readers would see a fraction of it.
int64_t MaxWavSamples(int32_t bits);

// A WAV file written in pieces: samples are appended as they are made, and the file appears
// under its name only at Commit. Destroying the writer before a successful Commit (after a
// failure, or when the caller gives up) removes everything it wrote.
class WavFileWriter {
 public:
  // Null with `error` set when `bits` is not 8 or 16, the rate is not positive, the temporary
  // file cannot be created or the node written through cannot be opened.
  static std::unique_ptr<WavFileWriter> Create(const std::string& path, int32_t sampleRate,
                                               int32_t bits, IoError& error);
  ~WavFileWriter();
  WavFileWriter(const WavFileWriter&) = delete;
  WavFileWriter& operator=(const WavFileWriter&) = delete;

  // `samples` in -1..1, clipped beyond. Refused, with nothing written, when the file would hold
  // more than MaxWavSamples. After a failure the writer is finished: only its destruction may
  // follow.
  bool Append(std::span<const double> samples, IoError& error);
  // Finishes the header and moves the file into place, replacing any file of that name.
  bool Commit(IoError& error);

 private:
  WavFileWriter();
  struct Impl;
  std::unique_ptr<Impl> impl;
};

// The whole file at once: `samples` in -1..1 at `sampleRate`; `bits` is 8 (unsigned) or 16
// (signed).
bool WriteWav(const std::string& path, std::span<const double> samples, int32_t sampleRate,
              int32_t bits, IoError& error);

}  // namespace brindlemoor
