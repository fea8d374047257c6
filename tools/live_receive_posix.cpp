#include "live_receive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "capture/capture_format.h"
#include "live/portaudio_device.h"
#include "live_session.h"
#include "signal_timer_loop.h"

namespace brindlemoor {
namespace {

std::string DeviceLabel(const std::string& selector) {
  return selector.empty() ? "the default input" : "input device '" + selector + "'";
}

// An input that has delivered nothing for this long is reopened, the first time after
// kFirstRetry, then after twice as long each time up to kLongestRetry: a sound server that was
// restarted is found again within seconds, and one that stays away costs a try every few seconds.
constexpr auto kStalled = std::chrono::seconds(3);
constexpr auto kFirstRetry = std::chrono::seconds(1);
constexpr auto kLongestRetry = std::chrono::seconds(8);

// Reopens the device while it delivers nothing, with a growing wait between tries.
class Reconnection {
 public:
  explicit Reconnection(PortAudioDevice& device) : device(device) {}

  // After every tick, with the device's count of samples.
  void Observe(uint64_t delivered) {
    const auto now = std::chrono::steady_clock::now();
    if (delivered != lastDelivered || lastDelivered == 0) {
      lastDelivered = delivered;
      lastSound = now;
      retry = kFirstRetry;
      nextTry = {};
      return;
    }
    if (now - lastSound < kStalled) return;
    if (nextTry == std::chrono::steady_clock::time_point{}) nextTry = now + retry;
    if (now < nextTry) return;
    device.Reopen();
    retry = std::min<std::chrono::steady_clock::duration>(retry * 2, kLongestRetry);
    nextTry = now + retry;
  }
  // The input delivers nothing now, after having delivered.
  bool Gone() const {
    return lastDelivered != 0 && std::chrono::steady_clock::now() - lastSound >= kStalled;
  }

 private:
  PortAudioDevice& device;
  uint64_t lastDelivered = 0;
  std::chrono::steady_clock::time_point lastSound = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration retry = kFirstRetry;
  std::chrono::steady_clock::time_point nextTry{};
};

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
    Reconnection reconnection;

    std::string InputLabel() const { return DeviceLabel(options.device); }
    void Announce() const {
      std::fprintf(stderr, "%s: listening on \"%s\" at %u Hz", program, device.DeviceName().c_str(),
                   kSampleRate);
      if (device.Converting()) std::fprintf(stderr, " (converted from %g Hz)", device.StreamRate());
      std::fprintf(stderr, "; interrupt to stop\n");
    }
    uint64_t Delivered(const ReceiverDialog&) {
      const uint64_t delivered = device.SamplesCaptured() + device.SamplesDropped();
      reconnection.Observe(delivered);
      return delivered;
    }
    const char* StopName(int signal) const { return strsignal(signal); }
  };
  Platform platform{options, device, program, Reconnection(device)};
  SignalTimerLoop loop;
  const int status = RunLiveSession(loop, device, platform, options, files, program);
  if (status == kLiveExitDone && platform.reconnection.Gone()) {
    std::fprintf(stderr, "%s: the input never came back (%s); nothing was heard since\n", program,
                 device.ErrorText().empty() ? "it delivers nothing" : device.ErrorText().c_str());
    return kLiveExitNoInput;
  }
  return status;
}

}  // namespace brindlemoor
