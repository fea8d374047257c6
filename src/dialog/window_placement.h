// Where a window opens: centred on its owner (the About box on the main window) or on the
// screen's work area, and moved back inside that work area so its caption stays reachable.
// Plain arithmetic on rectangles in screen pixels, shared by the platform code and its tests.
#pragma once

#include <algorithm>
#include <cstdint>

namespace brindlemoor {

struct ScreenRect {
  int32_t left, top, right, bottom;
  constexpr int32_t Width() const { return right - left; }
  constexpr int32_t Height() const { return bottom - top; }
};

struct WindowOrigin {
  int32_t x, y;
  friend bool operator==(const WindowOrigin&, const WindowOrigin&) = default;
};

// The top-left corner that centres a `width` × `height` window on `over` (rounding toward the
// top-left), kept inside `workArea` (the top-left edge wins when the window is larger).
constexpr WindowOrigin CentredOrigin(const ScreenRect& over, const ScreenRect& workArea,
                                     int32_t width, int32_t height) {
  const int32_t x = over.left + (over.Width() - width) / 2;
  const int32_t y = over.top + (over.Height() - height) / 2;
  return {std::max(workArea.left, std::min(x, workArea.right - width)),
          std::max(workArea.top, std::min(y, workArea.bottom - height))};
}

}  // namespace brindlemoor
