// brindlemoor-receive's live mode on Windows: the receiver on the default wave-in device (the
// wave mapper), ticking every 500 ms on the main thread until Ctrl-C, Ctrl-Break or the
// console's close. The same interface as the POSIX live mode (live_receive.h).
#include <windows.h>
// <mmsystem.h> needs the types of <windows.h>.
#include <mmsystem.h>

#include <cstdio>
#include <memory>

#include "app/receiver_dialog.h"
#include "app/resources.h"
#include "capture/capture_format.h"
#include "capture/winmm_device.h"
#include "console_timer_loop.h"
#include "input_watch.h"
#include "live_receive.h"
#include "loop_services.h"
#include "receive_diagnostics.h"

namespace brindlemoor {
namespace {

struct LiveRun {
  ReceiverDialog& dialog;
  CaptureDumpWriter* dump;
  InputWatch watch;

  static void OnTimer(void* context, uint32_t id) {
    auto& run = *static_cast<LiveRun*>(context);
    run.dialog.OnTimer(id);
    if (run.dump) run.dump->Flush();
    // The wave-in service reports nothing when its device goes away: the blocks stop coming.
    run.watch.Observe(run.dialog.Capture().LoadBlocksFilled());
  }
};

}  // namespace

void PrepareLiveSignals() { ConsoleTimerLoop::CatchConsoleControl(); }

int RunLiveReceiver(const LiveReceiveOptions& options, TextOutput& files, const char* program) {
  if (!options.device.empty()) {
    std::fprintf(stderr, "%s: --device: on Windows the receiver records from the default input\n",
                 program);
    return kLiveExitNoInput;
  }
  WinmmWaveInDevice device;

  LiveDump liveDump;
  if (!OpenLiveDump(options.dumpPath, device, program, liveDump)) return kLiveExitNoInput;
  CaptureTap* tap = liveDump.tap.get();
  CaptureDumpWriter* dump = liveDump.writer.get();

  ConsoleTimerLoop loop;
  LoopServices<ConsoleTimerLoop> services(loop, program);
  ReceiverDialog dialog(services, tap ? static_cast<WaveInDevice&>(*tap) : device, files);
  SymbolTracePrinter tracer(stderr, dialog.Calibration());
  if (options.trace) dialog.SetSymbolObserver(&tracer);

  dialog.OnInitDialog();
  if (!services.TimerRunning()) {
    std::fprintf(stderr, "%s: cannot capture from the default input: %s\n", program,
                 device.ErrorText().c_str());
    dialog.OnDestroy();
    if (dump) dump->Finish();
    return kLiveExitNoInput;
  }
  const std::string name = WinmmWaveInDevice::DefaultInputName();
  std::fprintf(stderr, "%s: listening on \"%s\" at %u Hz; Ctrl-C to stop\n", program,
               name.empty() ? "the wave mapper" : name.c_str(), kSampleRate);

  LiveRun run{dialog, dump, InputWatch(program)};
  const char* ended = loop.Run(&LiveRun::OnTimer, &run);

  // One last tick over everything captured up to Ctrl-C. It runs before Stop, because the
  // buffers that Stop's reset hands back are counted like full blocks but hold partial or no
  // sound, which no tick may read.
  WaitForBlockInProgress(dialog.Capture());
  dialog.OnTimer(kReceiveTimerId);
  dialog.OnDestroy();
  const bool dumped = !dump || dump->Finish();
  std::fprintf(stderr, "%s: stopped by %s\n", program, ended);
  std::fflush(stdout);
  ConsoleTimerLoop::Finished();
  return dumped ? kLiveExitDone : kLiveExitDumpFailed;
}

int ListSoundDevices(const char* /*program*/) {
  const UINT count = waveInGetNumDevs();
  for (UINT id = 0; id < count; ++id) {
    WAVEINCAPSA caps{};
    if (waveInGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
    std::printf("%u: %s, %u channels%s\n", id, caps.szPname, caps.wChannels,
                id == 0 ? " (the default input, through the wave mapper)" : "");
  }
  if (count == 0) std::fprintf(stderr, "no wave-in devices found\n");
  return 0;
}

}  // namespace brindlemoor
