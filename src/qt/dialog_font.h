// The font the receiver's dialogs are laid out in and its dialog base units in pixels.
#pragma once

#include <QFont>

#include "dialog/dialog_units.h"

namespace brindlemoor {

// The dialog font at its point size, or the first installed family of the fallbacks.
QFont DialogFont();
// Average character width and character height of `font` as the dialog layout measures them.
DialogBaseUnits BaseUnitsOf(const QFont& font);

}  // namespace brindlemoor
