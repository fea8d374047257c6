// Windows only: conversions between the UTF-8 the programs keep every name and message in and
// the UTF-16 of the system's wide calls, so any file name works whatever the ANSI code page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brindlemoor {

// The UTF-16 of `utf8`; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view utf8);
// The UTF-8 of `wide`.
std::string WideToUtf8(std::wstring_view wide);

// A path for a wide file call, converted into a buffer of its own so that a call made while
// receiving (a text append) allocates nothing. `Ok()` is false for a path that does not fit.
class WidePath {
 public:
  explicit WidePath(const char* utf8);
  bool Ok() const { return ok; }
  const wchar_t* Get() const { return text; }

 private:
  static constexpr std::size_t kCapacity = 32768;  // the longest path the system accepts
  wchar_t text[kCapacity];
  bool ok;
};

}  // namespace brindlemoor
