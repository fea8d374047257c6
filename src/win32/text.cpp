#include "win32/text.h"

#include <windows.h>

namespace brindlemoor {

std::optional<std::string> Utf8ToAnsi(std::string_view text) {
  const std::wstring wide = Utf8ToWide(text);
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  // No best-fit mapping: a character the code page lacks must be noticed, not approximated.
  BOOL lossy = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr,
                                         0, nullptr, &lossy);
  if (length == 0 || lossy) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, ansi.data(), length, nullptr,
                      &lossy);
  return ansi;
}

std::string ApplicationTitle() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos && dot > 0) name.resize(dot);
  return WideToUtf8(name);
}

}  // namespace brindlemoor
