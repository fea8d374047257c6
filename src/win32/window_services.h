// WindowServices over Win32 for the receiver dialog: window timers, the read-only edit box
// updated through the multibyte edit messages (so received bytes 128..255 show as the system's
// code page shows them), message boxes, the real system menu, string 101 and icon 128 from the
// program's resources, and the About box (dialog 100) run modally. It holds no receiver logic:
// the dialog window forwards WM_TIMER and WM_SYSCOMMAND to ReceiverDialog.
#pragma once

#include <windows.h>

#include <string>

#include "dialog/window_services.h"

namespace brindlemoor {

// The application icon (resource 128) at the system's large and small icon sizes; shared
// handles that live as long as the program.
struct AppIcons {
  HICON big = nullptr;     // ICON_BIG: SM_CXICON x SM_CYICON
  HICON little = nullptr;  // ICON_SMALL: SM_CXSMICON x SM_CYSMICON (`small` is a macro here)
};
AppIcons LoadAppIcons(HINSTANCE instance);

class Win32WindowServices : public WindowServices {
 public:
  // `instance` holds the resources. Nothing may be called before Attach.
  explicit Win32WindowServices(HINSTANCE instance);

  // The dialog window the services act on, from its WM_INITDIALOG on.
  void Attach(HWND dialog);
  HWND Dialog() const { return dialog; }
  // Loaded when the first dialog attaches.
  const AppIcons& Icons() const { return icons; }

  void SetTimer(uint32_t id, uint32_t periodMs) override;
  void KillTimer(uint32_t id) override;
  // MB_ICONHAND | MB_TOPMOST, captioned with the application's title.
  void ShowMessageBox(std::string_view text) override;
  // EM_SETSEL (0, -1), EM_SCROLLCARET, EM_REPLACESEL without undo, all multibyte.
  void ReplaceText(const char* bytes, std::size_t size) override;
  bool HasSystemMenu() override;
  void AppendMenuSeparator() override;
  void AppendMenuItem(uint32_t commandId, std::string_view text) override;
  // String 101, or an empty text when the resources hold none.
  std::string_view LoadMenuString() override;
  // WM_SETICON with the large and the small icon.
  void SetIcons() override;
  // Dialog 100, modal on top of the receiver dialog; the receiver's timer keeps running.
  void RunAboutBox() override;

 private:
  HINSTANCE instance;
  HWND dialog = nullptr;
  AppIcons icons;
  std::string menuString;
  // The text box's bytes with their terminating zero; reserved once, so a tick never allocates.
  std::string text;
};

}  // namespace brindlemoor
