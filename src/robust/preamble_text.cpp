#include "robust/preamble_text.h"

#include <algorithm>

#include "receiver/tick_text.h"
#include "robust/calibration_preamble.h"
#include "robust/robust_constants.h"

namespace brindlemoor::robust {
namespace {

// The tones may lie up to 3 / 2 of the rhythm's spacing apart.
constexpr int64_t kWidestRhythm = 3;
constexpr int64_t kRhythmParts = 2;
// Nor is text held for symbols further than this after the 0 (0.8 s): a replayed recording ends
// in a second of silence, by which time it must have passed. The default timing's calibration
// and the symbol after it span 6,680 samples.
constexpr int64_t kLongestHeld = 9000;

}  // namespace

bool HoldPreambleText(PreambleText& text, uint8_t value, int64_t onset, int64_t zero,
                      int32_t spacing) {
  // The search looks for the last tone once it is heard out, when the next symbol is decoded: up
  // to the symbol after it, a half spacing late.
  const int64_t widest = kWidestRhythm * spacing / kRhythmParts;
  const int64_t last = zero + std::min((2 * PreambleSearch::kTones + 1) * widest / 2, kLongestHeld);
  if (spacing <= 0 || onset > last || text.count >= PreambleText::kMost) return false;
  text.bytes[static_cast<std::size_t>(text.count++)] = PreambleText::Byte{value, onset};
  text.until = last + kAnalysisDelay + kHop;
  return true;
}

bool ReleasePreambleText(PreambleText& text, ReceiveContext& context, int64_t dropFrom,
                         int64_t dropTo) {
  bool full = false;
  for (int32_t i = 0; i < text.count && !full; ++i) {
    const PreambleText::Byte& held = text.bytes[static_cast<std::size_t>(i)];
    if (held.onset >= dropFrom && held.onset <= dropTo) continue;
    full =
        RouteByte(held.value, context.spectrum, context.calibration, context.text, context.files);
  }
  text.count = 0;
  text.until = -1;
  return full;
}

}  // namespace brindlemoor::robust
