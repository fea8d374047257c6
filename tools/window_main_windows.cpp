// brindlemoor.exe: the receiver window on Windows. Without arguments it listens on the default
// wave-in device (the wave mapper); with --input FILE, or a file alone (one dropped on the
// program), it replays a recording in real time through the same window. What it decodes is
// shown in the window and appended to "receive.txt" (calibrations to "flag.dat") in the current
// directory, in text mode. Enter, Esc and the window's close command end it.
//
// The program has no console of its own, so a usage error or a recording that cannot be opened
// is shown in a message box (and on the console it was started from, if any). Exit status: 0
// when the window was closed, 1 when the window could not be created, 2 for a usage error or an
// unusable recording. A wave-in device that cannot be opened is not an error: the window shows
// the reason in its empty line and receives nothing, and one line on stderr says it too.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "capture/replay_device.h"
#include "command_line.h"
#include "dialog/resources.h"
#include "files/directory_text_output.h"
#include "files/recording_file.h"
#include "input_watch.h"
#include "live/live_input.h"
#include "platform/console_text.h"
#include "platform/program_arguments.h"
#include "win32/receiver_window.h"
#include "win32/replay_pump.h"
#include "win32/text.h"

namespace {

constexpr int kExitNoWindow = 1;
constexpr const char* kProgram = "brindlemoor";

// The options in the order --help lists them.
constexpr brindlemoor::tools::KnownOption kOptions[] = {
    {.name = "--input",
     .valueName = "FILE",
     .help = "replay a recording in real time instead of listening on the\n"
             "default wave-in device (FILE alone, or a file dropped on the\n"
             "program, means the same)"},
    {.name = "--robust",
     .help = "the robust framing, for a sender's --room timing in reverberant\n"
             "rooms and for microphones with noise suppression (the default,\n"
             "exact framing is for dry sound)"},
    {.name = "--help", .shortName = 'h', .help = "show this help"},
    {.name = "--version", .help = "show the version"},
};
constexpr std::size_t kHelpColumn = 16;

std::string Usage() {
  return "Usage: brindlemoor [[--input] FILE] [--robust]\n"
         "Shows a window with the text received as sound and appends it to receive.txt\n"
         "(calibrations to flag.dat) in the current directory.\n"
         "\n" +
         brindlemoor::tools::OptionsHelp(kOptions, kHelpColumn) +
         "\n"
         "An option's value may also be given as --option=VALUE. A usage error or a\n"
         "recording that cannot be opened is shown in a message box.\n"
         "Exit status: 0 when the window is closed, 1 when it cannot be created, 2 for a\n"
         "usage error or an unusable recording.\n";
}

// Tells a person who started the program from the desktop, where no console shows stderr, and
// the console it was started from, if any. Returns `status`.
int ShowProblem(const std::string& text, int status) {
  brindlemoor::PrintText(stderr, "%s: %s\n", kProgram, text.c_str());
  MessageBoxW(nullptr, brindlemoor::Utf8ToWide(text).c_str(),
              brindlemoor::Utf8ToWide(kProgram).c_str(), MB_ICONERROR | MB_OK | MB_SETFOREGROUND);
  return status;
}

// A window program started from a console has no standard streams of its own: borrow the
// console's, so --help and the messages below can be read there.
void AttachParentConsole() {
  if (GetStdHandle(STD_ERROR_HANDLE) != nullptr) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  std::freopen("CONOUT$", "w", stdout);
  std::freopen("CONOUT$", "w", stderr);
}

// True when StartReceiving allocated its buffers but the device did not open: the failure the
// window does not show, reported here on stderr.
bool OpenFailed(brindlemoor::ReceiverDialog& core) {
  return core.Spectrum() != nullptr && core.RecordBuffer() != nullptr && !core.Capture().recording;
}

int RunWindow(brindlemoor::Win32ReceiverWindow& window) {
  if (window.Run() == -1) {
    brindlemoor::PrintText(stderr, "%s: cannot create the window (error %lu)\n", kProgram,
                           window.CreateError());
    return kExitNoWindow;
  }
  return 0;
}

int Replay(const std::string& name, brindlemoor::RecordingFile& recording,
           brindlemoor::TextOutput& files, brindlemoor::Framing framing) {
  brindlemoor::ReplayDevice device(recording);
  brindlemoor::Win32ReplayPump pump(device);
  brindlemoor::Win32ReceiverWindow window(GetModuleHandleW(nullptr), device, files);
  window.Core().SetFraming(framing);
  window.SetStartedHook([&](brindlemoor::Win32ReceiverWindow& w) {
    if (OpenFailed(w.Core())) {
      brindlemoor::PrintText(stderr, "%s: cannot replay %s: %s\n", kProgram, name.c_str(),
                             device.ErrorText().c_str());
      w.ShowInputProblem("Cannot replay " + name + ": " + device.ErrorText());
      return;
    }
    if (!w.Core().Capture().recording) return;  // a message box has said why
    brindlemoor::PrintText(stderr, "%s: replaying %s\n", kProgram, name.c_str());
    pump.Start(w.Window(), [&name] {
      brindlemoor::PrintText(stderr, "%s: end of %s\n", kProgram, name.c_str());
    });
  });
  window.SetTimerHook(
      [&pump](brindlemoor::Win32ReceiverWindow&, uint32_t timerId) { pump.OnTimer(timerId); });
  return RunWindow(window);
}

int Listen(brindlemoor::TextOutput& files, brindlemoor::Framing framing) {
  const std::unique_ptr<brindlemoor::LiveInput> input = brindlemoor::OpenLiveInput("");
  brindlemoor::WaveInDevice& device = input->Device();
  brindlemoor::Win32ReceiverWindow window(GetModuleHandleW(nullptr), device, files);
  window.Core().SetFraming(framing);
  window.SetStartedHook([&device, &input](brindlemoor::Win32ReceiverWindow& w) {
    if (OpenFailed(w.Core())) {
      brindlemoor::PrintText(
          stderr,
          "%s: cannot capture from the default wave-in device: %s; nothing will be "
          "received\n",
          kProgram, device.ErrorText().c_str());
      w.ShowInputProblem("No sound input (the default wave-in device): " + device.ErrorText());
    } else if (w.Core().Capture().recording) {
      const std::string name = input->Name();
      brindlemoor::PrintText(stderr, "%s: listening on the default wave-in device (%s)\n", kProgram,
                             name.empty() ? "no name" : name.c_str());
    }
  });
  // "capturing" once sound arrives (scripts wait for it), and a device that stops delivering.
  brindlemoor::InputWatch watch(kProgram);
  window.SetTimerHook([&watch](brindlemoor::Win32ReceiverWindow& w, uint32_t timerId) {
    if (timerId == brindlemoor::kReceiveTimerId)
      watch.Observe(w.Core().Capture().LoadBlocksFilled());
  });
  return RunWindow(window);
}

}  // namespace

// wWinMain: a window program's entry (linked with -municode); the command line is read wide.
int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
  AttachParentConsole();
  // Messages go out line by line even when stderr is a pipe (a script waits for them).
  std::setvbuf(stderr, nullptr, _IONBF, 0);
  brindlemoor::ProgramArguments arguments(0, nullptr);
  brindlemoor::tools::CommandLine line;
  std::string problem =
      brindlemoor::tools::ParseCommandLine(kOptions, arguments.Count(), arguments.Values(), line);
  // A file alone, as when one is dropped on the program, is the recording to replay.
  if (problem.empty() && !line.positional.empty()) {
    if (line.Has("--input") || line.positional.size() > 1) {
      problem = brindlemoor::tools::UnexpectedArgument(line.positional.back());
    } else {
      line.values["--input"] = line.positional.front();
    }
  }
  if (!problem.empty()) {
    return ShowProblem(problem + "\n\n" + Usage(), brindlemoor::tools::kExitUsage);
  }
  if (line.Has("--help")) {
    std::fputs(Usage().c_str(), stdout);
    return 0;
  }
  if (line.Has("--version")) {
    brindlemoor::tools::PrintVersion(stdout, kProgram);
    return 0;
  }
  std::optional<std::string> input;
  if (line.Has("--input")) input = line.Value("--input");
  const brindlemoor::Framing framing =
      line.Has("--robust") ? brindlemoor::Framing::kRobust : brindlemoor::Framing::kExact;

  brindlemoor::DirectoryTextOutput files(".");
  if (input) {
    brindlemoor::IoError error;
    std::unique_ptr<brindlemoor::RecordingFile> recording =
        brindlemoor::RecordingFile::Open(*input, error);
    if (!recording) {
      return ShowProblem(*input + ": " + error.description, brindlemoor::tools::kExitUsage);
    }
    return Replay(*input, *recording, files, framing);
  }
  return Listen(files, framing);
}
