#include "dialog_template.h"

#include <cstring>

namespace brindlemoor::testing {
namespace {

class Reader {
 public:
  Reader(const uint8_t* data, std::size_t size) : data(data), size(size) {}

  bool Ok() const { return ok; }
  uint16_t Word() {
    uint16_t value = 0;
    Take(&value, sizeof value);
    return value;
  }
  uint32_t Dword() {
    uint32_t value = 0;
    Take(&value, sizeof value);
    return value;
  }
  int16_t Short() { return static_cast<int16_t>(Word()); }
  std::wstring Text() {
    std::wstring text;
    for (uint16_t c = Word(); ok && c != 0; c = Word()) text.push_back(static_cast<wchar_t>(c));
    return text;
  }
  NameOrOrdinal Field() {
    NameOrOrdinal field;
    const uint16_t first = Word();
    if (first == 0xFFFF) {
      field.ordinal = Word();
    } else if (first != 0) {
      field.text.push_back(static_cast<wchar_t>(first));
      field.text += Text();
    }
    return field;
  }
  DialogRect Rect() {
    const int16_t x = Short(), y = Short(), width = Short(), height = Short();
    return {x, y, width, height};
  }
  void AlignToDword() { at = (at + 3) & ~std::size_t{3}; }
  void Skip(std::size_t count) { at += count; }

 private:
  void Take(void* out, std::size_t count) {
    if (at + count > size) {
      ok = false;
      return;
    }
    std::memcpy(out, data + at, count);
    at += count;
  }

  const uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool ok = true;
};

}  // namespace

std::optional<DialogTemplate> LoadDialogTemplate(HMODULE module, uint32_t id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
  if (found == nullptr) return std::nullopt;
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
  Reader in(data, SizeofResource(module, found));

  DialogTemplate dialog;
  dialog.style = in.Dword();
  if ((dialog.style & 0xFFFF0000u) == 0xFFFF0000u) return std::nullopt;  // DLGTEMPLATEEX
  dialog.extendedStyle = in.Dword();
  const uint16_t count = in.Word();
  dialog.units = in.Rect();
  in.Field();  // menu
  in.Field();  // window class
  dialog.caption = in.Text();
  if ((dialog.style & DS_SETFONT) != 0) {
    dialog.fontPoints = in.Word();
    dialog.fontName = in.Text();
  }
  for (uint16_t i = 0; i < count && in.Ok(); ++i) {
    in.AlignToDword();
    DialogItem item;
    item.style = in.Dword();
    item.extendedStyle = in.Dword();
    item.units = in.Rect();
    item.id = in.Word();
    item.windowClass = in.Field();
    item.title = in.Field();
    in.Skip(in.Word());  // creation data
    dialog.items.push_back(item);
  }
  if (!in.Ok()) return std::nullopt;
  return dialog;
}

}  // namespace brindlemoor::testing
