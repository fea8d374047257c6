#include <cstdarg>

#include "platform/console_text.h"

namespace brindlemoor {

void WriteText(std::FILE* to, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), to);
}

void PrintText(std::FILE* to, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::vfprintf(to, format, arguments);
  va_end(arguments);
}

}  // namespace brindlemoor
