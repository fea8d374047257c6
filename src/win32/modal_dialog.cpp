#include "win32/modal_dialog.h"

#include "dialog/window_placement.h"

namespace brindlemoor {
namespace {

ScreenRect FromRect(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

// Centres `dialog` on `owner`, or on the work area of the screen it is on when it has none.
void Centre(HWND dialog, HWND owner) {
  RECT own{};
  GetWindowRect(dialog, &own);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  const HWND reference = owner != nullptr && IsWindowVisible(owner) ? owner : dialog;
  if (!GetMonitorInfoW(MonitorFromWindow(reference, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
  RECT over = monitor.rcWork;
  if (reference == owner) GetWindowRect(owner, &over);
  const WindowOrigin origin = CentredOrigin(FromRect(over), FromRect(monitor.rcWork),
                                            own.right - own.left, own.bottom - own.top);
  SetWindowPos(dialog, nullptr, origin.x, origin.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

Win32ModalDialog::Win32ModalDialog(HINSTANCE instance, uint32_t templateId, HWND owner,
                                   Handler handler)
    : instance(instance), templateId(templateId), owner(owner), handler(std::move(handler)) {}

INT_PTR Win32ModalDialog::Run() {
  running = true;
  result = 0;
  // WM_INITDIALOG arrives inside this call; the handler may already end the dialog there.
  HWND created = CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), owner, &Procedure,
                                    reinterpret_cast<LPARAM>(this));
  if (created == nullptr) {
    createError = GetLastError();
    running = false;
    window = nullptr;
    return -1;
  }
  const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  if (running) ShowWindow(created, SW_SHOWNORMAL);

  MSG message;
  while (running) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // WM_QUIT belongs to whoever runs outside this dialog: put it back and end.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got == -1) break;
    if (!IsDialogMessageW(created, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  // The owner is enabled and activated before the dialog goes, so the focus returns to it.
  if (disableOwner) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
  }
  if (IsWindow(created)) DestroyWindow(created);
  window = nullptr;
  running = false;
  return result;
}

void Win32ModalDialog::End(INT_PTR value) {
  result = value;
  running = false;
  // Wakes GetMessage when End is called outside a dispatched message.
  if (window != nullptr) PostMessageW(window, WM_NULL, 0, 0);
}

INT_PTR CALLBACK Win32ModalDialog::Procedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<Win32ModalDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->window = window;
    // Before the dialog shows (a WS_VISIBLE one shows when this message has been handled).
    Centre(window, self->owner);
    return self->Handle(window, message, wParam, lParam);
  }
  auto* self = reinterpret_cast<Win32ModalDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  // Messages before WM_INITDIALOG (WM_SETFONT, ...) get the default handling.
  if (self == nullptr) return FALSE;
  const INT_PTR handled = self->Handle(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    // Destroyed while running (by anyone but Run): the loop must not wait for it any longer.
    SetWindowLongPtrW(window, DWLP_USER, 0);
    self->running = false;
  }
  return handled;
}

INT_PTR Win32ModalDialog::Handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (handler) {
    if (const std::optional<INT_PTR> handled = handler(dialog, message, wParam, lParam)) {
      return *handled;
    }
  }
  if (message == WM_INITDIALOG) return TRUE;  // the system sets the focus
  if (message == WM_COMMAND) {
    // Enter (IDOK), Esc and the close command (IDCANCEL, which the dialog manager sends for
    // WM_CLOSE) end the dialog; so does an OK button.
    const WORD command = LOWORD(wParam);
    if (command == IDOK || command == IDCANCEL) {
      End(command);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace brindlemoor
