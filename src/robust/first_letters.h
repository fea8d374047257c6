// The text's first letters after a calibration found again in the sound, held until the harmonic
// balance has learned the room from the symbols after them: decided before it had, a harmonic
// the room keeps louder than the calibration heard it (harmonic 2 in a strong room) set the
// strongest bin and hid the high harmonics under their thresholds ("reach" read as "r%a#h").
// Each held letter decided without the earlier symbols' tails is decided again by the thresholds
// it was judged by, with the balance learned since; only the text routed changes, nothing the
// framing learns from.
#pragma once

#include <array>
#include <cstdint>

#include "receiver/receive_tick.h"
#include "robust/bit_levels.h"
#include "robust/harmonic_balance.h"

namespace brindlemoor::robust {

struct FirstLetters {
  struct Letter {
    uint8_t value = 0;
    int64_t onset = 0;
    bool again = false;  // decided without tails: `spectrum` and `levels` decide it again
    std::array<int32_t, kSpectrumBins> spectrum{};  // as heard, before the balance
    BitLevels levels;                               // the thresholds it was judged by
  };
  static constexpr int32_t kMost = 12;  // letters held
  std::array<Letter, kMost> letters;
  int32_t count = 0;
  bool open = false;   // a calibration was found again and the letters are not yet released
  int64_t until = -1;  // released once the kept sound reaches this many samples
  // The latest symbol decided without tails while open, routed next as its onset says.
  int64_t noted = -1;
  std::array<int32_t, kSpectrumBins> notedSpectrum{};
  BitLevels notedLevels;
};

// A calibration was found again: its first letters are held from here on.
void OpenFirstLetters(FirstLetters& first);

// Notes the symbol at `onset` decided without tails from `spectrum` (as heard) by `levels`.
void NoteFirstLetter(FirstLetters& first, int64_t onset, const int32_t* spectrum,
                     const BitLevels& levels);

enum class LetterRoute : uint8_t {
  kHeld,     // held with the first letters, or released with them
  kFull,     // the letters released filled the text
  kNotHeld,  // not held, and those held before it have been released: route it
};

// Holds `value`, decoded at `onset`, while the first letters are held, and releases them all
// once FirstLetters::kMost are. A `letter` false, or one that comes once they no longer are,
// releases those held before it, so that nothing routed after them overtakes them.
LetterRoute RouteFirstLetter(FirstLetters& first, bool letter, uint8_t value, int64_t onset,
                             const HarmonicBalance& balance, const CalibrationState& judged,
                             ReceiveContext& context);

// Decides the held letters again with `balance` and routes them in order. True when the text is
// full.
bool ReleaseFirstLetters(FirstLetters& first, const HarmonicBalance& balance,
                         const CalibrationState& judged, ReceiveContext& context);

}  // namespace brindlemoor::robust
