#include "live_receive.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/receiver_dialog.h"
#include "app/resources.h"
#include "capture/capture_format.h"
#include "capture/portaudio_device.h"
#include "input_watch.h"
#include "loop_services.h"
#include "receive_diagnostics.h"
#include "signal_timer_loop.h"

namespace brindlemoor {
namespace {

struct LiveRun {
  ReceiverDialog& dialog;
  PortAudioDevice& device;
  CaptureDumpWriter* dump;
  InputWatch watch;

  static void OnTimer(void* context, uint32_t id) {
    auto& run = *static_cast<LiveRun*>(context);
    run.dialog.OnTimer(id);
    if (run.dump) run.dump->Flush();
    run.watch.Observe(run.device.SamplesCaptured() + run.device.SamplesDropped());
  }
};

std::string DeviceLabel(const std::string& selector) {
  return selector.empty() ? "the default input" : "input device '" + selector + "'";
}

}  // namespace

void PrepareLiveSignals() { SignalTimerLoop::BlockTerminationSignals(); }

int RunLiveReceiver(const LiveReceiveOptions& options, TextOutput& files, const char* program) {
  PortAudioSession session(PortAudioSession::Probe::kQuiet);
  if (!session.Ok()) {
    std::fprintf(stderr, "%s: cannot capture from %s: %s\n", program,
                 DeviceLabel(options.device).c_str(), session.ErrorText().c_str());
    return kLiveExitNoInput;
  }
  PortAudioDevice device(session, {.device = options.device, .forceConversion = false});

  LiveDump liveDump;
  if (!OpenLiveDump(options.dumpPath, device, program, liveDump)) return kLiveExitDumpFailed;
  CaptureTap* tap = liveDump.tap.get();
  CaptureDumpWriter* dump = liveDump.writer.get();

  SignalTimerLoop loop;
  LoopServices<SignalTimerLoop> services(loop, program);
  services.ShowControlBytes(options.showControls);
  ReceiverDialog dialog(services, tap ? static_cast<WaveInDevice&>(*tap) : device, files);
  SymbolTracePrinter tracer(stderr, dialog.Calibration());
  if (options.trace) dialog.SetSymbolObserver(&tracer);

  dialog.OnInitDialog();
  if (!services.TimerRunning()) {
    std::fprintf(stderr, "%s: cannot capture from %s: %s\n", program,
                 DeviceLabel(options.device).c_str(), device.ErrorText().c_str());
    dialog.OnDestroy();
    if (dump) dump->Finish();
    return kLiveExitNoInput;
  }
  std::fprintf(stderr, "%s: listening on \"%s\" at %u Hz", program, device.DeviceName().c_str(),
               kSampleRate);
  if (device.Converting()) std::fprintf(stderr, " (converted from %g Hz)", device.StreamRate());
  std::fprintf(stderr, "; interrupt to stop\n");

  LiveRun run{dialog, device, dump, InputWatch(program)};
  const int signal = loop.Run(&LiveRun::OnTimer, &run);

  // One last tick over everything captured up to the signal. It runs before Stop, because the
  // buffers that Stop's reset hands back are counted like full blocks but hold partial or stale
  // sound, which no tick may read.
  WaitForBlockInProgress(dialog.Capture());
  dialog.OnTimer(kReceiveTimerId);
  dialog.OnDestroy();
  const bool dumped = !dump || dump->Finish();
  std::fprintf(stderr, "%s: stopped by %s\n", program, strsignal(signal));
  return dumped ? kLiveExitDone : kLiveExitDumpFailed;
}

}  // namespace brindlemoor
