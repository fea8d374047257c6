// How the one-line text box shows a tick's raw bytes: decoded as the Japanese multibyte code page
// CP932 would show them (half-width katakana, double-byte characters), with control bytes as
// visible pictures so the line never breaks. The bytes themselves are never changed elsewhere;
// this is display only.
#pragma once

#include <string>
#include <string_view>

namespace brindlemoor {

inline constexpr char32_t kControlPictureBase = 0x2400;    // U+2400 + byte for 0x00..0x1F
inline constexpr char32_t kDeletePicture = 0x2421;         // for 0x7F
inline constexpr char32_t kReplacementCharacter = 0xFFFD;  // a byte or pair CP932 does not map

// Returns the UTF-8 text for `bytes`. Byte by byte: a control byte becomes its picture; a lead
// byte (0x81..0x9F, 0xE0..0xFC) with a trail byte (0x40..0x7E, 0x80..0xFC) is one character, or
// one U+FFFD when the pair is unmapped; a lead byte without a trail byte (the last byte, or one
// followed by a non-trail byte, which is then shown on its own) is one U+FFFD; every other byte
// is a single-byte character or U+FFFD. Nothing is dropped.
std::string Cp932ToDisplay(std::string_view bytes);

}  // namespace brindlemoor
