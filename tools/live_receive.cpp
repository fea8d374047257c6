#include "live_receive.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

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
  if (!OpenLiveDump(options.dumpPath, device, program, liveDump)) return kLiveExitNoInput;
  CaptureTap* tap = liveDump.tap.get();
  CaptureDumpWriter* dump = liveDump.writer.get();

  SignalTimerLoop loop;
  LoopServices<SignalTimerLoop> services(loop, program);
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

int ListSoundDevices(const char* program) {
  PortAudioSession session(PortAudioSession::Probe::kQuiet);
  if (!session.Ok()) {
    std::fprintf(stderr, "%s: PortAudio: %s\n", program, session.ErrorText().c_str());
    return kLiveExitNoInput;
  }
  const std::vector<AudioDeviceInfo> devices = ListAudioDevices(session);
  if (devices.empty()) {
    std::fprintf(stderr, "%s: no sound devices found (is a sound server running?)\n", program);
  }
  for (const AudioDeviceInfo& device : devices) {
    std::printf("%d: %s (%s) in %d, out %d, %g Hz%s%s\n", device.index, device.name.c_str(),
                device.hostApi.c_str(), device.maxInputChannels, device.maxOutputChannels,
                device.defaultSampleRate, device.defaultInput ? ", default input" : "",
                device.defaultOutput ? ", default output" : "");
  }
  return 0;
}

}  // namespace brindlemoor
