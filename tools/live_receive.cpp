#include "live_receive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "capture/capture_format.h"
#include "capture/portaudio_device.h"
#include "live_session.h"
#include "signal_timer_loop.h"

namespace brindlemoor {
namespace {

std::string DeviceLabel(const std::string& selector) {
  return selector.empty() ? "the default input" : "input device '" + selector + "'";
}

}  // namespace

void PrepareLiveSignals() {
  SignalTimerLoop::BlockTerminationSignals();
  // A reader that went away (`| head -c1`) makes a write to standard output fail, which is
  // reported once; the decoding and the files go on.
  std::signal(SIGPIPE, SIG_IGN);
  // A standard descriptor the program was started without gets a stand-in, so that no file
  // opened later lands on it; writes to the stand-in fail, which is reported like any failure.
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  }
}

int RunLiveReceiver(const LiveReceiveOptions& options, TextOutput& files, const char* program) {
  PortAudioSession session(PortAudioSession::Probe::kQuiet);
  if (!session.Ok()) {
    std::fprintf(stderr, "%s: cannot capture from %s: %s\n", program,
                 DeviceLabel(options.device).c_str(), session.ErrorText().c_str());
    return kLiveExitNoInput;
  }
  PortAudioDevice device(session, {.device = options.device, .forceConversion = false});

  struct Platform {
    const LiveReceiveOptions& options;
    PortAudioDevice& device;
    const char* program;

    std::string InputLabel() const { return DeviceLabel(options.device); }
    void Announce() const {
      std::fprintf(stderr, "%s: listening on \"%s\" at %u Hz", program, device.DeviceName().c_str(),
                   kSampleRate);
      if (device.Converting()) std::fprintf(stderr, " (converted from %g Hz)", device.StreamRate());
      std::fprintf(stderr, "; interrupt to stop\n");
    }
    uint64_t Delivered(const ReceiverDialog&) const {
      return device.SamplesCaptured() + device.SamplesDropped();
    }
    const char* StopName(int signal) const { return strsignal(signal); }
  };
  Platform platform{options, device, program};
  SignalTimerLoop loop;
  return RunLiveSession(loop, device, platform, options, files, program);
}

}  // namespace brindlemoor
