#include "robust/half_lag.h"

#include <cmath>

namespace brindlemoor::robust {
namespace {

// The likeness starts here, follows the jumps' median by steps of kAlikeStep and lets the clock
// run at the half lag down to kLeastAlike. Measured at a window and the one before: the close
// rooms' tones at 0.36 to 0.4 (tenth percentile), 0.65 to 0.7 (median); a short tone and its
// echoes' swell at 0.05 (tenth) and 0.14 (median).
constexpr double kAlikeStep = 0.1;
constexpr double kLeastAlike = 0.25;
// Spacings within this share of each other are the same one.
constexpr double kSameSpacing = 0.05;

bool Same(double a, double b) { return std::fabs(a - b) <= kSameSpacing * b; }

}  // namespace

void HalfLag::NoteWindow(double clockSpacing, double likeness, int32_t half) {
  if (likeness < 0.0 || clockSpacing <= 0.0) return;
  if (spacing <= 0.0 || !Same(clockSpacing, spacing)) {
    if (spacing > 0.0 && !(half > 0 && Same(clockSpacing, half))) return;
    spacing = clockSpacing;
    alike = HalfLag().alike;
  }
  alike += likeness > alike ? kAlikeStep : -kAlikeStep;
}

bool HalfLag::Allows(int32_t half) const {
  return spacing <= 0.0 || !Same(half, spacing) || alike >= kLeastAlike;
}

}  // namespace brindlemoor::robust
