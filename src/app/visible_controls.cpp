#include "app/visible_controls.h"

namespace brindlemoor {

bool WriteVisible(std::FILE* out, const char* bytes, std::size_t size) {
  std::size_t plainStart = 0;
  for (std::size_t i = 0; i <= size; ++i) {
    const bool end = i == size;
    if (!end && !ShownInCaretNotation(static_cast<uint8_t>(bytes[i]))) continue;
    const std::size_t plain = i - plainStart;
    if (plain != 0 && std::fwrite(bytes + plainStart, 1, plain, out) != plain) return false;
    if (end) break;
    const char caret[2] = {'^', CaretCharacter(static_cast<uint8_t>(bytes[i]))};
    if (std::fwrite(caret, 1, 2, out) != 2) return false;
    plainStart = i + 1;
  }
  return true;
}

}  // namespace brindlemoor
