// How brindlemoor-send plays a finished sound: through PortAudio on the default sound output or
// a named one, or on Windows through wave-out on the default output.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "files/io_error.h"

namespace brindlemoor::tools {

class SoundOutput {
 public:
  // Whether Play can choose an output by name (not on Windows: the wave mapper only).
  static const bool kChoosesDevice;

  // Starts the sound library, quietly (its probe's chatter on stderr is hidden, so call this
  // before any other thread writes there). Null with `error` set when it cannot start.
  static std::unique_ptr<SoundOutput> Open(IoError& error);
  ~SoundOutput();

  // Plays mono `samples` (full scale 1.0) at `sampleRate` on `device` (empty: the default
  // output) and returns once they have been played. False with `error` set when the output
  // cannot be opened or stops accepting sound. Blocking; may run on a worker thread.
  bool Play(std::span<const double> samples, int32_t sampleRate, const std::string& device,
            IoError& error) const;

 private:
  SoundOutput();
  struct Impl;
  std::unique_ptr<Impl> impl;
};

}  // namespace brindlemoor::tools
