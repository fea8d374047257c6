// The live input on Linux: a PortAudioDevice in its own PortAudio session.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "live/live_input.h"
#include "live/portaudio_device.h"
#include "live/portaudio_session.h"

namespace brindlemoor {
namespace {

constexpr int kExitNoPortAudio = 2;

class PortAudioInput : public LiveInput {
 public:
  explicit PortAudioInput(const std::string& selector)
      : device(session, {.device = selector, .forceConversion = false}) {}

  WaveInDevice& Device() override { return device; }
  std::string Unavailable() const override {
    return session.Ok() ? std::string() : session.ErrorText();
  }
  std::string Name() const override { return device.DeviceName(); }
  double ConvertedFrom() const override { return device.Converting() ? device.StreamRate() : 0; }
  uint64_t Produced(uint32_t /*blocksFilled*/) const override {
    return device.SamplesCaptured() + device.SamplesDropped();
  }
  void Reopen() override { device.Reopen(); }

 private:
  PortAudioSession session{PortAudioSession::Probe::kQuiet};
  PortAudioDevice device;
};

}  // namespace

std::unique_ptr<LiveInput> OpenPortAudioInput(const std::string& selector) {
  return std::make_unique<PortAudioInput>(selector);
}

int ListPortAudioInputs(const char* program) {
  PortAudioSession session(PortAudioSession::Probe::kQuiet);
  if (!session.Ok()) {
    std::fprintf(stderr, "%s: PortAudio: %s\n", program, session.ErrorText().c_str());
    return kExitNoPortAudio;
  }
  const std::vector<AudioDeviceInfo> devices = ListAudioDevices(session);
  if (devices.empty()) {
    std::fprintf(stderr, "%s: no sound devices found (is a sound server running?)\n", program);
  }
  for (const AudioDeviceInfo& device : devices) {
    std::printf("%d: %s (%s) in %d, out %d, %g Hz%s%s\n", device.index, device.name.c_str(),
                device.hostApi.c_str(), device.maxInputChannels, device.maxOutputChannels,
                device.defaultSampleRate, device.defaultInput ? ", default input" : "",
                device.defaultOutput ? ", default output" : "");
  }
  return 0;
}

}  // namespace brindlemoor
