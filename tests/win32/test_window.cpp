// The Win32 receiver window on a real (virtual) display: the system menu item, the commands
// that open the About box, how the dialog ends, the line's code-page text path, the start-up
// message box, the icon and a recording replayed in real time. Each test runs the window modally
// over a fake device; the steps run from thread timers, which the window's own modal loops
// dispatch.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include "capture/capture_format.h"
#include "capture/replay_device.h"
#include "capture/sample_stream.h"
#include "dialog/real_time_blocks.h"
#include "dialog/resources.h"
#include "dialog/window_placement.h"
#include "synth/symbol_synth.h"
#include "testing/fake_wave_in_device.h"
#include "testing/fake_window.h"
#include "win32/receiver_window.h"
#include "win32/replay_pump.h"
#include "win32/text.h"

namespace brindlemoor {
namespace {

using testing::FakeWaveInDevice;
using testing::MemoryTextOutput;

// Steps that run once, later, from whichever message loop this thread is in (thread timers).
std::map<UINT_PTR, std::function<void()>>& PendingSteps() {
  static std::map<UINT_PTR, std::function<void()>> steps;
  return steps;
}

// Win32 calls back with its own calling convention (stdcall on 32-bit Windows), which a
// lambda's conversion to a function pointer does not have: the callbacks are named functions.
void CALLBACK RunPendingStep(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  const auto found = PendingSteps().find(timer);
  if (found == PendingSteps().end()) return;
  const std::function<void()> run = std::move(found->second);
  PendingSteps().erase(found);
  run();
}

void Later(UINT delayMs, std::function<void()> step) {
  const UINT_PTR id = SetTimer(nullptr, 0, delayMs, RunPendingStep);
  ASSERT_NE(id, 0u);
  PendingSteps()[id] = std::move(step);
}

// A step left over by a test must not act on the next one.
void CancelPendingSteps() {
  for (const auto& [id, step] : PendingSteps()) KillTimer(nullptr, id);
  PendingSteps().clear();
}

// The visible top-level window of this thread with `caption`, or null.
struct CaptionSearch {
  std::wstring caption;
  HWND found = nullptr;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM context) {
  auto* s = reinterpret_cast<CaptionSearch*>(context);
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  if (IsWindowVisible(window) && s->caption == text) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindThreadWindow(const std::wstring& caption) {
  CaptionSearch search{caption};
  EnumThreadWindows(GetCurrentThreadId(), MatchCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A message box (dialog class #32770) of the process `processId`.
struct BoxSearch {
  DWORD processId;
  HWND box;
};

BOOL CALLBACK MatchProcessBox(HWND window, LPARAM context) {
  auto* found = reinterpret_cast<BoxSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (owner != found->processId || std::wstring(className) != L"#32770") return TRUE;
  found->box = window;
  return FALSE;
}

std::wstring LineText(HWND window) {
  wchar_t text[256] = {};
  GetDlgItemTextW(window, static_cast<int>(kTextLineId), text, 256);
  return text;
}

class Win32WindowTest : public ::testing::Test {
 protected:
  // Under wine without an X display (DISPLAY unset) no window can be made: skipped. With a
  // display, a window that cannot be made is a failure.
  void SetUp() override {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (probe == nullptr && GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
      GTEST_SKIP() << "no display";
    }
    ASSERT_NE(probe, nullptr) << "no window on this display (error " << GetLastError() << ")";
    DestroyWindow(probe);
  }
  void TearDown() override { CancelPendingSteps(); }

  FakeWaveInDevice device;
  MemoryTextOutput files;
};

TEST_F(Win32WindowTest, SystemMenuEndsWithASeparatorAndTheAboutItem) {
  Win32ReceiverWindow window(GetModuleHandleW(nullptr), device, files);
  int items = 0;
  UINT lastId = 0;
  UINT separatorState = 0;
  std::wstring lastText;
  window.SetStartedHook([&](Win32ReceiverWindow& w) {
    HMENU menu = GetSystemMenu(w.Window(), FALSE);
    items = GetMenuItemCount(menu);
    lastId = GetMenuItemID(menu, items - 1);
    wchar_t text[128] = {};
    GetMenuStringW(menu, items - 1, text, 128, MF_BYPOSITION);
    lastText = text;
    separatorState = GetMenuState(menu, items - 2, MF_BYPOSITION);
    PostMessageW(w.Window(), WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(window.Run(), IDCANCEL);
  ASSERT_GE(items, 2);
  EXPECT_EQ(lastId, kAboutCommandId);
  EXPECT_EQ(lastText, Utf8ToWide(kAboutMenuText));
  EXPECT_NE(separatorState & MF_SEPARATOR, 0u);
}

TEST_F(Win32WindowTest, SystemCommands16To31OpenTheAboutBoxModally) {
  struct Case {
    WPARAM command;
    bool opens;
  };
  for (const Case& c : {Case{0x10, true}, Case{0x1F, true}, Case{0x20, false}, Case{0x0F, false}}) {
    SCOPED_TRACE(c.command);
    FakeWaveInDevice caseDevice;
    Win32ReceiverWindow window(GetModuleHandleW(nullptr), caseDevice, files);
    bool found = false;
    BOOL ownerEnabled = TRUE;
    bool enabledAfter = false;
    window.SetStartedHook([&](Win32ReceiverWindow& w) {
      HWND main = w.Window();
      Later(50, [&, main] {
        // Runs inside the box's own loop when it opened, after the command otherwise.
        Later(150, [&, main] {
          HWND about = FindThreadWindow(Utf8ToWide(kAboutCaption));
          found = about != nullptr;
          ownerEnabled = IsWindowEnabled(main);
          if (about != nullptr) PostMessageW(about, WM_COMMAND, IDOK, 0);
          PostMessageW(main, WM_CLOSE, 0, 0);
        });
        SendMessageW(main, WM_SYSCOMMAND, c.command, 0);  // returns when the box has closed
        enabledAfter = IsWindowEnabled(main) != FALSE;
      });
    });
    EXPECT_EQ(window.Run(), IDCANCEL);
    EXPECT_EQ(found, c.opens);
    if (c.opens) {
      EXPECT_FALSE(ownerEnabled) << "the receiver window must be disabled under the box";
    }
    EXPECT_TRUE(enabledAfter);
  }
}

TEST_F(Win32WindowTest, ReceiveTimerKeepsTickingWhileTheAboutBoxIsOpen) {
  Win32ReceiverWindow window(GetModuleHandleW(nullptr), device, files);
  std::vector<std::chrono::steady_clock::time_point> ticks;
  window.SetTimerHook([&](Win32ReceiverWindow&, uint32_t id) {
    if (id == kReceiveTimerId) ticks.push_back(std::chrono::steady_clock::now());
  });
  window.SetStartedHook([&](Win32ReceiverWindow& w) {
    HWND main = w.Window();
    Later(10, [main] {
      Later(1300, [] {
        if (HWND about = FindThreadWindow(Utf8ToWide(kAboutCaption))) {
          PostMessageW(about, WM_COMMAND, IDOK, 0);
        }
      });
      SendMessageW(main, WM_SYSCOMMAND, kAboutCommandId, 0);
      PostMessageW(main, WM_CLOSE, 0, 0);
    });
  });
  EXPECT_EQ(window.Run(), IDCANCEL);
  ASSERT_GE(ticks.size(), 2u);
  // Timer 2 is stopped and started again by each tick: the period runs from one tick's end.
  EXPECT_GE(ticks[1] - ticks[0], std::chrono::milliseconds(400));
  EXPECT_FALSE(window.Core().TimerRunning());
}

TEST_F(Win32WindowTest, EnterEscAndTheCloseCommandEndTheDialogAndTearDown) {
  struct Case {
    const char* name;
    UINT message;
    WPARAM wParam;
    INT_PTR result;
  };
  for (const Case& c :
       {Case{"Enter", WM_KEYDOWN, VK_RETURN, IDOK}, Case{"Esc", WM_KEYDOWN, VK_ESCAPE, IDCANCEL},
        Case{"close", WM_SYSCOMMAND, SC_CLOSE, IDCANCEL}}) {
    SCOPED_TRACE(c.name);
    FakeWaveInDevice caseDevice;
    Win32ReceiverWindow window(GetModuleHandleW(nullptr), caseDevice, files);
    bool receiving = false;
    window.SetStartedHook([&](Win32ReceiverWindow& w) {
      receiving = w.Core().TimerRunning();
      HWND main = w.Window();
      // After WM_INITDIALOG, once the dialog has given the line the focus.
      Later(50, [&, main] {
        HWND target = c.message == WM_KEYDOWN ? GetFocus() : main;
        PostMessageW(target != nullptr ? target : main, c.message, c.wParam, 0);
      });
    });
    EXPECT_EQ(window.Run(), c.result);
    EXPECT_TRUE(receiving);
    EXPECT_EQ(window.Window(), nullptr);
    EXPECT_FALSE(window.Core().TimerRunning());
    EXPECT_EQ(window.Core().Spectrum(), nullptr);
    EXPECT_EQ(window.Core().RecordBuffer(), nullptr);
    EXPECT_FALSE(caseDevice.IsOpen());
  }
}

TEST_F(Win32WindowTest, LineShowsTheBytesAsTheSystemCodePageDoesAndKeepsNoUndo) {
  struct Case {
    std::string bytes;
  };
  const Case cases[] = {{"\xBA\xDD\xC6\xC1\xCA"}, {"Hello"}, {"\xE9\xB1\xDF"}, {""}};
  Win32ReceiverWindow window(GetModuleHandleW(nullptr), device, files);
  std::vector<std::wstring> shown;
  LRESULT canUndo = TRUE;
  window.SetStartedHook([&](Win32ReceiverWindow& w) {
    for (const Case& c : cases) {
      w.Services().ReplaceText(c.bytes.data(), c.bytes.size());
      shown.push_back(LineText(w.Window()));
    }
    canUndo = SendDlgItemMessageW(w.Window(), static_cast<int>(kTextLineId), EM_CANUNDO, 0, 0);
    PostMessageW(w.Window(), WM_CLOSE, 0, 0);
  });
  window.Run();
  ASSERT_EQ(shown.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string& bytes = cases[i].bytes;
    wchar_t expected[64] = {};
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), expected, 63);
    EXPECT_EQ(shown[i], expected) << i;
  }
  if (GetACP() == 932) {
    EXPECT_EQ(shown[0], L"\xFF7A\xFF9D\xFF86\xFF81\xFF8A");  // ｺﾝﾆﾁﾊ
  }
  EXPECT_FALSE(canUndo);
}

TEST_F(Win32WindowTest, StartUpFailureShowsTheMessageBoxAndDoesNotReceive) {
  static int requests = 0;
  requests = 0;
  BufferAllocator failSpectrum{
      [](std::size_t size) -> void* { return requests++ == 0 ? nullptr : std::malloc(size); },
      std::realloc, std::free};
  Win32ReceiverWindow window(GetModuleHandleW(nullptr), device, files, failSpectrum);
  std::wstring text;
  bool found = false;
  // The box is modal inside the dialog's initialisation; its own loop runs this step.
  Later(200, [&] {
    HWND box = FindThreadWindow(Utf8ToWide(ApplicationTitle()));
    found = box != nullptr;
    if (box == nullptr) return;
    wchar_t buffer[128] = {};
    GetDlgItemTextW(box, 0xFFFF, buffer, 128);
    text = buffer;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  bool receiving = true;
  window.SetStartedHook([&](Win32ReceiverWindow& w) {
    receiving = w.Core().TimerRunning();
    PostMessageW(w.Window(), WM_CLOSE, 0, 0);
  });
  window.Run();
  ASSERT_TRUE(found) << "no message box captioned with the program's name";
  EXPECT_EQ(text, Utf8ToWide(kSpectrumAllocFailedText));
  EXPECT_FALSE(receiving);
  EXPECT_FALSE(device.IsOpen());
}

TEST_F(Win32WindowTest, DragIconAndWindowIconsAreTheApplicationIcon) {
  Win32ReceiverWindow window(GetModuleHandleW(nullptr), device, files);
  LRESULT dragIcon = 0, bigIcon = 0, smallIcon = 0;
  window.SetStartedHook([&](Win32ReceiverWindow& w) {
    dragIcon = SendMessageW(w.Window(), WM_QUERYDRAGICON, 0, 0);
    bigIcon = SendMessageW(w.Window(), WM_GETICON, ICON_BIG, 0);
    smallIcon = SendMessageW(w.Window(), WM_GETICON, ICON_SMALL, 0);
    PostMessageW(w.Window(), WM_CLOSE, 0, 0);
  });
  window.Run();
  const AppIcons& icons = window.Services().Icons();
  ASSERT_NE(icons.big, nullptr);
  ASSERT_NE(icons.little, nullptr);
  EXPECT_EQ(dragIcon, reinterpret_cast<LRESULT>(icons.big));
  EXPECT_EQ(bigIcon, reinterpret_cast<LRESULT>(icons.big));
  EXPECT_EQ(smallIcon, reinterpret_cast<LRESULT>(icons.little));
}

TEST_F(Win32WindowTest, ARecordingGoesThroughTheWindowNoFasterThanRealTime) {
  const std::vector<uint8_t> message = {0xCA, 0xDB, 0xB0, '!'};  // ﾊﾛｰ!
  MemorySampleStream stream(
      QuantiseToU8(SynthesiseMessage(message, kDefaultTiming, static_cast<int32_t>(kSampleRate))));
  ReplayDevice replay(stream);
  Win32ReplayPump pump(replay);
  Win32ReceiverWindow window(GetModuleHandleW(nullptr), replay, files);
  const auto start = std::chrono::steady_clock::now();
  std::chrono::milliseconds finishedAfter{-1};
  window.SetStartedHook([&](Win32ReceiverWindow& w) {
    pump.Start(w.Window(), [&] {
      finishedAfter = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start);
    });
  });
  window.SetTimerHook([&](Win32ReceiverWindow& w, uint32_t id) {
    pump.OnTimer(id);
    if (id == kReceiveTimerId && replay.Finished() &&
        w.Core().Capture().blocksConsumed == replay.TotalBlocks()) {
      PostMessageW(w.Window(), WM_CLOSE, 0, 0);
    }
  });
  EXPECT_EQ(window.Run(), IDCANCEL);
  ASSERT_GE(finishedAfter.count(), 0) << "the replay did not finish";
  // The last of the B blocks cannot come back before a sound card would have recorded it.
  EXPECT_GE(finishedAfter.count(),
            static_cast<int64_t>(BlockCompletionMs(replay.TotalBlocks() - 1)));
  EXPECT_EQ(files.receiveText, std::string(message.begin(), message.end()));
}

TEST_F(Win32WindowTest, MainWindowOpensCentredOnTheScreenAndTheAboutBoxOnIt) {
  Win32ReceiverWindow window(GetModuleHandleW(nullptr), device, files);
  RECT main{}, about{}, work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  window.SetStartedHook([&](Win32ReceiverWindow& w) {
    Later(100, [&] {
      HWND box = FindThreadWindow(Utf8ToWide(kAboutCaption));
      if (box != nullptr) GetWindowRect(box, &about);
      if (box != nullptr) PostMessageW(box, WM_COMMAND, IDOK, 0);
      PostMessageW(w.Window(), WM_CLOSE, 0, 0);
    });
    Later(10, [&] {
      GetWindowRect(w.Window(), &main);
      PostMessageW(w.Window(), WM_SYSCOMMAND, kAboutCommandId, 0);
    });
  });
  window.Run();
  const auto centre = [](LONG a, LONG b) { return (a + b) / 2; };
  ASSERT_GT(main.right, main.left) << "the main window was not measured";
  ASSERT_GT(about.right, about.left) << "the About box did not open";
  // Centred to the pixel, give or take the rounding of odd sizes.
  EXPECT_NEAR(centre(main.left, main.right), centre(work.left, work.right), 1);
  EXPECT_NEAR(centre(main.top, main.bottom), centre(work.top, work.bottom), 1);
  EXPECT_NEAR(centre(about.left, about.right), centre(main.left, main.right), 1);
  EXPECT_NEAR(centre(about.top, about.bottom), centre(main.top, main.bottom), 1);
}

// The program itself, started as a person would start it: an input it cannot open, or a usage
// error, shows a message box (it has no console) and ends with status 2 once that is closed.
TEST_F(Win32WindowTest, ProgramShowsAMessageBoxForABadInputAndEndsWithStatus2) {
  struct Case {
    std::wstring arguments;
    std::wstring textStart;
  };
  const Case cases[] = {
      {L"--input \"Z:\\nowhere\\日本語 café.wav\"", L"Z:\\nowhere\\日本語 café.wav: "},
      {L"--loud", L"unknown option"},
  };
  // The program runs in wine's Z: drive, which maps to the Linux root.
  std::wstring program = L"Z:" + Utf8ToWide(BRINDLEMOOR_WINDOW_PROGRAM);
  std::replace(program.begin(), program.end(), L'/', L'\\');
  for (const Case& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.arguments));
    std::wstring line = L"\"" + program + L"\" " + c.arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    BoxSearch search{process.dwProcessId, nullptr};
    for (int tick = 0; tick < 200 && search.box == nullptr; ++tick) {
      EnumWindows(MatchProcessBox, reinterpret_cast<LPARAM>(&search));
      if (search.box == nullptr) Sleep(50);
    }
    std::wstring text;
    // The box may be found before its text is in place.
    for (int tick = 0; tick < 100 && search.box != nullptr && text.empty(); ++tick) {
      wchar_t buffer[2048] = {};
      GetDlgItemTextW(search.box, 0xFFFF, buffer, 2048);
      text = buffer;
      if (text.empty()) Sleep(50);
    }
    if (search.box != nullptr) PostMessageW(search.box, WM_COMMAND, IDOK, 0);
    const bool ended = WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0;
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    if (!ended) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_NE(search.box, nullptr) << "no message box";
    EXPECT_EQ(text.substr(0, c.textStart.size()), c.textStart) << WideToUtf8(text);
    EXPECT_TRUE(ended);
    EXPECT_EQ(status, 2u);
  }
}

TEST(WindowPlacementTest, CentredOnItsOwnerOrTheScreenAndKeptInsideTheWorkArea) {
  struct Case {
    ScreenRect over, work;
    int32_t width, height;
    WindowOrigin origin;
  };
  const ScreenRect screen{0, 0, 1920, 1040};
  for (const Case& c : {
           Case{screen, screen, 250, 80, {835, 480}},                  // on the screen
           Case{{800, 400, 1050, 480}, screen, 470, 140, {690, 370}},  // the About box on its owner
           Case{{-10, -20, 240, 60}, screen, 470, 140, {0, 0}},        // owner off the top-left
           Case{
               {1800, 990, 2050, 1070}, screen, 470, 140, {1450, 900}},  // and off the bottom-right
           Case{screen, {1920, 0, 3200, 1024}, 250, 80, {1920, 480}},    // a second monitor's area
           Case{{0, 0, 101, 101}, {0, 0, 101, 101}, 50, 50, {25, 25}},   // odd sizes round down
           Case{screen, screen, 2000, 1100, {0, 0}},                     // larger than the screen
       }) {
    EXPECT_EQ(CentredOrigin(c.over, c.work, c.width, c.height), c.origin)
        << c.width << "x" << c.height << " over " << c.over.left << "," << c.over.top;
  }
}

TEST(MinimisedIconTest, CentredWithTruncationTowardZero) {
  struct Case {
    int32_t clientWidth, clientHeight, icon;
    IconOrigin origin;
  };
  for (const Case& c : {Case{160, 32, 32, {64, 0}}, Case{33, 34, 32, {1, 1}},
                        Case{0, 0, 32, {-15, -15}}, Case{1, 2, 32, {-15, -14}}}) {
    EXPECT_EQ(MinimisedIconOrigin(c.clientWidth, c.clientHeight, c.icon, c.icon), c.origin)
        << c.clientWidth << "x" << c.clientHeight;
  }
}

}  // namespace
}  // namespace brindlemoor
