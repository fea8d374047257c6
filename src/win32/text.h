// Text conversions at the Win32 boundary: the program's own texts are UTF-8, the system's wide
// functions take UTF-16, and its multibyte (A) functions take the ANSI code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/utf16.h"  // Utf8ToWide, WideToUtf8

namespace brindlemoor {

// `text` in the ANSI code page, or nothing when a character has no place in it (a Japanese
// text on a Western system): callers then use the wide function instead, so a message never
// shows as question marks.
std::optional<std::string> Utf8ToAnsi(std::string_view text);

// The application's title, as the dialog framework derives it: the executable's file name
// without its extension. UTF-8.
std::string ApplicationTitle();

}  // namespace brindlemoor
