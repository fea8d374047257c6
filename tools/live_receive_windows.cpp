// brindlemoor-receive's live mode on Windows: the receiver on the default wave-in device (the
// wave mapper), ticking every 500 ms on the main thread until Ctrl-C, Ctrl-Break or the
// console's close. The same interface as the POSIX live mode (live_receive.h).
#include <windows.h>
// <mmsystem.h> needs the types of <windows.h>.
#include <mmsystem.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "app/receiver_dialog.h"
#include "app/resources.h"
#include "capture/capture_format.h"
#include "capture/winmm_device.h"
#include "console_timer_loop.h"
#include "live_receive.h"
#include "loop_services.h"
#include "receive_diagnostics.h"

namespace brindlemoor {
namespace {

// No block from the device for this long is reported once.
constexpr auto kStallReport = std::chrono::seconds(3);
// After Ctrl-C, how long to wait for the block being captured to complete before the last
// tick: one block is 100 ms of sound.
constexpr auto kLastBlockWait = std::chrono::milliseconds(300);
constexpr auto kLastBlockPoll = std::chrono::milliseconds(10);

struct LiveRun {
  ReceiverDialog& dialog;
  CaptureDumpWriter* dump;
  const char* program;
  uint32_t lastFilled = 0;
  std::chrono::steady_clock::time_point lastBlock = std::chrono::steady_clock::now();
  bool stallReported = false;
  bool announced = false;

  static void OnTimer(void* context, uint32_t id) {
    auto& run = *static_cast<LiveRun*>(context);
    run.dialog.OnTimer(id);
    if (run.dump) run.dump->Flush();
    run.WatchDevice();
  }

  // The wave-in service reports nothing when its device goes away: the blocks stop coming.
  void WatchDevice() {
    const auto now = std::chrono::steady_clock::now();
    const uint32_t filled = dialog.Capture().LoadBlocksFilled();
    // Sound played before the device really records is lost, so scripts wait for this line; it
    // comes with the first tick after the first block, not when the device opens.
    if (!announced && filled != 0) {
      announced = true;
      std::fprintf(stderr, "%s: capturing\n", program);
    }
    if (filled != lastFilled) {
      lastFilled = filled;
      lastBlock = now;
      if (stallReported) std::fprintf(stderr, "%s: sound arrives again\n", program);
      stallReported = false;
    } else if (!stallReported && now - lastBlock >= kStallReport) {
      stallReported = true;
      std::fprintf(stderr, "%s: no sound has come from the input for %lld s (device gone?)\n",
                   program,
                   static_cast<long long>(
                       std::chrono::duration_cast<std::chrono::seconds>(now - lastBlock).count()));
    }
  }

  // Waits, boundedly, until the block being captured when Ctrl-C came is complete, so that the
  // last tick sees everything heard up to then.
  void WaitForBlockInProgress() {
    const uint32_t filled = dialog.Capture().LoadBlocksFilled();
    const auto deadline = std::chrono::steady_clock::now() + kLastBlockWait;
    while (dialog.Capture().LoadBlocksFilled() == filled &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(kLastBlockPoll);
    }
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

  std::unique_ptr<CaptureTap> tap;
  std::unique_ptr<CaptureDumpWriter> dump;
  if (!options.dumpPath.empty()) {
    IoError error;
    std::unique_ptr<CaptureDumpFile> file =
        CaptureDumpFile::Create(options.dumpPath, kSampleRate, error);
    if (!file) {
      std::fprintf(stderr, "%s: %s: %s\n", program, options.dumpPath.c_str(),
                   error.description.c_str());
      return kLiveExitNoInput;
    }
    tap = std::make_unique<CaptureTap>(device);
    dump = std::make_unique<CaptureDumpWriter>(*tap, std::move(file), options.dumpPath, program);
  }

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

  LiveRun run{dialog, dump.get(), program};
  const char* ended = loop.Run(&LiveRun::OnTimer, &run);

  // One last tick over everything captured up to Ctrl-C. It runs before Stop, because the
  // buffers that Stop's reset hands back are counted like full blocks but hold partial or no
  // sound, which no tick may read.
  run.WaitForBlockInProgress();
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
