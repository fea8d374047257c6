// brindlemoor-receive's live mode on Windows: the receiver on the default wave-in device (the
// wave mapper), ticking every 500 ms on the main thread until Ctrl-C, Ctrl-Break or the
// console's close. The same interface as the POSIX live mode (live_receive.h).
#include <windows.h>
// <mmsystem.h> needs the types of <windows.h>.
#include <mmsystem.h>

#include <cstdio>

#include "capture/capture_format.h"
#include "console_timer_loop.h"
#include "live/winmm_device.h"
#include "live_receive.h"
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
  WinmmWaveInDevice device;

  struct Platform {
    const char* program;

    std::string InputLabel() const { return "the default input"; }
    void Announce() const {
      const std::string name = WinmmWaveInDevice::DefaultInputName();
      brindlemoor::PrintText(stderr, "%s: listening on \"%s\" at %u Hz; Ctrl-C to stop\n", program,
                             name.empty() ? "the wave mapper" : name.c_str(), kSampleRate);
    }
    // The wave-in service reports nothing when its device goes away: the blocks stop coming.
    uint64_t Delivered(const ReceiverDialog& dialog) const {
      return dialog.Capture().LoadBlocksFilled();
    }
    const char* StopName(const char* event) const { return event; }
  };
  Platform platform{program};
  ConsoleTimerLoop loop;
  const int status = RunLiveSession(loop, device, platform, options, files, program);
  ConsoleTimerLoop::Finished();
  return status;
}

int ListSoundDevices(const char* /*program*/) {
  const UINT count = waveInGetNumDevs();
  for (UINT id = 0; id < count; ++id) {
    WAVEINCAPSA caps{};
    if (waveInGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
    std::printf("%u: %s, %u channels%s\n", id, caps.szPname, caps.wChannels,
                id == 0 ? " (the default input, through the wave mapper)" : "");
  }
  if (count == 0) brindlemoor::PrintText(stderr, "no wave-in devices found\n");
  return 0;
}

}  // namespace brindlemoor
