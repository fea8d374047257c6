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
#include "display/cp932_display.h"
#endif
#include "command_line.h"
#include "files/directory_text_output.h"
#include "files/recording_formats.h"
#include "live/live_input.h"
#include "live_receive.h"
#include "option_values.h"
#include "platform/console_text.h"
#include "platform/file_access.h"
#include "platform/program_arguments.h"
#include "platform_help.h"
#include "replay_receive.h"
#include "same_file.h"
#include "shown_name.h"

namespace {

constexpr const char* kProgram = "brindlemoor-receive";
constexpr int kExitUsage = brindlemoor::tools::kExitUsage;
constexpr int kExitOutputFailed = 3;

using brindlemoor::tools::kPlatformHelp;

// The options in the order --help lists them.
constexpr brindlemoor::tools::KnownOption kOptions[] = {
    {.name = "--input", .shortName = 'i', .valueName = "FILE", .help = kPlatformHelp.input},
    {.name = "--channel",
     .valueName = "N",
     .help = "decode channel N (from 1) of the recording alone, not the\n"
             "mix of its channels"},
    {.name = "--device",
     .valueName = "SEL",
     .help = kPlatformHelp.choosesDevices
                 ? "the sound input: an index, or a name or part of one, as\n"
                   "--list-devices prints it (default: the system's default\n"
                   "input)"
                 : ""},
    {.name = "--list-devices", .help = kPlatformHelp.listDevices},
    {.name = "--output-dir",
     .valueName = "DIR",
     .help = "where \"receive.txt\" and \"flag.dat\" are appended"},
    {.name = "--dump",
     .valueName = "FILE.wav",
     .help = "also write every captured sample to FILE.wav (a device or\n"
             "FIFO is written through; a FIFO must have its reader)"},
    {.name = "--robust",
     .help = "the robust framing, for a sender's --room timing in\n"
             "reverberant rooms and for microphones with noise\n"
             "suppression; the default, exact framing is for sound\n"
             "that arrives dry (README: Robustness)"},
    {.name = "--trace",
     .help = "one line per framed symbol on stderr: onset, peak,\n"
             "harmonic levels and thresholds, byte or reason rejected"},
    {.name = "--raw-stdout",
     .help = "write the text to standard output as raw bytes even on a\n"
             "terminal"},
    {.name = "--terminal-code-page",
     .valueName = "932",
     .help = "on a terminal, show the text as the Japanese code page 932\n"
             "shows it (half-width katakana and all), as the window does"},
    {.name = "--help", .shortName = 'h', .help = "show this help"},
    {.name = "--version", .help = "show the version"},
};
constexpr std::size_t kHelpColumn = 21;

void PrintUsage(std::FILE* to) {
  const bool devices = kPlatformHelp.choosesDevices;
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
      "Options:\n",
      kProgram, devices ? "[--device SEL] " : "", kProgram, kProgram,
      devices ? " (or --device)" : "", kPlatformHelp.stopRequests, kPlatformHelp.interrupts);
  std::fputs(brindlemoor::tools::OptionsHelp(kOptions, kHelpColumn).c_str(), to);
  const std::string formats = brindlemoor::WrapAtSpaces(
      "Recordings this build reads: " + brindlemoor::ReadableRecordingFormats() + ".", 80);
  std::fprintf(to,
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
               formats.c_str(), kPlatformHelp.interrupts);
}

// What the command line asks for. How the text is shown is settled in main, which knows whether
// standard output is a terminal.
struct Options {
  std::string input;
  int channel = 0;  // 0: the mix of the recording's channels
  std::string device;
  std::string outputDir;
  brindlemoor::DecodeOptions decode;
  bool rawStdout = false;
  bool codePage932 = false;  // a terminal shows the text as CP932
  bool listDevices = false;
  bool help = false;
  bool version = false;
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
  options.decode.dumpPath = line.Value("--dump");
  if (line.Has("--channel")) {
    int64_t channel = 0;
    if (!brindlemoor::tools::ParseInteger(line.Value("--channel"), 1, 65535, channel))
      return brindlemoor::tools::InvalidValue("--channel", line.Value("--channel"),
                                              "a channel number from 1");
    options.channel = static_cast<int>(channel);
  }
  options.decode.trace = line.Has("--trace");
  options.decode.robust = line.Has("--robust");
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
  const std::string& dumpPath = options.decode.dumpPath;
  if (!options.input.empty()) {
    if (!dumpPath.empty() && SameFile(options.input, dumpPath))
      return ShownName(dumpPath) + ": --dump would overwrite the recording being decoded";
    for (const std::string* path : {&receivePath, &flagPath}) {
      if (SameFile(options.input, *path))
        return ShownName(options.input) + ": the recording is the output file " + ShownName(*path) +
               "; decode a copy, or choose another --output-dir";
    }
  }
  if (!dumpPath.empty()) {
    for (const std::string* path : {&receivePath, &flagPath}) {
      if (SameFile(dumpPath, *path))
        return ShownName(dumpPath) + ": --dump would overwrite " + ShownName(*path);
    }
  }
  return {};
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
  options.decode.showControls = !options.rawStdout && ::isatty(STDOUT_FILENO);
#ifndef _WIN32
  if (options.codePage932) options.decode.display = &Cp932ToDisplay;
#endif
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

  const int status =
      options.input.empty()
          ? RunLiveReceiver({.device = options.device, .decode = options.decode}, output, kProgram)
          : RunReplayReceiver(
                {.input = options.input, .channel = options.channel, .decode = options.decode},
                output, kProgram);
  return status == 0 && failures.any ? kExitOutputFailed : status;
}
