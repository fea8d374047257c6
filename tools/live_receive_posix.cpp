#include "live_receive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "capture/capture_format.h"
#include "live/live_input.h"
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
  explicit Reconnection(LiveInput& input) : input(input) {}

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
    input.Reopen();
    retry = std::min<std::chrono::steady_clock::duration>(retry * 2, kLongestRetry);
    nextTry = now + retry;
  }
  // The input delivers nothing now, after having delivered.
  bool Gone() const {
    return lastDelivered != 0 && std::chrono::steady_clock::now() - lastSound >= kStalled;
  }

 private:
  LiveInput& input;
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
  const std::unique_ptr<LiveInput> input = OpenLiveInput(options.device);
  if (const std::string unavailable = input->Unavailable(); !unavailable.empty()) {
    std::fprintf(stderr, "%s: cannot capture from %s: %s\n", program,
                 DeviceLabel(options.device).c_str(), unavailable.c_str());
    return kLiveExitNoInput;
  }

  struct Platform {
    const LiveReceiveOptions& options;
    LiveInput& input;
    const char* program;
    Reconnection reconnection;

    std::string InputLabel() const { return DeviceLabel(options.device); }
    void Announce() const {
      std::fprintf(stderr, "%s: listening on \"%s\" at %u Hz", program, input.Name().c_str(),
                   kSampleRate);
      if (input.ConvertedFrom() > 0) {
        std::fprintf(stderr, " (converted from %g Hz)", input.ConvertedFrom());
      }
      std::fprintf(stderr, "; interrupt to stop\n");
    }
    uint64_t Delivered(const ReceiverDialog& dialog) {
      const uint64_t delivered = input.Produced(dialog.Capture().LoadBlocksFilled());
      reconnection.Observe(delivered);
      return delivered;
    }
    const char* StopName(int signal) const { return strsignal(signal); }
  };
  Platform platform{options, *input, program, Reconnection(*input)};
  SignalTimerLoop loop;
  WaveInDevice& device = input->Device();
  const int status = RunLiveSession(loop, device, platform, options, files, program);
  if (status == kLiveExitDone && platform.reconnection.Gone()) {
    std::fprintf(stderr, "%s: the input never came back (%s); nothing was heard since\n", program,
                 device.ErrorText().empty() ? "it delivers nothing" : device.ErrorText().c_str());
    return kLiveExitNoInput;
  }
  return status;
}

}  // namespace brindlemoor
