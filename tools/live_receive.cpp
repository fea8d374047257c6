#include "live_receive.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "app/receiver_dialog.h"
#include "app/resources.h"
#include "capture/capture_format.h"
#include "capture/portaudio_device.h"
#include "loop_services.h"
#include "receive_diagnostics.h"
#include "signal_timer_loop.h"

namespace brindlemoor {
namespace {

// Silence from the device for this long (no samples at all, not quiet sound) is reported once.
constexpr auto kStallReport = std::chrono::seconds(3);
// After the signal, how long to wait for the block being captured to complete before the last
// tick: one block is 100 ms of sound.
constexpr auto kLastBlockWait = std::chrono::milliseconds(300);
constexpr auto kLastBlockPoll = std::chrono::milliseconds(10);

struct LiveRun {
  ReceiverDialog& dialog;
  PortAudioDevice& device;
  CaptureDumpWriter* dump;
  const char* program;
  uint64_t lastCaptured = 0;
  std::chrono::steady_clock::time_point lastSound = std::chrono::steady_clock::now();
  bool stallReported = false;
  bool announced = false;

  static void OnTimer(void* context, uint32_t id) {
    auto& run = *static_cast<LiveRun*>(context);
    run.dialog.OnTimer(id);
    if (run.dump) run.dump->Flush();
    run.WatchDevice();
  }

  // A device that was unplugged or whose server went away stops calling back; the receiver
  // keeps its timer and simply has nothing to decode, but says so once.
  void WatchDevice() {
    const auto now = std::chrono::steady_clock::now();
    const uint64_t captured = device.SamplesCaptured() + device.SamplesDropped();
    // Sound played before the stream really runs is lost, so scripts wait for this line; it
    // comes with the first tick after the first samples, not when the device opens.
    if (!announced && captured != 0) {
      announced = true;
      std::fprintf(stderr, "%s: capturing\n", program);
    }
    if (captured != lastCaptured) {
      lastCaptured = captured;
      lastSound = now;
      if (stallReported) std::fprintf(stderr, "%s: sound arrives again\n", program);
      stallReported = false;
    } else if (!stallReported && now - lastSound >= kStallReport) {
      stallReported = true;
      std::fprintf(stderr, "%s: no sound has come from the input for %lld s (device gone?)\n",
                   program,
                   static_cast<long long>(
                       std::chrono::duration_cast<std::chrono::seconds>(now - lastSound).count()));
    }
  }

  // Waits, boundedly, until the block being captured when the signal came is complete, so that
  // the last tick sees everything heard up to the signal.
  void WaitForBlockInProgress() {
    const uint32_t filled = dialog.Capture().LoadBlocksFilled();
    const auto deadline = std::chrono::steady_clock::now() + kLastBlockWait;
    while (dialog.Capture().LoadBlocksFilled() == filled &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(kLastBlockPoll);
    }
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

  LiveRun run{dialog, device, dump.get(), program};
  const int signal = loop.Run(&LiveRun::OnTimer, &run);

  // One last tick over everything captured up to the signal. It runs before Stop, because the
  // buffers that Stop's reset hands back are counted like full blocks but hold partial or stale
  // sound, which no tick may read.
  run.WaitForBlockInProgress();
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
