// brindlemoor: the receiver window. Without arguments it listens on the default sound input;
// with --input FILE it replays a recording in real time through the same window. What it
// decodes is shown in the window and appended to "receive.txt" (calibrations to "flag.dat") in
// the current directory. SIGINT, SIGTERM and SIGHUP close the window as its close button does,
// and end the wait for a FIFO's writer before the window opens.
//
// Exit status: 0 when the window was closed, 2 for a usage error or no display. An input that
// cannot be opened (a device, or a recording that cannot be read) is not an error: the window
// shows and receives nothing, one line on stderr says why, and the window's empty text line shows
// it greyed.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture/capture_format.h"
#include "capture/replay_device.h"
#include "capture/unavailable_input.h"
#include "command_line.h"
#include "files/directory_text_output.h"
#include "files/recording_file.h"
#include "live/live_input.h"
#include "platform/stream_termination.h"
#include "qt/receiver_app.h"
#include "qt/receiver_window.h"
#include "qt/replay_pump.h"
#include "qt/termination_signals.h"
#include "shown_name.h"

namespace {

constexpr int kExitUsage = 2;
constexpr const char* kProgram = "brindlemoor";

// The options in the order --help lists them.
constexpr brindlemoor::tools::KnownOption kOptions[] = {
    {.name = "--device",
     .valueName = "SEL",
     .help = "listen on this input (an index or part of a name from\n"
             "--list-devices) instead of the default input"},
    {.name = "--input",
     .valueName = "FILE",
     .help = "replay a recording in real time instead of listening"},
    {.name = "--robust",
     .help = "the robust framing, for a sender's --room timing in\n"
             "reverberant rooms and for microphones with noise\n"
             "suppression (the default, exact framing is for sound\n"
             "that arrives dry)"},
    {.name = "--list-devices", .help = "list the sound devices and exit"},
    {.name = "--help", .shortName = 'h', .help = "show this help"},
    {.name = "--version", .help = "show the version"},
};
constexpr std::size_t kHelpColumn = 20;

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "Usage: %s [--device SEL | --input FILE] [--robust] [Qt options]\n"
               "  or:  %s --list-devices | --help | --version\n"
               "\n"
               "Shows a window with the text received as sound and appends it to receive.txt\n"
               "(calibrations to flag.dat) in the current directory.\n"
               "\n"
               "Options:\n",
               kProgram, kProgram);
  std::fputs(brindlemoor::tools::OptionsHelp(kOptions, kHelpColumn).c_str(), out);
  std::fputs(
      "\n"
      "An option's value may also be given as --option=VALUE. Qt's own options, such as\n"
      "-platform offscreen, are passed on. An input that cannot be opened (a device,\n"
      "or a recording that cannot be read) leaves the window empty, with the reason\n"
      "on stderr and greyed in its text line.\n"
      "\n"
      "Exit status:\n"
      "  0  the window was closed (or SIGINT, SIGTERM or SIGHUP closed it), or the\n"
      "     devices were listed\n"
      "  2  a usage error or no display\n",
      out);
}

struct Options {
  bool help = false;
  bool version = false;
  bool listDevices = false;
  bool robust = false;
  std::optional<std::string> input;
  std::string device;                // empty: the default input
  std::vector<std::string> qtWords;  // the arguments that are not ours, for Qt
  std::vector<char*> qtArguments;    // argv[0] and qtWords, as QApplication takes them
};

// Empty on success, else the problem. Single-dash arguments that are not ours, and the words
// after them, are Qt's (-platform offscreen); Qt takes what it knows and the rest is refused.
std::string ParseArguments(int argc, char** argv, Options& options) {
  brindlemoor::tools::CommandLine line;
  if (std::string problem = brindlemoor::tools::ParseCommandLine(
          kOptions, argc, argv, line, brindlemoor::tools::UnknownShort::kKeep);
      !problem.empty()) {
    return problem;
  }
  options.help = line.Has("--help");
  options.version = line.Has("--version");
  options.listDevices = line.Has("--list-devices");
  options.robust = line.Has("--robust");
  if (line.Has("--input")) options.input = line.Value("--input");
  options.device = line.Value("--device");
  if (options.input && line.Has("--device")) return "--device and --input exclude each other";
  options.qtWords = std::move(line.positional);
  options.qtArguments.push_back(argv[0]);
  for (std::string& word : options.qtWords) options.qtArguments.push_back(word.data());
  options.qtArguments.push_back(nullptr);
  return {};
}

// Qt cannot open a window without a display; say so plainly instead of aborting.
bool HasDisplay(const Options& options) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  for (const char* argument : options.qtArguments) {
    if (argument != nullptr && std::string_view(argument) == "-platform") return true;
  }
  return false;
}

// True when StartReceiving allocated its buffers but the device did not open: the failure the
// window does not show, reported here on stderr.
bool OpenFailed(brindlemoor::ReceiverWindow& window) {
  brindlemoor::ReceiverDialog& core = window.Core();
  return core.Spectrum() != nullptr && core.RecordBuffer() != nullptr && !core.Capture().recording;
}

std::string InputLabel(const std::string& selector) {
  return selector.empty() ? "the default input" : "input device '" + selector + "'";
}

}  // namespace

int main(int argc, char** argv) {
  // Before Qt or PortAudio start threads, so that the signals reach only the window's loop.
  brindlemoor::TerminationSignals::Block();
  Options options;
  if (const std::string problem = ParseArguments(argc, argv, options); !problem.empty()) {
    return brindlemoor::tools::UsageError(kProgram, problem);
  }
  if (options.help) {
    PrintUsage(stdout);
    return 0;
  }
  if (options.version) {
    brindlemoor::tools::PrintVersion(stdout, kProgram);
    return 0;
  }
  if (options.listDevices) return brindlemoor::ListLiveInputs(kProgram);

  std::unique_ptr<brindlemoor::RecordingFile> recording;
  std::string unusable;  // why the recording cannot be replayed
  if (options.input) {
    brindlemoor::IoError error;
    recording = brindlemoor::RecordingFile::Open(*options.input, error);
    // The window's own loop takes the signals from here on.
    brindlemoor::StopEndingStreamOnTermination();
    if (const char* signal = brindlemoor::StreamTerminationSignal()) {
      std::fprintf(stderr, "%s: stopped by %s before the window opened\n", kProgram, signal);
      return 0;
    }
    if (!recording) unusable = error.description;
  }
  if (!HasDisplay(options)) {
    std::fprintf(stderr,
                 "%s: no display to open the window on (set DISPLAY, or run under xvfb-run)\n",
                 kProgram);
    return kExitUsage;
  }

  int qtArgc = static_cast<int>(options.qtArguments.size()) - 1;
  brindlemoor::ReceiverApp app(qtArgc, options.qtArguments.data());
  if (qtArgc > 1) {
    return brindlemoor::tools::UsageError(
        kProgram, brindlemoor::tools::UnexpectedArgument(options.qtArguments[1]));
  }

  brindlemoor::DirectoryTextOutput files(".");
  const brindlemoor::Framing framing =
      options.robust ? brindlemoor::Framing::kRobust : brindlemoor::Framing::kExact;
  std::unique_ptr<brindlemoor::TerminationSignals> terminationSignals;
  const auto watchSignals = [&terminationSignals](brindlemoor::ReceiverWindow& window) {
    terminationSignals =
        std::make_unique<brindlemoor::TerminationSignals>([&window] { window.Terminate(); });
  };
  if (options.input && !recording) {
    // Shown as a device that failed to open: the window, with the reason in it.
    brindlemoor::UnavailableInput device(unusable);
    const std::string name = brindlemoor::tools::ShownName(*options.input);
    app.Run(device, files, framing, [&](brindlemoor::ReceiverWindow& window) {
      watchSignals(window);
      std::fprintf(stderr, "%s: %s: %s; nothing will be received\n", kProgram, name.c_str(),
                   unusable.c_str());
      window.ShowInputProblem(QString::fromStdString("Cannot replay " + name + ": " + unusable));
    });
  } else if (recording) {
    brindlemoor::ReplayDevice device(*recording);
    brindlemoor::ReplayPump pump(device);
    const std::string name = *options.input;
    app.Run(device, files, framing, [&](brindlemoor::ReceiverWindow& window) {
      watchSignals(window);
      if (OpenFailed(window)) {
        std::fprintf(stderr, "%s: cannot replay %s: %s\n", kProgram, name.c_str(),
                     device.ErrorText().c_str());
        window.ShowInputProblem(
            QString::fromStdString("Cannot replay " + name + ": " + device.ErrorText()));
        return;
      }
      if (!window.Core().Capture().recording) return;  // a message box has said why
      std::fprintf(stderr, "%s: replaying %s\n", kProgram, name.c_str());
      pump.Start([&name] { std::fprintf(stderr, "%s: end of %s\n", kProgram, name.c_str()); });
    });
  } else {
    const std::unique_ptr<brindlemoor::LiveInput> input =
        brindlemoor::OpenLiveInput(options.device);
    brindlemoor::WaveInDevice& device = input->Device();
    app.Run(device, files, framing, [&](brindlemoor::ReceiverWindow& window) {
      watchSignals(window);
      if (OpenFailed(window)) {
        const std::string unavailable = input->Unavailable();
        const std::string reason = unavailable.empty() ? device.ErrorText() : unavailable;
        std::fprintf(stderr, "%s: cannot capture from %s: %s; nothing will be received\n", kProgram,
                     InputLabel(options.device).c_str(), reason.c_str());
        window.ShowInputProblem(QString::fromStdString(
            "No sound input (" + InputLabel(options.device) + "): " + reason));
      } else if (window.Core().Capture().recording) {
        std::fprintf(stderr, "%s: capturing from \"%s\" at %u Hz\n", kProgram,
                     input->Name().c_str(), brindlemoor::kSampleRate);
      }
    });
  }
  terminationSignals.reset();
  return 0;
}
