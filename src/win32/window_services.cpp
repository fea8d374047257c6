#include "win32/window_services.h"

#include <cassert>
#include <optional>

#include "dialog/resources.h"
#include "receiver/framing.h"
#include "win32/modal_dialog.h"
#include "win32/text.h"

namespace brindlemoor {

AppIcons LoadAppIcons(HINSTANCE instance) {
  const auto load = [instance](int width, int height) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, width,
                                         height, LR_DEFAULTCOLOR | LR_SHARED));
  };
  return {load(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)),
          load(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON))};
}

Win32WindowServices::Win32WindowServices(HINSTANCE instance) : instance(instance) {
  text.reserve(kTickTextBytes);
}

void Win32WindowServices::Attach(HWND window) {
  dialog = window;
  // Loaded with the first window: icons belong to the display side of the system, which a
  // program without a window (a test of the resources) need not start.
  if (dialog != nullptr && icons.big == nullptr) icons = LoadAppIcons(instance);
}

void Win32WindowServices::SetTimer(uint32_t id, uint32_t periodMs) {
  assert(dialog != nullptr && "services used before the dialog exists");
  // No timer procedure: WM_TIMER comes to the dialog through its message queue, one at a time.
  // Setting a running timer again restarts its period.
  ::SetTimer(dialog, id, periodMs, nullptr);
}

void Win32WindowServices::KillTimer(uint32_t id) {
  if (dialog == nullptr) return;  // no window: no timer runs
  ::KillTimer(dialog, id);
}

void Win32WindowServices::ShowMessageBox(std::string_view message) {
  const std::string title = ApplicationTitle();
  constexpr UINT kStyle = MB_ICONHAND | MB_TOPMOST;
  const std::optional<std::string> ansiMessage = Utf8ToAnsi(message);
  const std::optional<std::string> ansiTitle = Utf8ToAnsi(title);
  if (ansiMessage && ansiTitle) {
    MessageBoxA(dialog, ansiMessage->c_str(), ansiTitle->c_str(), kStyle);
  } else {
    MessageBoxW(dialog, Utf8ToWide(message).c_str(), Utf8ToWide(title).c_str(), kStyle);
  }
}

void Win32WindowServices::ReplaceText(const char* bytes, std::size_t size) {
  assert(dialog != nullptr && "services used before the dialog exists");
  // The bytes go to the box unchanged: the multibyte message decodes them in the system's code
  // page, as the box would show any text of this program.
  text.assign(bytes, size);
  SendDlgItemMessageA(dialog, static_cast<int>(kTextLineId), EM_SETSEL, 0, -1);
  SendDlgItemMessageA(dialog, static_cast<int>(kTextLineId), EM_SCROLLCARET, 0, 0);
  SendDlgItemMessageA(dialog, static_cast<int>(kTextLineId), EM_REPLACESEL, FALSE,
                      reinterpret_cast<LPARAM>(text.c_str()));
}

bool Win32WindowServices::HasSystemMenu() {
  return dialog != nullptr && GetSystemMenu(dialog, FALSE) != nullptr;
}

void Win32WindowServices::AppendMenuSeparator() {
  AppendMenuA(GetSystemMenu(dialog, FALSE), MF_SEPARATOR, 0, nullptr);
}

void Win32WindowServices::AppendMenuItem(uint32_t commandId, std::string_view item) {
  HMENU menu = GetSystemMenu(dialog, FALSE);
  if (const std::optional<std::string> ansi = Utf8ToAnsi(item)) {
    AppendMenuA(menu, MF_STRING, commandId, ansi->c_str());
  } else {
    AppendMenuW(menu, MF_STRING, commandId, Utf8ToWide(item).c_str());
  }
}

std::string_view Win32WindowServices::LoadMenuString() {
  // With a zero length LoadStringW hands out a pointer into the resource itself.
  const wchar_t* resource = nullptr;
  const int length =
      LoadStringW(instance, kAboutMenuStringId, reinterpret_cast<wchar_t*>(&resource), 0);
  menuString = length > 0 && resource != nullptr
                   ? WideToUtf8(std::wstring_view(resource, static_cast<std::size_t>(length)))
                   : std::string();
  return menuString;
}

void Win32WindowServices::SetIcons() {
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons.big));
  SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons.little));
}

void Win32WindowServices::RunAboutBox() {
  Win32ModalDialog about(instance, kAboutDialogId, dialog);
  about.Run();
}

}  // namespace brindlemoor
