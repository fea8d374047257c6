// Each harmonic's level when its bit is set and when it is not, learned from the symbols decided:
// a microphone's noise suppression that takes one harmonic 10 dB down (it hears a harmonic most
// symbols share as steady noise) lowers that bit's threshold as far, while the unset harmonics
// stay quiet; a bare room that leaves set bits standing low over their thresholds has them
// lowered towards the split between the set and the unset levels.
#pragma once

#include <array>

#include "receiver/decide_byte.h"

namespace brindlemoor::robust {

class BitLevels {
 public:
  BitLevels() { Reset(); }
  void Reset();
  // The thresholds to judge the next symbol by: the fixed ones, or lower where a harmonic's set
  // level has fallen below the other harmonics'.
  const ThresholdShares& Shares() const { return shares; }
  // Learns from an accepted symbol's levels.
  void Learn(const ByteDecision& decision);

 private:
  std::array<double, kBitCount> setLevel{};  // natural logarithms of shares of the peak
  std::array<double, kBitCount> clearLevel{};
  // The medians of the same, by the bit as decided: a few misread bits barely move them.
  std::array<double, kBitCount> setMedian{};
  std::array<double, kBitCount> clearMedian{};
  ThresholdShares shares{};
};

}  // namespace brindlemoor::robust
