#include <io.h>
#include <windows.h>

#include <cstdarg>
#include <string>

#include "platform/console_text.h"
#include "platform/utf16.h"

namespace brindlemoor {
namespace {

// The console behind `stream`, or null when it goes to a file, a pipe or nowhere.
HANDLE ConsoleOf(std::FILE* stream) {
  const int fd = _fileno(stream);
  if (fd < 0) return nullptr;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
  return handle;
}

}  // namespace

void WriteText(std::FILE* to, std::string_view text) {
  const HANDLE console = ConsoleOf(to);
  if (console == nullptr) {
    // The runtime buffers even stderr when it is a file or a pipe; a script waits for the lines.
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
    return;
  }
  std::fflush(to);  // whatever the runtime still holds comes first
  const std::wstring wide = Utf8ToWide(text);
  DWORD written = 0;
  WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

void PrintText(std::FILE* to, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::va_list again;
  va_copy(again, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  if (length > 0) {
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    text.pop_back();
    WriteText(to, text);
  }
  va_end(again);
}

}  // namespace brindlemoor
