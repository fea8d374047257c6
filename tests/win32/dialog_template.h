// Reads a dialog resource (the classic DLGTEMPLATE layout that the resource compiler writes)
// into plain data, so tests can compare the compiled resources with the program's constants.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dialog/dialog_units.h"

namespace brindlemoor::testing {

// A name-or-ordinal field: a text, an ordinal (0xFFFF form), or neither.
struct NameOrOrdinal {
  std::wstring text;
  uint16_t ordinal = 0;
  friend bool operator==(const NameOrOrdinal&, const NameOrOrdinal&) = default;
};

struct DialogItem {
  uint32_t style = 0;
  uint32_t extendedStyle = 0;
  DialogRect units{};
  uint16_t id = 0;
  NameOrOrdinal windowClass;  // ordinal 0x80 button, 0x81 edit, 0x82 static
  NameOrOrdinal title;
};

struct DialogTemplate {
  uint32_t style = 0;
  uint32_t extendedStyle = 0;
  DialogRect units{};
  std::wstring caption;
  uint16_t fontPoints = 0;
  std::wstring fontName;
  std::vector<DialogItem> items;
};

// Dialog resource `id` of `module`, or nothing when it is missing or not a classic template.
std::optional<DialogTemplate> LoadDialogTemplate(HMODULE module, uint32_t id);

}  // namespace brindlemoor::testing
