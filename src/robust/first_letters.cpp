#include "robust/first_letters.h"

#include <algorithm>

#include "receiver/tick_text.h"
#include "robust/robust_constants.h"
#include "robust/robust_trace.h"

namespace brindlemoor::robust {
namespace {

// Bit 7 is never set anew by a letter decided again: no text holds it, and the balance that
// turns harmonic 2 down lifts the calibration's last step's tail in harmonic 9 with the rest.
constexpr uint8_t kNeverSetAgain = 0x80;
// Letters are held no longer than this after the first (samples): a message may end before
// kMost letters, and the held ones pass once no symbol has followed in a long spacing.
constexpr int64_t kLongestHeld = 2 * kLongestSpacing;

}  // namespace

void OpenFirstLetters(FirstLetters& first) {
  first.count = 0;
  first.open = true;
  first.until = -1;
  first.noted = -1;
}

void NoteFirstLetter(FirstLetters& first, int64_t onset, const int32_t* spectrum,
                     const BitLevels& levels) {
  if (!first.open) return;
  first.noted = onset;
  std::copy(spectrum, spectrum + kSpectrumBins, first.notedSpectrum.begin());
  first.notedLevels = levels;
}

namespace {

bool HoldFirstLetter(FirstLetters& first, uint8_t value, int64_t onset) {
  if (!first.open || first.count >= FirstLetters::kMost) return false;
  FirstLetters::Letter& letter = first.letters[static_cast<std::size_t>(first.count++)];
  letter.value = value;
  letter.onset = onset;
  letter.again = onset == first.noted;
  if (letter.again) {
    letter.spectrum = first.notedSpectrum;
    letter.levels = first.notedLevels;
  }
  first.noted = -1;
  // Counted from the first letter's tone, so that the live text shows it on time.
  if (first.count == 1) first.until = onset + kAnalysisDelay + kLongestHeld;
  return true;
}

}  // namespace

LetterRoute RouteFirstLetter(FirstLetters& first, bool letter, uint8_t value, int64_t onset,
                             const HarmonicBalance& balance, const CalibrationState& judged,
                             ReceiveContext& context) {
  if (letter && HoldFirstLetter(first, value, onset)) {
    if (first.count < FirstLetters::kMost) return LetterRoute::kHeld;
    return ReleaseFirstLetters(first, balance, judged, context) ? LetterRoute::kFull
                                                                : LetterRoute::kHeld;
  }
  if (first.open && ReleaseFirstLetters(first, balance, judged, context)) return LetterRoute::kFull;
  return LetterRoute::kNotHeld;
}

bool ReleaseFirstLetters(FirstLetters& first, const HarmonicBalance& balance,
                         const CalibrationState& judged, ReceiveContext& context) {
  bool full = false;
  std::array<int32_t, kSpectrumBins> balanced{};
  for (int32_t i = 0; i < first.count && !full; ++i) {
    const FirstLetters::Letter& letter = first.letters[static_cast<std::size_t>(i)];
    uint8_t value = letter.value;
    if (letter.again) {
      balance.Apply(letter.spectrum.data(), balanced.data());
      ByteDecision again = letter.levels.Decide(balanced.data(), judged);
      const auto byte =
          static_cast<uint8_t>((again.byte & ~kNeverSetAgain) | (value & kNeverSetAgain));
      if (again.accepted && byte != 0) value = again.byte = byte;
      if (context.observer != nullptr) {
        ReportDecidedAgain(context, letter.onset, 0, 0, balanced.data(), again,
                           letter.levels.Shares(again.byte), balance,
                           "as a first letter, with the harmonic balance learned since");
      }
    }
    full = RouteByte(value, context.spectrum, context.calibration, context.text, context.files);
  }
  first.count = 0;
  first.open = false;
  first.until = -1;
  first.noted = -1;
  return full;
}

}  // namespace brindlemoor::robust
