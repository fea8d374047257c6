#include "shown_name.h"

#include <cstdio>

#include "dialog/visible_controls.h"

namespace brindlemoor::tools {

std::string ShownName(std::string_view path) {
  if (path == "-") return "standard input";
  std::string shown;
  const auto* bytes = reinterpret_cast<const unsigned char*>(path.data());
  for (std::size_t i = 0; i < path.size();) {
    const unsigned char byte = bytes[i];
    const std::size_t sequence = byte >= 0x80 ? Utf8SequenceLength(bytes + i, path.size() - i) : 0;
    if (sequence > 0) {
      shown.append(path.substr(i, sequence));
      i += sequence;
      continue;
    }
    if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0x9F)) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      shown += escape;
    } else {
      shown += static_cast<char>(byte);
    }
    ++i;
  }
  return shown;
}

}  // namespace brindlemoor::tools
