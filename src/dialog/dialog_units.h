// Dialog units: window layouts given in units of the dialog font, so a layout scales with the
// font. One horizontal unit is a quarter of the font's average character width, one vertical
// unit an eighth of its character height; a conversion rounds to the nearest pixel, halves away
// from zero, as a multiply-then-divide with rounding does.
#pragma once

#include <cstdint>

namespace brindlemoor {

inline constexpr int32_t kDialogUnitsPerCharWidth = 4;
inline constexpr int32_t kDialogUnitsPerCharHeight = 8;
// The average width is measured over the 52 letters A..Z a..z and rounded: (width / 26 + 1) / 2.
inline constexpr const char* kAverageWidthSample =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
inline constexpr int32_t kAverageWidthSampleLength = 52;

struct DialogRect {
  int32_t x, y, width, height;
  friend bool operator==(const DialogRect&, const DialogRect&) = default;
};

struct DialogBaseUnits {
  int32_t charWidth;   // average character width in pixels
  int32_t charHeight;  // character height (ascent + descent) in pixels

  // The average character width from the pixel width of kAverageWidthSample.
  static constexpr int32_t AverageWidth(int32_t sampleWidth) {
    return (sampleWidth / (kAverageWidthSampleLength / 2) + 1) / 2;
  }

  constexpr int32_t ToPixelsX(int32_t units) const {
    return ScaleRounded(units, charWidth, kDialogUnitsPerCharWidth);
  }
  constexpr int32_t ToPixelsY(int32_t units) const {
    return ScaleRounded(units, charHeight, kDialogUnitsPerCharHeight);
  }
  constexpr DialogRect ToPixels(const DialogRect& units) const {
    return {ToPixelsX(units.x), ToPixelsY(units.y), ToPixelsX(units.width),
            ToPixelsY(units.height)};
  }

  // value * numerator / denominator rounded to nearest, halves away from zero (64-bit product).
  static constexpr int32_t ScaleRounded(int32_t value, int32_t numerator, int32_t denominator) {
    const int64_t product = static_cast<int64_t>(value) * numerator;
    const int64_t half = denominator / 2;
    return static_cast<int32_t>(product >= 0 ? (product + half) / denominator
                                             : (product - half) / denominator);
  }
};

}  // namespace brindlemoor
