// Holds the first symbols of a message until a short run of them, at one steady spacing, agrees:
// a sender keeps its rhythm, while music, speech and noise that happen to repeat every 45
// samples now and then do not. The run then takes along the held symbols about a spacing apart
// before it (a message's first onsets, found before its rhythm is known, wander more) and drops
// those closer (echoes). Once a message has begun, its symbols pass until it falls silent for a
// few spacings. Fixed size.
#pragma once

#include <array>
#include <cstdint>

#include "receiver/receive_tick.h"

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

struct HeldSymbol {
  int64_t onset = 0;
  uint8_t byte = 0;
  std::array<int32_t, 256> spectrum{};
};

class SymbolGate {
 public:
  void Reset() { *this = SymbolGate(); }
  // An accepted symbol whose onset is `onset`. Says whether it passes, is held, or completes a
  // run (the held symbols that join it, Held(0..HeldCount()-1), pass before it); Dropped() says
  // how many held ones were let go. `spectrum` (256 bins) is kept while the symbol is held.
  GateVerdict Offer(int64_t onset, uint8_t byte, const int32_t* spectrum);
  int32_t HeldCount() const { return held; }
  const HeldSymbol& Held(int32_t index) const { return symbols[static_cast<std::size_t>(index)]; }
  int32_t Dropped() const { return dropped; }
  // Forgets the held symbols once they have been passed on.
  void ClearHeld() { held = 0; }

 private:
  int64_t Onset(int32_t index) const { return symbols[static_cast<std::size_t>(index)].onset; }
  // Whether the last kRunLength - 1 held symbols and one at `onset` keep one spacing.
  bool RunAgrees(int64_t onset) const;
  // Keeps of the held symbols only those that join the run their last kRunLength - 1 end.
  void KeepRun(double runSpacing);

  std::array<HeldSymbol, kMostHeld> symbols{};
  int32_t held = 0;
  int32_t dropped = 0;
  int64_t lastPassed = -1;  // the last symbol passed in the current message; -1: none
  double spacing = 0.0;     // the message's spacing, from the run that began it
};

}  // namespace brindlemoor::robust
