// brindlemoor-receive: the receiver without a window. Listens on a sound input until
// interrupted, or replays a recording through the receiver on a virtual clock, writing
// "receive.txt" and "flag.dat" as the window would and each tick's text to standard output.
//
// Exit status: 0 done (or interrupted while listening); 2 bad usage, an input that cannot be used
// or no sound input (nothing is written); 3 an output file (or the dump) could not be written.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/headless_services.h"
#include "app/receiver_dialog.h"
#include "app/replay_run.h"
#include "app/resources.h"
#include "capture/capture_format.h"
#include "capture/capture_tap.h"
#include "capture/recording_file.h"
#include "capture/replay_device.h"
#include "command_line.h"
#include "live_receive.h"
#include "receive_diagnostics.h"
#include "receiver/directory_text_output.h"

namespace {

constexpr const char* kProgram = "brindlemoor-receive";
constexpr int kExitUsage = brindlemoor::tools::kExitUsage;
constexpr int kExitOutputFailed = 3;

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "Usage: %s [--device SEL] [--output-dir DIR] [--dump FILE.wav] [--trace]\n"
               "       %s [--input] FILE [--output-dir DIR] [--dump FILE.wav] [--trace]\n"
               "       %s --list-devices | --help | --version\n"
               "\n"
               "Decodes data sent as sound. Without --input it listens on the default sound\n"
               "input (or --device) until interrupted (Ctrl-C, SIGTERM); a line containing\n"
               "\"capturing\" on stderr says when it listens. With --input it replays the\n"
               "recording FILE (WAV, FLAC, ... at any rate; converted to 11025 Hz, 8-bit mono)\n"
               "through the receiver in virtual time. Either way it appends the received text to\n"
               "\"receive.txt\" and calibrations to \"flag.dat\" in DIR (default: the current\n"
               "directory), and writes each half-second's text to standard output.\n"
               "\n"
               "  -i, --input FILE   the recording to decode (FILE alone means the same)\n"
               "  --device SEL       the sound input: an index or part of a name from\n"
               "                     --list-devices (default: the system's default input)\n"
               "  --list-devices     list the sound devices and exit\n"
               "  --output-dir DIR   where \"receive.txt\" and \"flag.dat\" are appended\n"
               "  --dump FILE.wav    also write every captured sample to FILE.wav\n"
               "  --trace            one line per framed symbol on stderr: onset, peak,\n"
               "                     harmonic levels and thresholds, byte or reason rejected\n"
               "  -h, --help         show this help\n"
               "  --version          show the version\n"
               "\n"
               "An option's value may also be given as --option=VALUE.\n"
               "\n"
               "Exit status: 0 done or interrupted; 2 bad usage, unusable input or no sound\n"
               "input; 3 an output file or the dump could not be written.\n",
               kProgram, kProgram, kProgram);
}

struct Options {
  std::string input;
  std::string outputDir;
  std::string device;
  std::string dumpPath;
  bool trace = false;
  bool listDevices = false;
  bool help = false;
  bool version = false;
};

constexpr brindlemoor::tools::OptionSpec kOptions[] = {
    {"--input", 'i', "FILE"},
    {"--output-dir", 0, "DIR"},
    {"--device", 0, "SEL"},
    {"--dump", 0, "FILE.wav"},
    {"--trace"},
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
  const std::string none;
  options.input = line.Value("--input", none);
  options.outputDir = line.Value("--output-dir", ".");
  options.device = line.Value("--device", none);
  options.dumpPath = line.Value("--dump", none);
  options.trace = line.Has("--trace");
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
  return {};
}

// Tells about each output file once, however many writes fail.
struct OutputFailures {
  bool receiveReported = false;
  bool flagReported = false;
  bool any = false;

  static void Report(void* context, const char* path, int error) {
    auto* self = static_cast<OutputFailures*>(context);
    self->any = true;
    const bool isReceive = std::strstr(path, "receive.txt") != nullptr;
    bool& reported = isReceive ? self->receiveReported : self->flagReported;
    if (reported) return;
    reported = true;
    std::fprintf(stderr, "%s: cannot write %s: %s (decoding goes on)\n", kProgram, path,
                 std::strerror(error));
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
    std::fprintf(stderr, "\r%s: %3d%%", kProgram, percent);
    std::fflush(stderr);
  }
};

// What happens after every replayed tick: progress on a terminal, and the dump written out.
struct AfterTick {
  Progress* progress;
  brindlemoor::CaptureDumpWriter* dump;

  static void Run(void* context, const brindlemoor::ReplayStats& stats) {
    auto* self = static_cast<AfterTick*>(context);
    Progress::Show(self->progress, stats);
    if (self->dump) self->dump->Flush();
  }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace brindlemoor;
  Options options;
  if (const std::string problem = ParseOptions(argc, argv, options); !problem.empty()) {
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
  if (options.listDevices) return ListSoundDevices(kProgram);
  const bool live = options.input.empty();
  // Before anything can start a thread: SIGINT and SIGTERM then reach the live loop only.
  if (live) PrepareLiveSignals();

  struct stat dirInfo {};
  if (::stat(options.outputDir.c_str(), &dirInfo) != 0) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, options.outputDir.c_str(), std::strerror(errno));
    return kExitUsage;
  }
  if (!S_ISDIR(dirInfo.st_mode)) {
    std::fprintf(stderr, "%s: %s: not a directory\n", kProgram, options.outputDir.c_str());
    return kExitUsage;
  }

  OutputFailures failures;
  DirectoryTextOutput output(options.outputDir);
  output.SetFailureReporter(&OutputFailures::Report, &failures);

  if (live) {
    const int status =
        RunLiveReceiver({options.device, options.dumpPath, options.trace}, output, kProgram);
    return status == kLiveExitDone && failures.any ? kExitOutputFailed : status;
  }

  IoError error;
  std::unique_ptr<RecordingFile> recording = RecordingFile::Open(options.input, error);
  if (!recording) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, options.input.c_str(),
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
      std::fprintf(stderr, "%s: %s: %s\n", kProgram, options.dumpPath.c_str(),
                   error.description.c_str());
      return kExitUsage;
    }
    dump = std::make_unique<CaptureDumpWriter>(tap, std::move(file), options.dumpPath, kProgram);
  }
  HeadlessServices services(stdout, stderr, kProgram);
  ReceiverDialog dialog(services, dump ? static_cast<WaveInDevice&>(tap) : device, output);
  SymbolTracePrinter tracer(stderr, dialog.Calibration());
  if (options.trace) dialog.SetSymbolObserver(&tracer);
  dialog.OnInitDialog();
  if (!services.TimerRunning()) {
    std::fprintf(stderr, "%s: %s: cannot start the replay: %s\n", kProgram, options.input.c_str(),
                 device.ErrorText().c_str());
    dialog.OnDestroy();
    return kExitUsage;
  }

  // Show progress on a terminal for recordings longer than a minute.
  Progress progress;
  const double seconds =
      static_cast<double>(recording->SourceFrames()) / static_cast<double>(recording->SourceRate());
  if (::isatty(STDERR_FILENO) && seconds > 60.0) {
    progress.expectedBlocks = static_cast<uint32_t>(seconds * kSampleRate / kBlockSamples);
  }
  AfterTick afterTick{&progress, dump.get()};
  RunReplay(dialog, device, &AfterTick::Run, &afterTick);
  if (progress.expectedBlocks) std::fprintf(stderr, "\n");
  dialog.OnDestroy();
  const bool dumped = !dump || dump->Finish();
  return failures.any || !dumped ? kExitOutputFailed : 0;
}
