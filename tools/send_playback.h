// How brindlemoor-send plays a finished sound on a sound output. Builds with PortAudio play it
// on the default output (or a named one); builds without it refuse with a clear error.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "capture/io_error.h"

namespace brindlemoor::tools {

// False when this build cannot play sound at all; PlaySound then always fails.
bool PlaybackAvailable();

// Plays mono `samples` (full scale 1.0) at `sampleRate` on `device` (empty: the default output)
// and returns once they have been played. False with `error` set when no output can be opened or
// the device stops accepting sound. Blocking; safe to call from a worker thread.
bool PlaySound(std::span<const double> samples, int32_t sampleRate, const std::string& device,
               IoError& error);

}  // namespace brindlemoor::tools
