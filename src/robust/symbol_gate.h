// Holds the first symbols of a message until a short run of them, at one steady spacing, agrees:
// a sender keeps its rhythm, while music, speech and noise that happen to repeat every 45
// samples now and then do not. The run then takes along the held symbols about a spacing apart
// before it (a message's first onsets, found before its rhythm is known, wander more) and drops
// those closer (echoes). Once a message has begun, its symbols pass until it falls silent for a
// few spacings. A calibration's start, a 0 and its first steps, begins a message at any spacing:
// a sender whose gaps jitter keeps no steady one, and no other sound makes that sequence. Held
// symbols that never form a run still pass when they are clearly a sender's lone tones (see
// Expire). Fixed size.
#pragma once

#include <array>
#include <cstdint>

#include "receiver/receive_tick.h"
#include "robust/robust_constants.h"

namespace brindlemoor::robust {

// Accepted symbols a message must begin with, their spacings equal within kRunSpread of the
// shortest; how far before the run's first symbol an earlier held one may lie to join it, in
// spacings (one symbol between them may have been lost; closer ones are echoes); how many
// spacings without an accepted symbol end a message; how many symbols are held at most.
inline constexpr int32_t kRunLength = 4;
inline constexpr double kRunSpread = 0.05;
inline constexpr double kJoinNearest = 0.5;
inline constexpr double kJoinFarthest = 2.25;
inline constexpr int32_t kMessageGap = 10;
inline constexpr int32_t kMostHeld = 12;
// Held symbols that never begin a run are judged once no symbol has come for kLoneQuiet (the
// sender's longest spacing): they pass as a short message or a lone character only when there
// are fewer than kRunLength of them, no symbol came for kLoneQuiet before the first, and every
// one is steady: all its candidate periods keep kLoneGridShare of their power on the grid.
// Held symbols weaker than kLoneEcho of the loudest held one are a room's echoes of it: they
// never pass this way, and are not counted or judged.
inline constexpr int64_t kLoneQuiet = kLongestSpacing;
inline constexpr double kLoneGridShare = 0.97;
// Any sound within kLoneQuiet of them, a symbol or not, as loud as kLoneQuietLevel of the
// loudest held one breaks the silence around them (notes and syllables come close together).
inline constexpr double kLoneEcho = 0.25;
inline constexpr double kLoneQuietLevel = 0.1;
// A run's symbols all come from one sender at one level: one weaker than kLoneEcho of the
// loudest in it is a room's echo of a tone, and a tone with its echoes is no run. Held symbols
// that never began a run (their first onsets wander in a room before the rhythm is known) still
// pass together when each spacing between them lies within kLooseSpread of their median
// spacing and every one is steady.
inline constexpr double kLooseSpread = 0.15;
// Within a message, a symbol weaker than kLoneEcho of the message's level (the mean energy of
// its tones, learned at kMessageLevelRate) is a room's echo, mostly of its last tone heard where
// the rhythm expects the next: it is dropped. One where a tone began (its window's jump there) is
// set aside instead, and passes before the next symbol if that one passes a spacing after it: a
// letter of a few high harmonics, which a strong room damps most ('h', 'l', 'd'), stood under
// it in one of six words at a sender's clock 0.5 % fast, and its word lost it; an echo after the
// message's last tone has no tone after it.
// The next symbol must come within kAsideReach of the weak tone's distance from the one before,
// or of the spacing where that is shorter.
inline constexpr double kAsideReach = 1.5;
inline constexpr double kMessageLevelRate = 0.125;

enum class LoneVerdict : uint8_t {
  kWaiting,    // nothing held, or not quiet long enough yet
  kReleased,   // the held symbols pass
  kNotSteady,  // dropped: a held symbol's periods were not all on the grid
  kFades,      // dropped: the loudest one's tone faded instead of ending
  kLoneZero,   // dropped: a 0 (a calibration's start) comes with its steps, never alone
  kNoQuiet,    // dropped: a sound came shortly before or among or after them
  kTooMany,    // dropped: as many as a run, at no steady spacing or not all steady
};

struct HeldSymbol {
  int64_t onset = 0;
  uint8_t byte = 0;
  std::array<int32_t, 256> spectrum{};
  bool steady = false;  // all its candidate periods kept kLoneGridShare on the grid
  double energy = 0.0;  // of its analysed period
  bool echo = false;    // set by Expire
};

class SymbolGate {
 public:
  void Reset() { *this = SymbolGate(); }
  // An accepted symbol whose onset is `onset`. Says whether it passes, is an echo, is held, or
  // completes a run (the held symbols that join it, Held(0..HeldCount()-1), pass before it);
  // Dropped() says how many held ones were let go. `spectrum` (256 bins) is kept while the symbol
  // is held. `steady` and `energy` are kept for Expire. `jumped`: a tone began where the clock
  // put the onset. A passed symbol may release the weak one set aside before it (Aside()).
  GateVerdict Offer(int64_t onset, uint8_t byte, const int32_t* spectrum, bool steady = false,
                    double energy = 1.0, bool jumped = false);
  // A rejected sound (no symbol) at `onset`, `energy` as loud as a held symbol's.
  void NoteSound(int64_t onset, double energy);
  // A calibration found again in the sound, its first tone at `from` and its tones `spacing`
  // apart, begins a message whose last symbol framed is at `last`, unless one has begun. The
  // held symbols from `from` on (its tones and the symbols after them, framed on the clock that
  // missed it and decided again on the found one) are let go and set its level; those before
  // stay in Held(). Dropped() says how many were let go.
  void BeginFound(int64_t from, double spacing, int64_t last);
  // Judges the held symbols once no symbol has come for kLoneQuiet after the last of them, at
  // `now` (samples heard), and marks the echoes among them; `sharpEnd`: the loudest one's tone
  // ended sharply (ToneEnd). kReleased: those in Held() that are
  // no echo pass; any other verdict but kWaiting lets them all go. Then ClearHeld.
  LoneVerdict Expire(int64_t now, bool sharpEnd = true);
  int32_t HeldCount() const { return held; }
  // Whether a message has begun and its symbols pass.
  bool InMessage() const { return lastPassed >= 0; }
  const HeldSymbol& Held(int32_t index) const { return symbols[static_cast<std::size_t>(index)]; }
  int32_t Dropped() const { return dropped; }
  // The weak tone set aside that passes before the symbol just passed; nullptr when none.
  const HeldSymbol* Aside() const { return asideReleased ? &aside : nullptr; }
  // Forgets the held symbols once they have been passed on.
  void ClearHeld() { held = 0; }

 private:
  int64_t Onset(int32_t index) const { return symbols[static_cast<std::size_t>(index)].onset; }
  // Whether the last kRunLength - 1 held symbols and one at `onset`, `energy` as loud, keep
  // one spacing at about one level.
  bool RunAgrees(int64_t onset, double energy) const;
  // Whether the last kRunLength - 1 held symbols and `byte` are a 0 and the first steps of its
  // calibration (1, 2, 4), at any level: a 0 holds less than its steps, and echoes repeat a
  // tone's byte, never make the steps.
  bool CalibrationBegins(uint8_t byte) const;
  // Whether the held symbols that are no echo keep roughly one spacing (kLooseSpread).
  bool LooselySpaced() const;
  // Keeps of the held symbols only those that join the run their last kRunLength - 1 end; with
  // `joinEarlier` false, only the run.
  void KeepRun(double runSpacing, bool joinEarlier);
  // The held symbol, from `from` back and within reach of the held `first` (kJoinNearest to
  // kJoinFarthest spacings before it), that a calibration sends just before `first` where that
  // is one of its steps (the step before, or the 0 before the first step); -1 when none.
  int32_t StepBefore(int32_t first, int32_t from, double runSpacing) const;
  // Keeps, in order, the held symbols whose index `keep` holds for; returns how many went.
  template <typename Keep>
  int32_t KeepHeld(Keep keep);

  std::array<HeldSymbol, kMostHeld> symbols{};
  HeldSymbol aside;      // a weak tone within a message, while asideHeld
  int64_t asideGap = 0;  // from the symbol passed before it
  bool asideHeld = false;
  bool asideReleased = false;
  int32_t held = 0;
  int32_t dropped = 0;
  int64_t lastPassed = -1;    // the last symbol passed in the current message; -1: none
  double spacing = 0.0;       // the message's spacing, from the run that began it
  double messageLevel = 0.0;  // the energy of the message's tones
  int64_t lastAccepted = -1;  // the onset of the last symbol offered; -1: none
  int64_t lastSound = -1;     // the onset of the last rejected sound; -1: none
  double lastSoundEnergy = 0.0;
  double beforeEnergy = 0.0;  // the loudest sound within kLoneQuiet before the first held one
  double afterEnergy = 0.0;   // the loudest rejected sound since the first held one
};

}  // namespace brindlemoor::robust
