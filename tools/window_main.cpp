// brindlemoor: the receiver window. Without arguments it listens on the default sound input;
// with --input FILE it replays a recording in real time through the same window. What it
// decodes is shown in the window and appended to "receive.txt" (calibrations to "flag.dat") in
// the current directory. SIGINT and SIGTERM close the window as its close button does.
//
// Exit status: 0 when the window was closed, 2 for a usage error, an unusable recording or no
// display. An input that cannot be opened is not an error: the window shows and receives
// nothing, and one line on stderr says why.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/receiver_app.h"
#include "app/receiver_window.h"
#include "app/replay_pump.h"
#include "app/termination_signals.h"
#include "capture/capture_format.h"
#include "capture/portaudio_device.h"
#include "capture/portaudio_session.h"
#include "capture/recording_file.h"
#include "capture/replay_device.h"
#include "receiver/directory_text_output.h"

namespace {

constexpr int kExitUsage = 2;
constexpr const char* kProgram = "brindlemoor";

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "Usage: %s [--device SEL | --input FILE] [Qt options]\n"
               "Shows a window with the text received as sound and appends it to receive.txt\n"
               "(calibrations to flag.dat) in the current directory.\n"
               "\n"
               "  --device SEL  listen on this input (an index or part of a name) instead of\n"
               "                the default input\n"
               "  --input FILE  replay a recording in real time instead of listening\n"
               "  --help        show this help\n"
               "\n"
               "Qt's own options, such as -platform offscreen, are passed on. Exit status: 0 when\n"
               "the window is closed, 2 for a usage error, an unusable recording or no display.\n",
               kProgram);
}

struct Options {
  bool help = false;
  std::optional<std::string> input;
  std::string device;              // empty: the default input
  std::vector<char*> qtArguments;  // argv[0] and everything that is not ours
};

// False after printing the reason for a usage error.
bool ParseArguments(int argc, char** argv, Options& options) {
  options.qtArguments.push_back(argv[0]);
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--input") {
      if (i + 1 == argc) {
        std::fprintf(stderr, "%s: --input needs a file name\n", kProgram);
        return false;
      }
      options.input = argv[++i];
    } else if (argument == "--device") {
      if (i + 1 == argc) {
        std::fprintf(stderr, "%s: --device needs an index or a name\n", kProgram);
        return false;
      }
      options.device = argv[++i];
    } else if (argument.starts_with("--device=")) {
      options.device = std::string(argument.substr(std::strlen("--device=")));
    } else if (argument.starts_with("--input=")) {
      options.input = std::string(argument.substr(std::strlen("--input=")));
    } else if (argument.starts_with("--")) {
      std::fprintf(stderr, "%s: unknown option %s (see --help)\n", kProgram, argv[i]);
      return false;
    } else {
      options.qtArguments.push_back(argv[i]);
    }
  }
  options.qtArguments.push_back(nullptr);
  if (options.input && !options.device.empty()) {
    std::fprintf(stderr, "%s: --device and --input exclude each other\n", kProgram);
    return false;
  }
  return true;
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
  if (!ParseArguments(argc, argv, options)) return kExitUsage;
  if (options.help) {
    PrintUsage(stdout);
    return 0;
  }

  std::unique_ptr<brindlemoor::RecordingFile> recording;
  if (options.input) {
    brindlemoor::IoError error;
    recording = brindlemoor::RecordingFile::Open(*options.input, error);
    if (!recording) {
      std::fprintf(stderr, "%s: %s: %s\n", kProgram, options.input->c_str(),
                   error.description.c_str());
      return kExitUsage;
    }
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
    std::fprintf(stderr, "%s: unexpected argument %s (see --help)\n", kProgram,
                 options.qtArguments[1]);
    return kExitUsage;
  }

  brindlemoor::DirectoryTextOutput files(".");
  std::unique_ptr<brindlemoor::TerminationSignals> terminationSignals;
  const auto watchSignals = [&terminationSignals](brindlemoor::ReceiverWindow& window) {
    terminationSignals =
        std::make_unique<brindlemoor::TerminationSignals>([&window] { window.Terminate(); });
  };
  if (recording) {
    brindlemoor::ReplayDevice device(*recording);
    brindlemoor::ReplayPump pump(device);
    const std::string name = *options.input;
    app.Run(device, files, [&](brindlemoor::ReceiverWindow& window) {
      watchSignals(window);
      if (OpenFailed(window)) {
        std::fprintf(stderr, "%s: cannot replay %s: %s\n", kProgram, name.c_str(),
                     device.ErrorText().c_str());
        return;
      }
      if (!window.Core().Capture().recording) return;  // a message box has said why
      std::fprintf(stderr, "%s: replaying %s\n", kProgram, name.c_str());
      pump.Start([&name] { std::fprintf(stderr, "%s: end of %s\n", kProgram, name.c_str()); });
    });
  } else {
    brindlemoor::PortAudioSession session(brindlemoor::PortAudioSession::Probe::kQuiet);
    brindlemoor::PortAudioDevice device(session,
                                        {.device = options.device, .forceConversion = false});
    app.Run(device, files, [&](brindlemoor::ReceiverWindow& window) {
      watchSignals(window);
      if (OpenFailed(window)) {
        const std::string reason = session.Ok() ? device.ErrorText() : session.ErrorText();
        std::fprintf(stderr, "%s: cannot capture from %s: %s; nothing will be received\n", kProgram,
                     InputLabel(options.device).c_str(), reason.c_str());
      } else if (window.Core().Capture().recording) {
        std::fprintf(stderr, "%s: capturing from \"%s\" at %u Hz\n", kProgram,
                     device.DeviceName().c_str(), brindlemoor::kSampleRate);
      }
    });
  }
  terminationSignals.reset();
  return 0;
}
