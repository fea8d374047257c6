#include "replay_receive.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "capture/capture_format.h"
#include "capture/capture_tap.h"
#include "capture/replay_device.h"
#include "dialog/replay_run.h"
#include "files/recording_file.h"
#include "platform/console_text.h"
#include "platform/stream_termination.h"
#include "shown_name.h"
#include "termination_poll.h"

namespace brindlemoor {
namespace {

// True when standard output and standard error are the same terminal.
bool OutputSharesErrorTerminal() {
  struct stat out {};
  struct stat err {};
  return ::isatty(STDOUT_FILENO) && ::isatty(STDERR_FILENO) && ::fstat(STDOUT_FILENO, &out) == 0 &&
         ::fstat(STDERR_FILENO, &err) == 0 && out.st_rdev == err.st_rdev;
}

struct Progress {
  const char* program;
  uint32_t expectedBlocks = 0;
  int lastPercent = -1;

  static void Show(void* context, const ReplayStats& stats) {
    auto* self = static_cast<Progress*>(context);
    if (self->expectedBlocks == 0) return;
    int percent = static_cast<int>(100.0 * stats.blocks / self->expectedBlocks);
    if (percent > 100) percent = 100;
    if (percent == self->lastPercent) return;
    self->lastPercent = percent;
    PrintText(stderr, "\r%s: %3d%%", self->program, percent);
    std::fflush(stderr);
  }
};

// What happens after every replayed tick: progress on a terminal, the dump written out, and a
// look for SIGINT or SIGTERM, which end the replay there.
struct AfterTick {
  Progress* progress;
  CaptureDumpWriter* dump;
  const char* stoppedBy = nullptr;  // what ended the replay early

  static bool Run(void* context, const ReplayStats& stats) {
    auto* self = static_cast<AfterTick*>(context);
    Progress::Show(self->progress, stats);
    if (self->dump) self->dump->Flush();
    self->stoppedBy = TakePendingTermination();
    return self->stoppedBy == nullptr;
  }
};

}  // namespace

int RunReplayReceiver(const ReplayReceiveOptions& options, TextOutput& files, const char* program) {
  const std::string inputName = tools::ShownName(options.input);
  const std::string& dumpPath = options.decode.dumpPath;
  IoError error;
  std::unique_ptr<RecordingFile> recording =
      RecordingFile::Open(options.input, error, options.channel);
  if (!recording) {
    if (const char* signal = StreamTerminationSignal()) {  // nothing had come yet
      PrintText(stderr, "%s: stopped by %s before any sound came from %s\n", program, signal,
                inputName.c_str());
      return kReplayExitDone;
    }
    PrintText(stderr, "%s: %s: %s\n", program, inputName.c_str(), error.description.c_str());
    return kReplayExitBadInput;
  }

  ReplayDevice device(*recording);
  CaptureTap tap(device);
  std::unique_ptr<CaptureDumpWriter> dump;
  if (!dumpPath.empty()) {
    std::unique_ptr<CaptureDumpFile> file = CaptureDumpFile::Create(dumpPath, kSampleRate, error);
    if (!file) {
      PrintText(stderr, "%s: %s: %s\n", program, tools::ShownName(dumpPath).c_str(),
                error.description.c_str());
      return kReplayExitOutputFailed;
    }
    dump = std::make_unique<CaptureDumpWriter>(tap, std::move(file), dumpPath, program);
  }
  HeadlessServices services(stdout, stderr, program);
  ReceiverDialog dialog(services, dump ? static_cast<WaveInDevice&>(tap) : device, files);
  SymbolTracePrinter tracer(stderr, dialog.Calibration());
  ApplyDecodeOptions(options.decode, services, dialog, tracer);
  dialog.OnInitDialog();
  if (!services.TimerRunning()) {
    PrintText(stderr, "%s: %s: cannot start the replay: %s\n", program, inputName.c_str(),
              device.ErrorText().c_str());
    dialog.OnDestroy();
    return kReplayExitBadInput;
  }

  // Show progress on a terminal for recordings longer than a minute, unless the text goes to the
  // same terminal: the two would share its lines.
  Progress progress{program};
  const double seconds =
      static_cast<double>(recording->SourceFrames()) / static_cast<double>(recording->SourceRate());
  if (::isatty(STDERR_FILENO) && !OutputSharesErrorTerminal() && seconds > 60.0) {
    progress.expectedBlocks = static_cast<uint32_t>(seconds * kSampleRate / kBlockSamples);
  }
  AfterTick afterTick{&progress, dump.get()};
  const ReplayStats stats = RunReplay(dialog, device, &AfterTick::Run, &afterTick);
  if (progress.expectedBlocks) PrintText(stderr, "\n");
  dialog.OnDestroy();
  // A stream ended by a signal has been decoded up to where the signal ended it.
  if (!afterTick.stoppedBy) afterTick.stoppedBy = StreamTerminationSignal();
  if (afterTick.stoppedBy) {
    const double done = static_cast<double>(stats.blocks) * kBlockSamples / kSampleRate;
    if (seconds > 0.0) {
      PrintText(stderr,
                "%s: stopped by %s after %.1f s of the %.1f s of %s; the text so far is kept\n",
                program, afterTick.stoppedBy, done, seconds, inputName.c_str());
    } else {  // a stream: its length is not known
      PrintText(stderr, "%s: stopped by %s after %.1f s of %s; the text so far is kept\n", program,
                afterTick.stoppedBy, done, inputName.c_str());
    }
  }
  // A recording cut short has been decoded as far as it goes: say what was missing (not when a
  // signal cut it).
  if (const std::string shortfall = recording->Shortfall();
      !afterTick.stoppedBy && !shortfall.empty()) {
    PrintText(stderr, "%s: %s: warning: %s\n", program, inputName.c_str(), shortfall.c_str());
  }
  if (const std::string silentMix = recording->SilentMix(); !silentMix.empty()) {
    PrintText(stderr, "%s: %s: warning: %s\n", program, inputName.c_str(), silentMix.c_str());
  }
  const bool dumped = !dump || dump->Finish();
  return dumped && services.TextWritten() ? kReplayExitDone : kReplayExitOutputFailed;
}

}  // namespace brindlemoor
