// A modal dialog built from a dialog resource. It stands in for the dialog framework's DoModal
// (the original's CDialog; no such framework exists for this compiler): the dialog is created
// from its template, its owner is disabled, and this thread's messages are read and dispatched
// one at a time until the dialog is ended; then the owner is enabled again and the dialog is
// destroyed, which delivers its WM_DESTROY. Enter, Esc and the close command end it as the
// framework's default OK and Cancel handling do. Messages for other windows (the receiver's
// timer while the About box is up) are dispatched meanwhile. It opens centred on its owner, or on
// the screen when it has none.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>

namespace brindlemoor {

class Win32ModalDialog {
 public:
  // Gets each of the dialog's messages first: a value means handled (what the dialog procedure
  // returns), nothing means the default handling.
  using Handler = std::function<std::optional<INT_PTR>(HWND, UINT, WPARAM, LPARAM)>;

  // The dialog template `templateId` of `instance`; `owner` may be null.
  Win32ModalDialog(HINSTANCE instance, uint32_t templateId, HWND owner, Handler handler = {});
  Win32ModalDialog(const Win32ModalDialog&) = delete;
  Win32ModalDialog& operator=(const Win32ModalDialog&) = delete;

  // Runs the dialog to its end. Returns the value given to End, or -1 when the dialog could not
  // be created (then `error` holds the system's error code).
  INT_PTR Run();
  // Ends the running dialog with `result`: Run returns once the current message is handled.
  void End(INT_PTR result);

  // The dialog's window while it runs, null otherwise.
  HWND Window() const { return window; }
  DWORD CreateError() const { return createError; }

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance;
  uint32_t templateId;
  HWND owner;
  Handler handler;
  HWND window = nullptr;
  bool running = false;
  INT_PTR result = 0;
  DWORD createError = 0;
};

}  // namespace brindlemoor
