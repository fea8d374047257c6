#include "live/portaudio_session.h"

#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace brindlemoor {
namespace {

// Points file descriptor 2 at /dev/null until destroyed.
class StderrSilencer {
 public:
  StderrSilencer() {
    saved = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
  }
  ~StderrSilencer() {
    if (saved < 0) return;
    dup2(saved, STDERR_FILENO);
    close(saved);
  }
  StderrSilencer(const StderrSilencer&) = delete;
  StderrSilencer& operator=(const StderrSilencer&) = delete;

 private:
  int saved = -1;
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool AllDigits(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

int Channels(const AudioDeviceInfo& device, AudioDirection direction) {
  return direction == AudioDirection::kInput ? device.maxInputChannels : device.maxOutputChannels;
}

const char* DirectionName(AudioDirection direction) {
  return direction == AudioDirection::kInput ? "input" : "output";
}

}  // namespace

PortAudioSession::PortAudioSession(Probe probe) {
  PaError result;
  if (probe == Probe::kQuiet) {
    StderrSilencer silencer;
    result = Pa_Initialize();
  } else {
    result = Pa_Initialize();
  }
  ok = result == paNoError;
  if (!ok) error = PortAudioErrorText(result);
}

PortAudioSession::~PortAudioSession() {
  if (ok) Pa_Terminate();
}

void RefreshAudioDevices(const PortAudioSession& session) {
  if (!session.Ok()) return;
  // PortAudio counts initialisations: this pair keeps the count and enumerates the devices again.
  // Should the second call fail, the next refresh tries again.
  StderrSilencer silencer;
  Pa_Terminate();
  Pa_Initialize();
}

std::string PortAudioErrorText(int paError) {
  std::string text = Pa_GetErrorText(paError);
  if (paError == paUnanticipatedHostError) {
    const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
    if (host && host->errorText && host->errorText[0]) text += std::string(": ") + host->errorText;
  }
  return text;
}

std::vector<AudioDeviceInfo> ListAudioDevices(const PortAudioSession& session) {
  std::vector<AudioDeviceInfo> devices;
  if (!session.Ok()) return devices;
  const PaDeviceIndex count = Pa_GetDeviceCount();
  const PaDeviceIndex defaultInput = Pa_GetDefaultInputDevice();
  const PaDeviceIndex defaultOutput = Pa_GetDefaultOutputDevice();
  for (PaDeviceIndex i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (!info) continue;
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    devices.push_back({i, info->name ? info->name : "", api && api->name ? api->name : "",
                       info->maxInputChannels, info->maxOutputChannels, info->defaultSampleRate,
                       i == defaultInput, i == defaultOutput});
  }
  return devices;
}

bool ResolveAudioDevice(const PortAudioSession& session, const std::string& selector,
                        AudioDirection direction, int& index, IoError& error) {
  if (!session.Ok()) {
    error.description = "PortAudio is not available: " + session.ErrorText();
    return false;
  }
  const std::vector<AudioDeviceInfo> devices = ListAudioDevices(session);
  const auto usable = [&](const AudioDeviceInfo& device) {
    return Channels(device, direction) > 0;
  };

  if (selector.empty()) {
    for (const AudioDeviceInfo& device : devices) {
      const bool isDefault =
          direction == AudioDirection::kInput ? device.defaultInput : device.defaultOutput;
      if (isDefault && usable(device)) {
        index = device.index;
        return true;
      }
    }
    error.description = std::string("no default ") + DirectionName(direction) +
                        " device (is a sound server running?)";
    return false;
  }

  if (AllDigits(selector)) {
    for (const AudioDeviceInfo& device : devices) {
      if (std::to_string(device.index) != selector) continue;
      if (!usable(device)) {
        error.description = std::string("device has no ") + DirectionName(direction) + " channels";
        return false;
      }
      index = device.index;
      return true;
    }
    error.description = "no device with this index (see --list-devices)";
    return false;
  }

  const std::string wanted = Lower(selector);
  const AudioDeviceInfo* partial = nullptr;
  for (const AudioDeviceInfo& device : devices) {
    if (!usable(device)) continue;
    // The name alone, or as --list-devices shows it: "default (ALSA)".
    const std::string name = Lower(device.name);
    const std::string listed = Lower(device.name + " (" + device.hostApi + ")");
    if (name == wanted || listed == wanted) {
      index = device.index;
      return true;
    }
    if (!partial && listed.find(wanted) != std::string::npos) partial = &device;
  }
  if (partial) {
    index = partial->index;
    return true;
  }
  error.description = std::string("no ") + DirectionName(direction) +
                      " device whose name contains this (see --list-devices)";
  return false;
}

}  // namespace brindlemoor
