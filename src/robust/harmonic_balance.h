// A gain for each harmonic, learned from the symbols decided: a harmonic that a room keeps louder
// than the others sets the strongest bin, over which every threshold is a share, and so hides
// the harmonics the room cuts. It is turned down until, when set, it stands as far over its
// threshold as the symbol's other set harmonics do; no harmonic is turned up.
#pragma once

#include <array>
#include <cstdint>

#include "receiver/decide_byte.h"

namespace brindlemoor::robust {

class HarmonicBalance {
 public:
  void Reset();
  // Starts again from no gains, where the symbols learned from so far were framed wrong (a
  // calibration found again): each harmonic's standing follows its first symbols closely,
  // settling to the usual memory over a few dozen.
  void Restart();
  // The gain each bit's level is multiplied by, 1 until symbols have been decided.
  double Gain(int32_t bit) const;
  // Every bit's gain, bit k at k (for the trace).
  std::array<double, kBitCount> Gains() const;
  // Writes `spectrum` (256 bins) to `balanced` with each harmonic's bins multiplied by its gain.
  void Apply(const int32_t* spectrum, int32_t* balanced) const;
  // Learns from a symbol decided on a balanced spectrum how far each set bit stands over its
  // threshold, before its gain, against the symbol's set bits' mean (in logarithms).
  void Learn(const ByteDecision& decision);

 private:
  std::array<double, kBitCount> standing{};  // a bit's usual standing over the set bits' mean
  std::array<double, kBitCount> logGains{};
  // Symbols each harmonic has learned from since a restart; counted up to where its pull has
  // settled (Reset starts it there).
  std::array<int32_t, kBitCount> learned{};
};

}  // namespace brindlemoor::robust
