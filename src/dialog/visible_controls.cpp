#include "dialog/visible_controls.h"

namespace brindlemoor {
namespace {

constexpr uint8_t kFirstC1 = 0x80;
constexpr uint8_t kLastC1 = 0x9F;

bool Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::size_t Utf8SequenceLength(const unsigned char* bytes, std::size_t size) {
  const unsigned char lead = bytes[0];
  std::size_t length = 0;
  // The second byte's range, which rules out overlong forms, surrogates and code points past
  // U+10FFFF.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  if (length == 0 || size < length || bytes[1] < low || bytes[1] > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!Continuation(bytes[i])) return 0;
  }
  return length;
}

bool WriteVisible(std::FILE* out, const char* bytes, std::size_t size) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes);
  std::size_t plainStart = 0;
  std::size_t i = 0;
  while (true) {
    const bool end = i == size;
    std::size_t shown = 0;  // the bytes of the escape written for data[i]
    char escape[4] = {'M', '-', '^', 0};
    if (!end) {
      const uint8_t byte = data[i];
      if (ShownInCaretNotation(byte)) {
        escape[2] = '^';
        escape[3] = CaretCharacter(byte);
        shown = 2;
      } else if (byte >= kFirstC1) {
        const std::size_t sequence = Utf8SequenceLength(data + i, size - i);
        if (sequence > 0) {
          i += sequence;
          continue;
        }
        if (byte <= kLastC1) {
          escape[3] = CaretCharacter(static_cast<uint8_t>(byte - kFirstC1));
          shown = 4;
        }
      }
      if (shown == 0) {
        ++i;
        continue;
      }
    }
    const std::size_t plain = i - plainStart;
    if (plain != 0 && std::fwrite(bytes + plainStart, 1, plain, out) != plain) return false;
    if (end) break;
    if (std::fwrite(escape + 4 - shown, 1, shown, out) != shown) return false;
    plainStart = ++i;
  }
  return true;
}

}  // namespace brindlemoor
