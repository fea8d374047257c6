// Playback for builds without a sound library: there is nothing to play on.
#include "send_playback.h"

namespace brindlemoor::tools {

bool PlaybackAvailable() { return false; }

bool PlaySound(std::span<const double>, int32_t, const std::string&, IoError& error) {
  error.description = "playback not available in this build (write a file with -o FILE.wav)";
  return false;
}

}  // namespace brindlemoor::tools
