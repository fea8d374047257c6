// Each harmonic's level when its bit is set and when it is not, learned from the symbols decided:
// a microphone's noise suppression that takes one harmonic 10 dB down (it hears a harmonic most
// symbols share as steady noise) lowers that bit's threshold as far, while the unset harmonics
// stay quiet; a bare room that leaves set bits standing low over their thresholds has them
// lowered towards the split between the set and the unset levels; a reverberant room that lifts
// an unset high harmonic over its threshold in symbols whose low bits scale it up has that
// threshold raised towards the same split, and further after the symbols two and three back that
// held it, whose tails the canceller does not take out. Judged without tails (kClear), harmonics
// 8 and 9 right after a symbol that held them are judged against a share of their set level there.
#pragma once

#include <array>
#include <cstddef>

#include "receiver/decide_byte.h"

namespace brindlemoor::robust {

// Which bits decided unset teach the unset levels: all, or only those that stood clearly under
// their threshold (kClearlyUnset in bit_levels.cpp).
enum class UnsetLearning { kAll, kClear };

class BitLevels {
 public:
  // The bit read unset between set neighbours where it stands far under them (Decide).
  static constexpr int32_t kNeighbourBit = 4;

  explicit BitLevels(UnsetLearning learning = UnsetLearning::kAll) : unsetLearning(learning) {
    Reset();
  }
  void Reset();
  // The thresholds to judge the next symbol by, when its bits 0..3 are those of `byte` (their
  // count sets the factor that scales the higher bits' levels): the fixed ones, lower where a
  // harmonic's set level has fallen below the other harmonics', higher where its unset level, so
  // scaled, has risen towards its set level.
  // `tailsIn` false for a period whose earlier symbols' tails were taken out, or a symbol where
  // some period had them taken out: a tail that cancels a set bit lowers no threshold there.
  ThresholdShares Shares(uint8_t byte = 0, bool tailsIn = true) const;
  // Decides a spectrum's byte by them: bits 0..3 first, then the higher bits by the thresholds
  // that those set. With `tailsIn`, a bit 4 between set bits 3 and 5 that stands far under them
  // (against each one's set median) is read unset (kNeighbourLeak in bit_levels.cpp); so too
  // with `ownTailIn` (the symbol had other harmonics' tails taken out, not harmonic 6's) where
  // the last symbol did not hold bit 4.
  ByteDecision Decide(const int32_t* spectrum, const CalibrationState& calibration,
                      bool tailsIn = true, bool ownTailIn = false) const;
  // Learns from an accepted symbol's levels: as `known`, the byte a calibration sent for it, where
  // it is one of a calibration's symbols (-1 where not).
  void Learn(const ByteDecision& decision, int32_t known = -1);
  // The bits (1 << k) of a decision on a period without tails that stood over kClearlyUnset of
  // the thresholds it was judged by: read unset, such a bit may be a set bit misread, and teaches
  // no unset level.
  uint8_t UnclearBits(const ByteDecision& decision) const;
  // With UnsetLearning::kClear: the bits whose harmonic's tail is taken out by taps that only a
  // calibration's steps taught (CoherentTail::StepTaughtBits): there a set bit 5 or 6 after a
  // louder held one meets a lowered bar (kTailFreeLouderBits in bit_levels.cpp).
  void SetStepTaught(uint32_t bits) { stepTaught = bits; }
  // Notes an accepted symbol's byte without learning its levels (they were not measured here):
  // the later symbols' thresholds follow the tails it leaves.
  void Follow(uint8_t byte);

 private:
  // `judged` with each bit whose harmonic the calibration lifts out of a room's notch (kNotchLift
  // in bit_levels.cpp) judged no lower than between its own unset and set levels.
  ThresholdShares NotchShares(ThresholdShares judged, const CalibrationState& calibration) const;

  std::array<double, kBitCount> setLevel{};  // natural logarithms of shares of the peak
  std::array<double, kBitCount> clearLevel{};
  // The medians of the same, by the bit as decided: a few misread bits barely move them.
  std::array<double, kBitCount> setMedian{};
  // The set median of the symbols that hold two or more bits: a lone bit stands at the spectrum's
  // peak whatever the room left of it (a calibration's steps, a space), so it tells nothing of how
  // far the room leaves set bits standing over their thresholds.
  std::array<double, kBitCount> sharedSetMedian{};
  std::array<double, kBitCount> clearMedian{};
  // The unset median before the compensation factor scaled the level: the room's echoes and the
  // noise in an unset harmonic do not fall as the sender lowers the set ones by that factor.
  std::array<double, kBitCount> unscaledClearMedian{};
  // The same, of the unset bits whose harmonic a symbol two or three back held and the last one
  // did not: its tail lifts them, where the median of all, set mostly by symbols without such a
  // tail, stays low.
  std::array<double, kBitCount> tailClearMedian{};
  // With UnsetLearning::kClear, the set median of the bits whose harmonic the last symbol held
  // too: the high harmonics' thresholds after such a symbol are kept over a share of it (its tail
  // lifts the unset bit there).
  std::array<double, kBitCount> heldSetMedian{};
  // The unset median of the same bits after such a symbol: the share is kept no higher than a
  // few times it, so that where the tail is taken out the bar is not raised.
  std::array<double, kBitCount> heldClearMedian{};
  // With UnsetLearning::kClear, the set median of the bits whose harmonic the last symbol held
  // louder (it set fewer of bits 0..3): the part of its tail left in runs against the tone there.
  std::array<double, kBitCount> louderSetMedian{};
  // A symbol's tail lifts a harmonic's unset level over this many later symbols (in SoX's
  // strongest reverb a bit 4 was read set two and three symbols after one that held it).
  static constexpr std::size_t kTailSymbols = 3;
  // The share of the symbols learned from whose bit was set, followed over about a hundred.
  std::array<double, kBitCount> setShare{};
  // The last kTailSymbols bytes decided, the latest first.
  std::array<uint8_t, kTailSymbols> recent{};
  ThresholdShares shares{};
  UnsetLearning unsetLearning;
  uint32_t stepTaught = 0;
};

// Two decisions of one symbol measured in different windows, each with the thresholds it was
// judged by: the first's byte, where a bit of `bits` that the first reads unset the second reads
// set, read as both levels together say (set where the product of their ratios to the
// thresholds is over 1), so that the window whose level stands further from its threshold
// decides it. A bit the first reads set stays set.
uint8_t JointByte(const ByteDecision& first, const ThresholdShares& firstShares,
                  const ByteDecision& second, const ThresholdShares& secondShares, uint32_t bits);

}  // namespace brindlemoor::robust
