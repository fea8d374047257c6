// brindlemoor-receive: the receiver without a window. Listens on a sound input until
// interrupted, or replays a recording through the receiver on a virtual clock, writing
// "receive.txt" and "flag.dat" as the window would and each tick's text to standard output.
//
// Exit status: 0 done (or ended by SIGINT, SIGTERM or SIGHUP, in either mode; a recording cut
// short is decoded as far as it goes, with a warning); 2 bad usage, an input that cannot be
// used or no sound input (nothing is written), or a sound input that went away and never came
// back; 3 an output file, the dump or standard output could not be written (decoding goes on
// into the files).

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#ifndef _WIN32
#include "app/cp932_display.h"
#endif
#include "app/headless_services.h"
#include "app/receiver_dialog.h"
#include "app/replay_run.h"
#include "app/resources.h"
#include "capture/capture_format.h"
#include "capture/capture_tap.h"
#include "capture/live_input.h"
#include "capture/recording_file.h"
#include "capture/recording_formats.h"
#include "capture/replay_device.h"
#include "command_line.h"
#include "live_receive.h"
#include "option_values.h"
#include "platform/console_text.h"
#include "platform/file_access.h"
#include "platform/program_arguments.h"
#include "platform/stream_termination.h"
#include "platform_help.h"
#include "receive_diagnostics.h"
#include "receiver/directory_text_output.h"
#include "same_file.h"
#include "shown_name.h"
#include "termination_poll.h"

namespace {

constexpr const char* kProgram = "brindlemoor-receive";
constexpr int kExitUsage = brindlemoor::tools::kExitUsage;
constexpr int kExitOutputFailed = 3;

void PrintUsage(std::FILE* to) {
  const brindlemoor::tools::PlatformHelp& platform = brindlemoor::tools::kPlatformHelp;
  const bool devices = platform.choosesDevices;
  const std::string formats = brindlemoor::WrapAtSpaces(
      "Recordings this build reads: " + brindlemoor::ReadableRecordingFormats() + ".", 80);
  std::fprintf(
      to,
      "Usage: %s %s[--output-dir DIR] [--dump FILE.wav] [--robust] [--trace] "
      "[--raw-stdout]\n"
      "  or:  %s [--input] FILE [--channel N] [--output-dir DIR] [--dump FILE.wav] [--robust] "
      "[--trace] [--raw-stdout]\n"
      "  or:  %s --list-devices | --help | --version\n"
      "\n"
      "Decodes data sent as sound. Without --input it listens on the default sound\n"
      "input%s until interrupted (%s); a line\n"
      "containing \"capturing\" on stderr says when it listens; an input that stops\n"
      "delivering is reopened until it comes back (\"input back\"). With --input it\n"
      "replays the recording FILE (WAV, FLAC, ... at any rate; converted to 11025 Hz,\n"
      "8-bit mono) through the receiver in virtual time. Either way it appends the\n"
      "received text to \"receive.txt\" and calibrations to \"flag.dat\" in DIR\n"
      "(default: the current directory), and writes each half-second's text to\n"
      "standard output. %s ends a replay after the half-second\n"
      "in progress, keeping what was decoded; a stream (standard input, a FIFO) is\n"
      "decoded up to what had arrived, and a FIFO still waiting for its writer ends at\n"
      "once.\n"
      "\n"
      "Options:\n"
      "  -i, --input FILE   the recording to decode (FILE alone means the same; - for\n"
      "                     standard input; %s)\n"
      "  --channel N        decode channel N (from 1) of the recording alone, not the\n"
      "                     mix of its channels\n"
      "%s"
      "%s"
      "  --output-dir DIR   where \"receive.txt\" and \"flag.dat\" are appended\n"
      "  --dump FILE.wav    also write every captured sample to FILE.wav (a device or\n"
      "                     FIFO is written through; a FIFO must have its reader)\n"
      "  --robust           the robust framing, for a sender's --room timing in\n"
      "                     reverberant rooms and for microphones with noise\n"
      "                     suppression; the default, exact framing is for sound\n"
      "                     that arrives dry (README: Robustness)\n"
      "  --trace            one line per framed symbol on stderr: onset, peak,\n"
      "                     harmonic levels and thresholds, byte or reason rejected\n"
      "  --raw-stdout       write the text to standard output as raw bytes even on a\n"
      "                     terminal\n"
      "  --terminal-code-page 932\n"
      "                     on a terminal, show the text as the Japanese code page 932\n"
      "                     shows it (half-width katakana and all), as the window does\n"
      "  -h, --help         show this help\n"
      "  --version          show the version\n"
      "\n"
      "On a terminal, control bytes in the text other than line feed and tab are shown\n"
      "in caret notation (ESC as ^[, DEL as ^?), and so are bytes 0x80 to 0x9F that are\n"
      "not part of valid UTF-8 (0x9B as M-^[), so that received bytes cannot act on the\n"
      "terminal; to a pipe or a file, and always in \"receive.txt\", they are written\n"
      "raw. Control bytes in file names are shown as \\xHH in messages. A recording\n"
      "damaged inside is decoded past the damage, with one warning of where it was. A\n"
      "long replay shows its progress on standard error when that is a terminal and\n"
      "the text goes elsewhere. \"receive.txt\" or \"flag.dat\" may be a FIFO: it is\n"
      "written while it has a reader, and a write that would wait for one is skipped\n"
      "and reported, so decoding never stalls. An option's value may also be given as\n"
      "--option=VALUE.\n"
      "\n"
      "%s"
      "\n"
      "Exit status:\n"
      "  0  done, or ended by %s\n"
      "  2  bad usage, an unusable input or no sound input (nothing is written), or\n"
      "     a sound input that went away and never came back\n"
      "  3  an output file, the dump or standard output could not be written (said\n"
      "     once; decoding goes on into the files)\n",
      kProgram, devices ? "[--device SEL] " : "", kProgram, kProgram,
      devices ? " (or --device)" : "", platform.stopRequests, platform.interrupts, platform.streams,
      devices ? "  --device SEL       the sound input: an index, or a name or part of one, as\n"
                "                     --list-devices prints it (default: the system's default\n"
                "                     input)\n"
              : "",
      platform.listDevices, formats.c_str(), platform.interrupts);
}

struct Options {
  std::string input;
  std::string outputDir;
  std::string device;
  std::string dumpPath;
  int channel = 0;  // 0: the mix of the recording's channels
  bool trace = false;
  bool robust = false;
  bool rawStdout = false;
  bool codePage932 = false;  // a terminal shows the text as CP932
  bool listDevices = false;
  bool help = false;
  bool version = false;
};

constexpr brindlemoor::tools::KnownOption kOptions[] = {
    {"--input", 'i', "FILE"},
    {"--output-dir", 0, "DIR"},
    {"--device", 0, "SEL"},
    {"--dump", 0, "FILE.wav"},
    {"--channel", 0, "N"},
    {"--trace"},
    {"--robust"},
    {"--raw-stdout"},
    {"--terminal-code-page", 0, "932"},
    {"--list-devices"},
    {"--help", 'h'},
    {"--version"},
};

// Returns an empty string on success, else the problem. A recording named without --input is
// taken as --input.
std::string ParseOptions(int argc, char** argv, Options& options) {
  brindlemoor::tools::CommandLine line;
  if (std::string problem = brindlemoor::tools::ParseCommandLine(kOptions, argc, argv, line);
      !problem.empty()) {
    return problem;
  }
  options.input = line.Value("--input");
  options.outputDir = line.Value("--output-dir", ".");
  options.device = line.Value("--device");
  options.dumpPath = line.Value("--dump");
  if (line.Has("--channel")) {
    int64_t channel = 0;
    if (!brindlemoor::tools::ParseInteger(line.Value("--channel"), 1, 65535, channel))
      return brindlemoor::tools::InvalidValue("--channel", line.Value("--channel"),
                                              "a channel number from 1");
    options.channel = static_cast<int>(channel);
  }
  options.trace = line.Has("--trace");
  options.robust = line.Has("--robust");
  options.rawStdout = line.Has("--raw-stdout");
  if (line.Has("--terminal-code-page")) {
    if (line.Value("--terminal-code-page") != "932")
      return brindlemoor::tools::InvalidValue("--terminal-code-page",
                                              line.Value("--terminal-code-page"), "932");
#ifdef _WIN32
    return "--terminal-code-page is for Linux terminals; here, set the console's (chcp 932)";
#endif
    options.codePage932 = true;
  }
  options.listDevices = line.Has("--list-devices");
  options.help = line.Has("--help");
  options.version = line.Has("--version");
  using brindlemoor::tools::UnexpectedArgument;
  if (line.positional.size() > 1) return UnexpectedArgument(line.positional[1]);
  if (line.positional.size() == 1) {
    if (line.Has("--input")) {
      return UnexpectedArgument(line.positional[0]) + " (the recording is '" + options.input + "')";
    }
    options.input = line.positional[0];
  }
  if (!options.input.empty() && line.Has("--device"))
    return "--device is for listening, not --input";
  if (options.input.empty() && line.Has("--channel"))
    return "--channel is for a recording (--input)";
  return {};
}

// Empty when no file the run writes is the recording it reads or another of its outputs, else the
// problem. Names can differ for one file (links, "./a.wav"), so the files themselves are compared.
std::string OutputOverInput(const Options& options,
                            const brindlemoor::DirectoryTextOutput& output) {
  using brindlemoor::OutputFile;
  using brindlemoor::tools::SameFile;
  using brindlemoor::tools::ShownName;
  const std::string& receivePath = output.PathOf(OutputFile::kReceiveText);
  const std::string& flagPath = output.PathOf(OutputFile::kFlagData);
  if (!options.input.empty()) {
    if (!options.dumpPath.empty() && SameFile(options.input, options.dumpPath))
      return ShownName(options.dumpPath) + ": --dump would overwrite the recording being decoded";
    for (const std::string* path : {&receivePath, &flagPath}) {
      if (SameFile(options.input, *path))
        return ShownName(options.input) + ": the recording is the output file " + ShownName(*path) +
               "; decode a copy, or choose another --output-dir";
    }
  }
  if (!options.dumpPath.empty()) {
    for (const std::string* path : {&receivePath, &flagPath}) {
      if (SameFile(options.dumpPath, *path))
        return ShownName(options.dumpPath) + ": --dump would overwrite " + ShownName(*path);
    }
  }
  return {};
}

// True when standard output and standard error are the same terminal.
bool OutputSharesErrorTerminal() {
  struct stat out {};
  struct stat err {};
  return ::isatty(STDOUT_FILENO) && ::isatty(STDERR_FILENO) && ::fstat(STDOUT_FILENO, &out) == 0 &&
         ::fstat(STDERR_FILENO, &err) == 0 && out.st_rdev == err.st_rdev;
}

// Tells about each output file once, however many writes fail.
struct OutputFailures {
  bool receiveReported = false;
  bool flagReported = false;
  bool any = false;

  static void Report(void* context, brindlemoor::OutputFile file, const char* path, int error) {
    auto* self = static_cast<OutputFailures*>(context);
    self->any = true;
    const bool isReceive = file == brindlemoor::OutputFile::kReceiveText;
    bool& reported = isReceive ? self->receiveReported : self->flagReported;
    if (reported) return;
    reported = true;
    // A FIFO without a reader is skipped rather than waited for: decoding never stalls on it.
    const char* reason = error == ENXIO ? "a FIFO with no reader" : std::strerror(error);
    brindlemoor::PrintText(stderr, "%s: cannot write %s: %s (decoding goes on)\n", kProgram,
                           brindlemoor::tools::ShownName(path).c_str(), reason);
  }
};

struct Progress {
  uint32_t expectedBlocks = 0;
  int lastPercent = -1;

  static void Show(void* context, const brindlemoor::ReplayStats& stats) {
    auto* self = static_cast<Progress*>(context);
    if (self->expectedBlocks == 0) return;
    int percent = static_cast<int>(100.0 * stats.blocks / self->expectedBlocks);
    if (percent > 100) percent = 100;
    if (percent == self->lastPercent) return;
    self->lastPercent = percent;
    brindlemoor::PrintText(stderr, "\r%s: %3d%%", kProgram, percent);
    std::fflush(stderr);
  }
};

// What happens after every replayed tick: progress on a terminal, the dump written out, and a
// look for SIGINT or SIGTERM, which end the replay there.
struct AfterTick {
  Progress* progress;
  brindlemoor::CaptureDumpWriter* dump;
  const char* stoppedBy = nullptr;  // what ended the replay early

  static bool Run(void* context, const brindlemoor::ReplayStats& stats) {
    auto* self = static_cast<AfterTick*>(context);
    Progress::Show(self->progress, stats);
    if (self->dump) self->dump->Flush();
    self->stoppedBy = brindlemoor::TakePendingTermination();
    return self->stoppedBy == nullptr;
  }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace brindlemoor;
  // First of all, before any library can start a thread: SIGINT and SIGTERM then wait for the
  // live loop or the replay to take them, however early they come.
  PrepareLiveSignals();
  ProgramArguments arguments(argc, argv);
  Options options;
  if (const std::string problem = ParseOptions(arguments.Count(), arguments.Values(), options);
      !problem.empty()) {
    return tools::UsageError(kProgram, problem);
  }
  if (options.help) {
    PrintUsage(stdout);
    return 0;
  }
  if (options.version) {
    tools::PrintVersion(stdout, kProgram);
    return 0;
  }
  if (options.listDevices) return ListLiveInputs(kProgram);
  const bool live = options.input.empty();
  const bool showControls = !options.rawStdout && ::isatty(STDOUT_FILENO);
  HeadlessServices::Display display = nullptr;
#ifndef _WIN32
  if (options.codePage932) display = &Cp932ToDisplay;
#endif
  const std::string inputName = tools::ShownName(options.input);
  const std::string outputDirName = tools::ShownName(options.outputDir);

  struct stat dirInfo {};
  if (StatPath(options.outputDir.c_str(), &dirInfo) != 0) {
    brindlemoor::PrintText(stderr, "%s: %s: %s\n", kProgram, outputDirName.c_str(),
                           std::strerror(errno));
    return kExitUsage;
  }
  if (!S_ISDIR(dirInfo.st_mode)) {
    brindlemoor::PrintText(stderr, "%s: %s: not a directory\n", kProgram, outputDirName.c_str());
    return kExitUsage;
  }

  OutputFailures failures;
  DirectoryTextOutput output(options.outputDir);
  output.SetFailureReporter(&OutputFailures::Report, &failures);
  if (const std::string problem = OutputOverInput(options, output); !problem.empty()) {
    brindlemoor::PrintText(stderr, "%s: %s\n", kProgram, problem.c_str());
    return kExitUsage;
  }

  if (live) {
    const int status = RunLiveReceiver(
        {options.device, options.dumpPath, options.trace, options.robust, showControls, display},
        output, kProgram);
    return status == kLiveExitDone && failures.any ? kExitOutputFailed : status;
  }

  IoError error;
  std::unique_ptr<RecordingFile> recording =
      RecordingFile::Open(options.input, error, options.channel);
  if (!recording) {
    if (const char* signal = StreamTerminationSignal()) {  // nothing had come yet
      brindlemoor::PrintText(stderr, "%s: stopped by %s before any sound came from %s\n", kProgram,
                             signal, inputName.c_str());
      return 0;
    }
    brindlemoor::PrintText(stderr, "%s: %s: %s\n", kProgram, inputName.c_str(),
                           error.description.c_str());
    return kExitUsage;
  }

  ReplayDevice device(*recording);
  CaptureTap tap(device);
  std::unique_ptr<CaptureDumpWriter> dump;
  if (!options.dumpPath.empty()) {
    std::unique_ptr<CaptureDumpFile> file =
        CaptureDumpFile::Create(options.dumpPath, kSampleRate, error);
    if (!file) {
      brindlemoor::PrintText(stderr, "%s: %s: %s\n", kProgram,
                             tools::ShownName(options.dumpPath).c_str(), error.description.c_str());
      return kExitOutputFailed;
    }
    dump = std::make_unique<CaptureDumpWriter>(tap, std::move(file), options.dumpPath, kProgram);
  }
  HeadlessServices services(stdout, stderr, kProgram);
  services.ShowControlBytes(showControls);
  services.ShowThrough(display);
  ReceiverDialog dialog(services, dump ? static_cast<WaveInDevice&>(tap) : device, output);
  if (options.robust) dialog.SetFraming(Framing::kRobust);
  SymbolTracePrinter tracer(stderr, dialog.Calibration());
  if (options.trace) dialog.SetSymbolObserver(&tracer);
  dialog.OnInitDialog();
  if (!services.TimerRunning()) {
    brindlemoor::PrintText(stderr, "%s: %s: cannot start the replay: %s\n", kProgram,
                           inputName.c_str(), device.ErrorText().c_str());
    dialog.OnDestroy();
    return kExitUsage;
  }

  // Show progress on a terminal for recordings longer than a minute, unless the text goes to the
  // same terminal: the two would share its lines.
  Progress progress;
  const double seconds =
      static_cast<double>(recording->SourceFrames()) / static_cast<double>(recording->SourceRate());
  if (::isatty(STDERR_FILENO) && !OutputSharesErrorTerminal() && seconds > 60.0) {
    progress.expectedBlocks = static_cast<uint32_t>(seconds * kSampleRate / kBlockSamples);
  }
  AfterTick afterTick{&progress, dump.get()};
  const ReplayStats stats = RunReplay(dialog, device, &AfterTick::Run, &afterTick);
  if (progress.expectedBlocks) brindlemoor::PrintText(stderr, "\n");
  dialog.OnDestroy();
  // A stream ended by a signal has been decoded up to where the signal ended it.
  if (!afterTick.stoppedBy) afterTick.stoppedBy = StreamTerminationSignal();
  if (afterTick.stoppedBy) {
    const double done = static_cast<double>(stats.blocks) * kBlockSamples / kSampleRate;
    if (seconds > 0.0) {
      brindlemoor::PrintText(
          stderr, "%s: stopped by %s after %.1f s of the %.1f s of %s; the text so far is kept\n",
          kProgram, afterTick.stoppedBy, done, seconds, inputName.c_str());
    } else {  // a stream: its length is not known
      brindlemoor::PrintText(stderr,
                             "%s: stopped by %s after %.1f s of %s; the text so far is kept\n",
                             kProgram, afterTick.stoppedBy, done, inputName.c_str());
    }
  }
  // A recording cut short has been decoded as far as it goes: say what was missing (not when a
  // signal cut it).
  if (const std::string shortfall = recording->Shortfall();
      !afterTick.stoppedBy && !shortfall.empty()) {
    brindlemoor::PrintText(stderr, "%s: %s: warning: %s\n", kProgram, inputName.c_str(),
                           shortfall.c_str());
  }
  if (const std::string silentMix = recording->SilentMix(); !silentMix.empty()) {
    brindlemoor::PrintText(stderr, "%s: %s: warning: %s\n", kProgram, inputName.c_str(),
                           silentMix.c_str());
  }
  const bool dumped = !dump || dump->Finish();
  return failures.any || !dumped || !services.TextWritten() ? kExitOutputFailed : 0;
}
