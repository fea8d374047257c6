// brindlemoor-receive: the receiver without a window. Replays a recording through the receiver
// on a virtual clock, writing "receive.txt" and "flag.dat" as the window would and each tick's
// text to standard output.
//
// Exit status: 0 done; 2 bad usage or an input that cannot be used (nothing is written);
// 3 the recording was decoded but an output file could not be written.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "app/headless_services.h"
#include "app/receiver_dialog.h"
#include "app/replay_run.h"
#include "capture/capture_format.h"
#include "capture/recording_file.h"
#include "capture/replay_device.h"
#include "receiver/directory_text_output.h"

namespace {

constexpr const char* kProgram = "brindlemoor-receive";
constexpr int kExitUsage = 2;
constexpr int kExitOutputFailed = 3;

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "Usage: %s --input FILE [--output-dir DIR]\n"
               "\n"
               "Decodes data sent as sound. Replays the recording FILE (WAV, FLAC, ... at any\n"
               "rate; converted to 11025 Hz, 8-bit mono) through the receiver in virtual time,\n"
               "appends the received text to \"receive.txt\" and calibrations to \"flag.dat\"\n"
               "in DIR (default: the current directory), and writes each half-second's text\n"
               "to standard output as it is decoded.\n"
               "\n"
               "  --input FILE       the recording to decode\n"
               "  --output-dir DIR   where \"receive.txt\" and \"flag.dat\" are appended\n"
               "  --help             show this help\n"
               "\n"
               "Exit status: 0 done; 2 bad usage or unusable input; 3 an output file could not\n"
               "be written.\n",
               kProgram);
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgram, message.c_str(), kProgram);
  return kExitUsage;
}

struct Options {
  std::string input;
  std::string outputDir = ".";
  bool help = false;
};

// Returns an empty string on success, else the problem.
std::string ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::string& into) -> bool {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--input" || arg == "-i") {
      if (!value(options.input)) return "--input needs a file";
    } else if (arg == "--output-dir") {
      if (!value(options.outputDir)) return "--output-dir needs a directory";
    } else {
      return "unknown option '" + std::string(arg) + "'";
    }
  }
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

}  // namespace

int main(int argc, char** argv) {
  using namespace brindlemoor;
  Options options;
  if (const std::string problem = ParseOptions(argc, argv, options); !problem.empty()) {
    return UsageError(problem);
  }
  if (options.help) {
    PrintUsage(stdout);
    return 0;
  }
  if (options.input.empty()) return UsageError("no recording given (--input FILE)");

  struct stat dirInfo {};
  if (::stat(options.outputDir.c_str(), &dirInfo) != 0) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, options.outputDir.c_str(), std::strerror(errno));
    return kExitUsage;
  }
  if (!S_ISDIR(dirInfo.st_mode)) {
    std::fprintf(stderr, "%s: %s: not a directory\n", kProgram, options.outputDir.c_str());
    return kExitUsage;
  }

  IoError error;
  std::unique_ptr<RecordingFile> recording = RecordingFile::Open(options.input, error);
  if (!recording) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, options.input.c_str(),
                 error.description.c_str());
    return kExitUsage;
  }

  OutputFailures failures;
  DirectoryTextOutput output(options.outputDir);
  output.SetFailureReporter(&OutputFailures::Report, &failures);
  ReplayDevice device(*recording);
  HeadlessServices services(stdout, stderr, kProgram);
  ReceiverDialog dialog(services, device, output);
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
  RunReplay(dialog, device, progress.expectedBlocks ? &Progress::Show : nullptr, &progress);
  if (progress.expectedBlocks) std::fprintf(stderr, "\n");
  dialog.OnDestroy();
  return failures.any ? kExitOutputFailed : 0;
}
