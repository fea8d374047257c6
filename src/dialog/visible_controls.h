// How received bytes are shown on a terminal, where control bytes would act on it (retitle it,
// clear it, move the cursor) instead of being seen: each control byte other than line feed and
// tab is written in caret notation, as `cat -v` does (ESC as "^[", BEL as "^G", DEL as "^?"), and
// so is each byte 0x80..0x9F that is not part of a valid UTF-8 sequence, which an 8-bit terminal
// takes as a C1 control (0x9B as "M-^["). Valid UTF-8 and the other bytes are written as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace brindlemoor {

// True for the bytes written in caret notation: 0..31 except LF and TAB, and 127.
constexpr bool ShownInCaretNotation(uint8_t byte) {
  return (byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F;
}

// The character after the caret: '@' + byte for 0..31, '?' for 127.
constexpr char CaretCharacter(uint8_t byte) {
  return byte == 0x7F ? '?' : static_cast<char>('@' + byte);
}

// The length of the valid UTF-8 sequence of two to four bytes that starts `bytes`, or 0.
std::size_t Utf8SequenceLength(const unsigned char* bytes, std::size_t size);

// Writes `bytes` to `out` with the control bytes made visible; allocates nothing. False when a
// write fails.
bool WriteVisible(std::FILE* out, const char* bytes, std::size_t size);

}  // namespace brindlemoor
