#include "send_playback.h"

#include "live/portaudio_output.h"
#include "live/portaudio_session.h"

namespace brindlemoor::tools {

const bool SoundOutput::kChoosesDevice = true;

struct SoundOutput::Impl {
  PortAudioSession session{PortAudioSession::Probe::kQuiet};
};

SoundOutput::SoundOutput() : impl(std::make_unique<Impl>()) {}
SoundOutput::~SoundOutput() = default;

std::unique_ptr<SoundOutput> SoundOutput::Open(IoError& error) {
  std::unique_ptr<SoundOutput> output(new SoundOutput());
  if (!output->impl->session.Ok()) {
    error.description = "no sound output: " + output->impl->session.ErrorText();
    return nullptr;
  }
  return output;
}

bool SoundOutput::Play(std::span<const double> samples, int32_t sampleRate,
                       const std::string& device, IoError& error) const {
  return PlaySamples(impl->session, device, samples, static_cast<double>(sampleRate), error);
}

}  // namespace brindlemoor::tools
