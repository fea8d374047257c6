#include "list_devices.h"

#include <cstdio>
#include <vector>

#include "live/portaudio_session.h"

namespace brindlemoor {
namespace {

constexpr int kExitNoPortAudio = 2;

}  // namespace

int ListSoundDevices(const char* program) {
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
