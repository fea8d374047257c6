// The live receiver's run, the same on POSIX and Windows around each platform's own device and
// event loop: the dialog on the device with --dump and --trace, ticks until the loop ends, then
// one last tick over everything captured. What differs is asked of `Platform`:
//   std::string InputLabel()                   the input in messages ("the default input")
//   void Announce()                            the "listening on ..." line, once the device runs
//   uint64_t Delivered(const ReceiverDialog&)  a count that grows whenever the device delivers
//   const char* StopName(result of loop.Run)   what ended the loop ("Interrupt", "Ctrl-C")
#pragma once

#include <cstdio>

#include "dialog/receiver_dialog.h"
#include "dialog/resources.h"
#include "input_watch.h"
#include "live_receive.h"
#include "loop_services.h"
#include "receive_diagnostics.h"

namespace brindlemoor {

template <class Loop, class Device, class Platform>
int RunLiveSession(Loop& loop, Device& device, Platform& platform,
                   const LiveReceiveOptions& options, TextOutput& files, const char* program) {
  LiveDump liveDump;
  if (!OpenLiveDump(options.decode.dumpPath, device, program, liveDump))
    return kLiveExitOutputFailed;
  CaptureTap* tap = liveDump.tap.get();
  CaptureDumpWriter* dump = liveDump.writer.get();

  LoopServices<Loop> services(loop, program);
  ReceiverDialog dialog(services, tap ? static_cast<WaveInDevice&>(*tap) : device, files);
  SymbolTracePrinter tracer(stderr, dialog.Calibration());
  ApplyDecodeOptions(options.decode, services, dialog, tracer);

  dialog.OnInitDialog();
  if (!services.TimerRunning()) {
    std::fprintf(stderr, "%s: cannot capture from %s: %s\n", program, platform.InputLabel().c_str(),
                 device.ErrorText().c_str());
    dialog.OnDestroy();
    if (dump) dump->Finish();
    return kLiveExitNoInput;
  }
  platform.Announce();

  struct Run {
    ReceiverDialog& dialog;
    Platform& platform;
    CaptureDumpWriter* dump;
    InputWatch watch;

    static void OnTimer(void* context, uint32_t id) {
      auto& run = *static_cast<Run*>(context);
      run.dialog.OnTimer(id);
      if (run.dump) run.dump->Flush();
      run.watch.Observe(run.platform.Delivered(run.dialog));
    }
  };
  Run run{dialog, platform, dump, InputWatch(program)};
  const auto ended = loop.Run(&Run::OnTimer, &run);

  // One last tick over everything captured up to the stop. It runs before the device stops,
  // because the buffers that its reset hands back are counted like full blocks but hold partial
  // or stale sound, which no tick may read.
  WaitForBlockInProgress(dialog.Capture());
  dialog.OnTimer(kReceiveTimerId);
  dialog.OnDestroy();
  const bool dumped = !dump || dump->Finish();
  std::fprintf(stderr, "%s: stopped by %s\n", program, platform.StopName(ended));
  std::fflush(stdout);
  return dumped && services.TextWritten() ? kLiveExitDone : kLiveExitOutputFailed;
}

}  // namespace brindlemoor
