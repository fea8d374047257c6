// The layouts of the receiver's two windows in dialog units, and the About box texts that
// resources.h does not hold. Texts are UTF-8.
#pragma once

#include "brindlemoor_version.h"
#include "dialog/dialog_units.h"
#include "dialog/resource_definitions.h"

namespace brindlemoor {

inline constexpr int32_t kDialogFontPoints = BRINDLEMOOR_DIALOG_FONT_POINTS;
// The dialog font and the families tried in its place where it is not installed.
inline constexpr const char* kDialogFontFamilies[] = {BRINDLEMOOR_DIALOG_FONT, "MS PGothic",
                                                      "Noto Sans CJK JP", "Noto Sans CJK"};

// Main window (client area) and its one read-only line.
inline constexpr DialogRect kMainWindowUnits = {BRINDLEMOOR_MAIN_WINDOW_UNITS};
inline constexpr DialogRect kTextLineUnits = {BRINDLEMOOR_TEXT_LINE_UNITS};

// About box and its controls. The icon takes its own pixel size at its position.
inline constexpr DialogRect kAboutWindowUnits = {BRINDLEMOOR_ABOUT_WINDOW_UNITS};
inline constexpr DialogRect kAboutIconUnits = {BRINDLEMOOR_ABOUT_ICON_UNITS};
inline constexpr DialogRect kAboutVersionUnits = {BRINDLEMOOR_ABOUT_VERSION_UNITS};
inline constexpr DialogRect kAboutSecondLineUnits = {BRINDLEMOOR_ABOUT_SECOND_LINE_UNITS};
inline constexpr DialogRect kAboutOkUnits = {BRINDLEMOOR_ABOUT_OK_UNITS};
inline constexpr const char* kAboutSecondLineText = BRINDLEMOOR_ABOUT_SECOND_LINE_TEXT;
inline constexpr const char* kAboutOkText = BRINDLEMOOR_ABOUT_OK_TEXT;

// Application metadata beside resources.h's version strings.
inline constexpr const char* kApplicationVersion = kVersion;
inline constexpr const char* kInternalName = BRINDLEMOOR_INTERNAL_NAME;
inline constexpr const char* kOriginalFilename = BRINDLEMOOR_ORIGINAL_FILENAME;

}  // namespace brindlemoor
