// brindlemoor.exe: the receiver window on Windows. Without arguments it listens on the default
// wave-in device (the wave mapper); with --input FILE it replays a recording in real time
// through the same window. What it decodes is shown in the window and appended to
// "receive.txt" (calibrations to "flag.dat") in the current directory, in text mode. Enter, Esc
// and the window's close command end it.
//
// Exit status: 0 when the window was closed, 1 when the window could not be created, 2 for a
// usage error or an unusable recording. An input that cannot be opened is not an error: the
// window shows and receives nothing, and one line on stderr says why.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/resources.h"
#include "app/win32_receiver_window.h"
#include "app/win32_replay_pump.h"
#include "capture/recording_file.h"
#include "capture/replay_device.h"
#include "capture/winmm_device.h"
#include "command_line.h"
#include "input_watch.h"
#include "receiver/directory_text_output.h"

namespace {

constexpr int kExitNoWindow = 1;
constexpr const char* kProgram = "brindlemoor";

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "Usage: %s [--input FILE] [--robust]\n"
               "Shows a window with the text received as sound and appends it to receive.txt\n"
               "(calibrations to flag.dat) in the current directory.\n"
               "\n"
               "  --input FILE  replay a recording in real time instead of listening on the\n"
               "                default wave-in device\n"
               "  --robust      the robust framing, for reverberant rooms and microphones with\n"
               "                noise suppression (the default, exact framing is for dry sound)\n"
               "  -h, --help    show this help\n"
               "  --version     show the version\n"
               "\n"
               "An option's value may also be given as --option=VALUE.\n"
               "Exit status: 0 when the window is closed, 1 when it cannot be created, 2 for a\n"
               "usage error or an unusable recording.\n",
               kProgram);
}

constexpr brindlemoor::tools::KnownOption kOptions[] = {
    {"--input", 0, "FILE"}, {"--robust"}, {"--help", 'h'}, {"--version"}};

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
    std::fprintf(stderr, "%s: cannot create the window (error %lu)\n", kProgram,
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
      std::fprintf(stderr, "%s: cannot replay %s: %s\n", kProgram, name.c_str(),
                   device.ErrorText().c_str());
      return;
    }
    if (!w.Core().Capture().recording) return;  // a message box has said why
    std::fprintf(stderr, "%s: replaying %s\n", kProgram, name.c_str());
    pump.Start(w.Window(),
               [&name] { std::fprintf(stderr, "%s: end of %s\n", kProgram, name.c_str()); });
  });
  window.SetTimerHook(
      [&pump](brindlemoor::Win32ReceiverWindow&, uint32_t timerId) { pump.OnTimer(timerId); });
  return RunWindow(window);
}

int Listen(brindlemoor::TextOutput& files, brindlemoor::Framing framing) {
  brindlemoor::WinmmWaveInDevice device;
  brindlemoor::Win32ReceiverWindow window(GetModuleHandleW(nullptr), device, files);
  window.Core().SetFraming(framing);
  window.SetStartedHook([&device](brindlemoor::Win32ReceiverWindow& w) {
    if (OpenFailed(w.Core())) {
      std::fprintf(stderr,
                   "%s: cannot capture from the default wave-in device: %s; nothing will be "
                   "received\n",
                   kProgram, device.ErrorText().c_str());
    } else if (w.Core().Capture().recording) {
      const std::string name = brindlemoor::WinmmWaveInDevice::DefaultInputName();
      std::fprintf(stderr, "%s: listening on the default wave-in device (%s)\n", kProgram,
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

int main(int argc, char** argv) {
  AttachParentConsole();
  // Messages go out line by line even when stderr is a pipe (a script waits for them).
  std::setvbuf(stderr, nullptr, _IONBF, 0);
  brindlemoor::tools::CommandLine line;
  std::string problem = brindlemoor::tools::ParseCommandLine(kOptions, argc, argv, line);
  if (problem.empty() && !line.positional.empty()) {
    problem = brindlemoor::tools::UnexpectedArgument(line.positional.front());
  }
  if (!problem.empty()) return brindlemoor::tools::UsageError(kProgram, problem);
  if (line.Has("--help")) {
    PrintUsage(stdout);
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
      std::fprintf(stderr, "%s: %s: %s\n", kProgram, input->c_str(), error.description.c_str());
      return brindlemoor::tools::kExitUsage;
    }
    return Replay(*input, *recording, files, framing);
  }
  return Listen(files, framing);
}
