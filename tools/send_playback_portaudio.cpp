// Playback through PortAudio, with the output that live capture's sound library provides.
#include "capture/portaudio_output.h"
#include "capture/portaudio_session.h"
#include "send_playback.h"

namespace brindlemoor::tools {

bool PlaybackAvailable() { return true; }

bool PlaySound(std::span<const double> samples, int32_t sampleRate, const std::string& device,
               IoError& error) {
  const PortAudioSession session(PortAudioSession::Probe::kQuiet);
  if (!session.Ok()) {
    error.description = "no sound output: " + session.ErrorText();
    return false;
  }
  return PlaySamples(session, device, samples, static_cast<double>(sampleRate), error);
}

}  // namespace brindlemoor::tools
