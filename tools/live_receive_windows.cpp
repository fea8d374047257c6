// brindlemoor-receive's live mode on Windows: the receiver on the default wave-in device (the
// wave mapper), ticking every 500 ms on the main thread until Ctrl-C, Ctrl-Break or the
// console's close. The same interface as the POSIX live mode (live_receive.h).
#include "live_receive.h"

#include <memory>
#include <string>

#include "capture/capture_format.h"
#include "console_timer_loop.h"
#include "live/live_input.h"
#include "live_session.h"
#include "platform/console_text.h"

namespace brindlemoor {
void PrepareLiveSignals() { ConsoleTimerLoop::CatchConsoleControl(); }

int RunLiveReceiver(const LiveReceiveOptions& options, TextOutput& files, const char* program) {
  if (!options.device.empty()) {
    brindlemoor::PrintText(
        stderr, "%s: --device: on Windows the receiver records from the default input\n", program);
    return kLiveExitNoInput;
  }
  const std::unique_ptr<LiveInput> input = OpenLiveInput(options.device);

  struct Platform {
    const char* program;
    const LiveInput& input;

    std::string InputLabel() const { return "the default input"; }
    void Announce() const {
      const std::string name = input.Name();
      brindlemoor::PrintText(stderr, "%s: listening on \"%s\" at %u Hz; Ctrl-C to stop\n", program,
                             name.empty() ? "the wave mapper" : name.c_str(), kSampleRate);
    }
    // The wave-in service reports nothing when its device goes away: the blocks stop coming.
    uint64_t Delivered(const ReceiverDialog& dialog) const {
      return input.Produced(dialog.Capture().LoadBlocksFilled());
    }
    const char* StopName(const char* event) const { return event; }
  };
  Platform platform{program, *input};
  ConsoleTimerLoop loop;
  const int status = RunLiveSession(loop, input->Device(), platform, options, files, program);
  ConsoleTimerLoop::Finished();
  return status;
}

}  // namespace brindlemoor
