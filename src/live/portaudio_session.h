// Keeps PortAudio initialised for as long as it lives, and finds its devices. PortAudio counts
// Pa_Initialize and Pa_Terminate, so sessions may nest (a tool's and a backend's). Owned by
// whoever opens devices, on the main thread; there is no global instance.
#pragma once

#include <string>
#include <vector>

#include "files/io_error.h"

namespace brindlemoor {

class PortAudioSession {
 public:
  // What happens to the lines that ALSA and JACK print on stderr while PortAudio probes the
  // host's devices. kQuiet sends them to /dev/null by redirecting file descriptor 2 for the
  // duration of the probe, so construct a quiet session before other threads write to stderr.
  enum class Probe { kVerbose, kQuiet };

  explicit PortAudioSession(Probe probe = Probe::kVerbose);
  ~PortAudioSession();
  PortAudioSession(const PortAudioSession&) = delete;
  PortAudioSession& operator=(const PortAudioSession&) = delete;

  bool Ok() const { return ok; }
  // Why initialisation failed; empty when Ok.
  const std::string& ErrorText() const { return error; }

 private:
  bool ok = false;
  std::string error;
};

struct AudioDeviceInfo {
  int index = 0;
  std::string name;
  std::string hostApi;
  int maxInputChannels = 0;
  int maxOutputChannels = 0;
  double defaultSampleRate = 0;
  bool defaultInput = false;
  bool defaultOutput = false;
};

enum class AudioDirection { kInput, kOutput };

// Every device PortAudio knows, in index order; empty when the session is not Ok.
std::vector<AudioDeviceInfo> ListAudioDevices(const PortAudioSession& session);

// Finds a device for `direction`: an empty selector means the default device, a selector of
// digits only a device index, anything else a device whose name equals it or else the first whose
// name contains it (case-insensitive). False with `error` set when there is none.
bool ResolveAudioDevice(const PortAudioSession& session, const std::string& selector,
                        AudioDirection direction, int& index, IoError& error);

// Has PortAudio look for the host's devices anew (a sound server that was restarted, a device
// plugged in), quietly; no stream may be open. Afterwards the devices are found as after start.
void RefreshAudioDevices(const PortAudioSession& session);

// PortAudio's text for `paError`, with the host API's own text for an unanticipated host error.
std::string PortAudioErrorText(int paError);

}  // namespace brindlemoor
