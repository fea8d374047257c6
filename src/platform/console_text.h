// Messages for a person, formatted like printf from UTF-8 text. On a Windows console they are
// written as UTF-16 (WriteConsoleW), so file names and Japanese show whatever the console's code
// page; to a file or a pipe, and on other systems, the UTF-8 bytes go out as they are.
#pragma once

#include <cstdio>
#include <string_view>

namespace brindlemoor {

// Writes `text` to `to`.
void WriteText(std::FILE* to, std::string_view text);
// Formats and writes like fprintf (MinGW's runtime formats as GNU's does).
#if defined(__MINGW32__)
void PrintText(std::FILE* to, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
#else
void PrintText(std::FILE* to, const char* format, ...) __attribute__((format(printf, 2, 3)));
#endif

}  // namespace brindlemoor
