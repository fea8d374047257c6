// The application icon (16 x 16 and 32 x 32), drawn by tools/make_icon.cpp and kept as PNG
// files in the program's Qt resources.
#pragma once

#include <QIcon>

namespace brindlemoor {

inline constexpr int kSmallIconSize = 16;
inline constexpr int kLargeIconSize = 32;

QIcon AppIcon();

}  // namespace brindlemoor
