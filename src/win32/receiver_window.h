// The receiver's main window on Win32: dialog 102 run modally. It owns the ReceiverDialog core
// and the Win32 window services the core runs on, and only forwards: WM_INITDIALOG, WM_TIMER,
// WM_SYSCOMMAND and WM_DESTROY go to the core; while minimised it paints the application icon,
// and WM_QUERYDRAGICON returns it. Enter, Esc and the close command end it (the modal dialog's
// defaults); the core's destroy handling then runs while the services still exist.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string_view>

#include "dialog/receiver_dialog.h"
#include "win32/modal_dialog.h"
#include "win32/window_services.h"

namespace brindlemoor {

struct IconOrigin {
  int32_t x, y;
  friend bool operator==(const IconOrigin&, const IconOrigin&) = default;
};

// Where the icon is drawn in a minimised window's client area: centred, (client - icon + 1) / 2
// in each direction, truncating toward zero.
constexpr IconOrigin MinimisedIconOrigin(int32_t clientWidth, int32_t clientHeight,
                                         int32_t iconWidth, int32_t iconHeight) {
  return {(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

class Win32ReceiverWindow {
 public:
  using Hook = std::function<void(Win32ReceiverWindow&)>;
  using TimerHook = std::function<void(Win32ReceiverWindow&, uint32_t timerId)>;

  // `instance` holds the resources; `device` and `files` outlive the window.
  Win32ReceiverWindow(HINSTANCE instance, WaveInDevice& device, TextOutput& files,
                      BufferAllocator allocator = SystemAllocator());
  ~Win32ReceiverWindow();
  Win32ReceiverWindow(const Win32ReceiverWindow&) = delete;
  Win32ReceiverWindow& operator=(const Win32ReceiverWindow&) = delete;

  // Called once inside WM_INITDIALOG, after the core's dialog initialisation (receiving has
  // started, or a message box has said why not).
  void SetStartedHook(Hook hook) { started = std::move(hook); }
  // Called for every WM_TIMER after the core has seen it (a replay clock has a timer of its own).
  void SetTimerHook(TimerHook hook) { timerHook = std::move(hook); }

  // Runs the dialog until it ends. Returns IDOK (Enter) or IDCANCEL (Esc, close), or -1 when
  // the window could not be created (CreateError says why).
  INT_PTR Run();
  DWORD CreateError() const { return modal.CreateError(); }

  // Shows why nothing will be received (an input device that failed) in the empty text line:
  // greyed as the line's cue banner where the system's controls draw one, else as its text.
  // The first tick with text replaces it.
  void ShowInputProblem(std::string_view problem);

  // The dialog window while it runs, null otherwise.
  HWND Window() const { return modal.Window(); }
  ReceiverDialog& Core() { return core; }
  Win32WindowServices& Services() { return services; }

 private:
  std::optional<INT_PTR> Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void PaintMinimised(HWND window);

  Win32WindowServices services;
  Win32ModalDialog modal;
  Hook started;
  TimerHook timerHook;
  // Declared last so it is destroyed first, while the services it calls still exist.
  ReceiverDialog core;
};

}  // namespace brindlemoor
