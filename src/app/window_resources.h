// The layouts of the receiver's two windows in dialog units, and the About box texts that
// resources.h does not hold. Texts are UTF-8.
#pragma once

#include "app/dialog_units.h"
#include "brindlemoor_version.h"

namespace brindlemoor {

inline constexpr int32_t kDialogFontPoints = 9;
// The dialog font and the families tried in its place where it is not installed.
inline constexpr const char* kDialogFontFamilies[] = {"ＭＳ Ｐゴシック", "MS PGothic",
                                                      "Noto Sans CJK JP", "Noto Sans CJK"};

// Main window (client area) and its one read-only line.
inline constexpr DialogRect kMainWindowUnits = {0, 0, 123, 27};
inline constexpr DialogRect kTextLineUnits = {7, 7, 109, 12};

// About box and its controls. The icon takes its own pixel size at its position.
inline constexpr DialogRect kAboutWindowUnits = {0, 0, 235, 55};
inline constexpr DialogRect kAboutIconUnits = {11, 17, 0, 0};
inline constexpr DialogRect kAboutVersionUnits = {40, 10, 119, 8};
inline constexpr DialogRect kAboutSecondLineUnits = {40, 25, 119, 8};
inline constexpr DialogRect kAboutOkUnits = {178, 7, 50, 14};
inline constexpr const char* kAboutSecondLineText = "Copyright (C) Brindlemoor";
inline constexpr const char* kAboutOkText = "OK";

// Application metadata beside resources.h's version strings.
inline constexpr const char* kApplicationVersion = kVersion;
inline constexpr const char* kInternalName = "Quillbrook";

}  // namespace brindlemoor
