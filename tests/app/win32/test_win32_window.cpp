// The Win32 receiver window on a real (virtual) display: the system menu item, the commands
// that open the About box, how the dialog ends, the line's code-page text path, the start-up
// message box, the icon and a recording replayed in real time. Each test runs the window modally
// over a fake device; the steps run from thread timers, which the window's own modal loops
// dispatch.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include "app/real_time_blocks.h"
#include "app/resources.h"
#include "app/win32_receiver_window.h"
#include "app/win32_replay_pump.h"
#include "app/win32_text.h"
#include "capture/capture_format.h"
#include "capture/replay_device.h"
#include "capture/sample_stream.h"
#include "synth/symbol_synth.h"
#include "testing/fake_wave_in_device.h"
#include "testing/fake_window.h"

namespace brindlemoor {
namespace {

using testing::FakeWaveInDevice;
using testing::MemoryTextOutput;

// Steps that run once, later, from whichever message loop this thread is in (thread timers).
std::map<UINT_PTR, std::function<void()>>& PendingSteps() {
  static std::map<UINT_PTR, std::function<void()>> steps;
  return steps;
}

void Later(UINT delayMs, std::function<void()> step) {
  const UINT_PTR id = SetTimer(nullptr, 0, delayMs, [](HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    const auto found = PendingSteps().find(timer);
    if (found == PendingSteps().end()) return;
    const std::function<void()> run = std::move(found->second);
    PendingSteps().erase(found);
    run();
  });
  ASSERT_NE(id, 0u);
  PendingSteps()[id] = std::move(step);
}

// A step left over by a test must not act on the next one.
void CancelPendingSteps() {
  for (const auto& [id, step] : PendingSteps()) KillTimer(nullptr, id);
  PendingSteps().clear();
}

// The visible top-level window of this thread with `caption`, or null.
HWND FindThreadWindow(const std::wstring& caption) {
  struct Search {
    std::wstring caption;
    HWND found = nullptr;
  } search{caption};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        wchar_t text[256] = {};
        GetWindowTextW(window, text, 256);
        if (IsWindowVisible(window) && s->caption == text) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
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
      QuantizeToU8(SynthesizeMessage(message, kDefaultTiming, static_cast<int32_t>(kSampleRate))));
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
