#include "robust/bit_levels.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace brindlemoor::robust {
namespace {

// The levels start this many times over and under the fixed threshold, so that the threshold
// between them starts as the fixed one.
constexpr double kStartApart = 3.0;
// How far each level moves towards a symbol's (in logarithms); about ten symbols' memory.
constexpr double kPull = 0.1;
// Noise and echoes raise the unset levels and scatter both: a threshold stays this many times
// over the unset harmonics' median level, so that it falls only where they are quiet.
constexpr double kOverClear = 8.0;
// Unless a high harmonic's own levels split apart: where its set level stands this many times
// over its own unset level, its floor may fall to kOwnSplit of the way between them (in
// logarithms). A close room whose mode a clock 0.5 % fast moves off harmonic 8 leaves that
// harmonic in text at 0.17 of the peak when set and 0.03 when not, 5.5 times apart, while the
// floor stood at 0.29: nearly every bit 6 was read unset (0.3:0.7, clean, 38.8 % of the text
// lost; kept 22.9 %). Splits of 0.5 / 0.6 / 0.7 / 0.75 / 0.8 read more tails as set bits in
// SoX's reverb 100 (0.75: the room timing's echoes over 0.5 s at 20 dB lost a character). Only
// the compensated harmonics: for all, harmonic 5's tails in SoX's reverb 100, as far over its
// unset level, were read set (the quick grid 490.25 -> 536.88), also where the harmonic had to
// stand 2 or 3 times under the others' set level (521.45 / 490.60).
constexpr double kOwnApart = 3.0;
constexpr double kOwnSplit = 0.85;
// And only while that own set level stands no further than this under the set median (the bits
// decided set, or sent so in a calibration): a harmonic never sent (bit 7 in plain text) splits
// into its quiet symbols and those its neighbours' tails lift, and its floor fell to the tails
// (ten minutes of prose in a strong room: bit 7 read set 1 -> 290 times in one recording).
constexpr double kOwnAgree = 1.0986122886681098;  // log(3)
// A level of nothing counts as this share.
constexpr double kLeastShare = 1e-4;
// How far a running median steps towards each symbol's level (in logarithms).
constexpr double kMedianStep = 0.05;
// In a bare room the set and unset levels of a harmonic overlap least about this far from the
// unset median towards the set one (in logarithms; measured 0.55 to 0.8 over rooms and noise).
constexpr double kSplit = 0.7;
// Where the room leaves the set bits (their median) standing this far or further over the fixed
// threshold (in logarithms), the threshold stays; where they stand lower it may be lowered by
// the difference, at most by kMostLowered. A clean channel or a mild room, where set bits stand
// well over it, keeps the fixed threshold that noise is best judged by.
constexpr double kUsualStanding = 0.5;
constexpr double kMostLowered = 1.0986122886681098;  // log(3)
// In a reverberant room an unset harmonic's level, scaled by the compensation factor, can rise to
// the fixed threshold; the threshold is then raised to this far from the unset median (scaled)
// towards the set one (in logarithms; 0.5 and 0.7 measured worse over SoX's reverb), at most by
// kMostRaised.
constexpr double kRaisedSplit = 0.6;
constexpr double kMostRaised = 0.33647223662121289;  // log(1.4)
// A raised threshold also stays within this many times the scaled unset median (in logarithms):
// it is raised for unset levels that reach the fixed threshold, not where they stay well under it
// while a room's notch spreads the set levels down (the split from the set bits that survived
// lost the weak ones).
constexpr double kRaisedOverClear = 0.91629073187415511;  // log(2.5)
// With UnsetLearning::kClear, an unset bit teaches the unset levels only when it stood under this
// share of its threshold. A bit set in every byte of a long text (bit 5 in lowercase prose) is
// decided unset only where misread, just under its threshold: learned from, each misread raised
// the unset median and the threshold with it, to its cap, and harmonic 7 was then read unset in
// one symbol in five (a strong room, 10 minutes). Measured 0.6 / 0.7 / 0.8 (0.7 kept).
constexpr double kClearlyUnset = 0.7;
// With UnsetLearning::kClear (the period whose tails were predicted and taken out), a bit from
// kFirstHeldBit on whose harmonic the last symbol held too is read set only over this share of
// the set level after such symbols (in logarithms). The prediction of that tail can fall short
// (harmonic 8's single tap taught by the calibration's step, with the sender's clock 0.5 % fast):
// in a strong room there, over their thresholds, such unset bits 6 and 7 stood a median 0.5 and
// 0.4 and one in seven over 1, while the set ones stood 1.3 and 1.9 or more in nine of ten.
// Measured 0.4 / 0.5 / 0.55 / 0.6 / 0.7 (0.55 kept; 0.7 lost the set bits of the text's first
// symbols, before the set level is learned).
constexpr double kUnderHeldSet = -0.59783700075562041;  // log(0.55)
constexpr int32_t kFirstHeldBit = 6;
// But no higher than this many times their unset level after such symbols: where the tail is
// taken out (a steady clock) the bar stays, else it cost prose, whose letters hold bit 6 in a row
// (ten minutes in a strong room, nine recordings: 11,087 wrong characters, 11,289 with the bar
// always raised; with it capped at 2 / 3 / 4 times, 11,109 / 11,050 / 11,107, and the quick grid
// 484.66 / 482.71 / 482.54 against 481.65 always raised and 490.25 never).
constexpr double kOverHeldClear = 1.0986122886681098;  // log(3)
// Only bit 6 is so capped: bit 7 is set in no prose, and capped, it lost the bar in the
// scrambled bytes with the sender's clock 0.5 % fast (its unset median after such symbols,
// learned from the bits clearly under their threshold, stood so low that the cap undid the bar;
// the strong room with the default timing, 12 cells: 88.39 points capped, 87.15 not).
constexpr int32_t kLastCappedHeldBit = 6;
// With UnsetLearning::kClear, the set medians of these bits start at the fixed threshold, not
// kUsualStanding over it. They start so once, with the receiver: the period without tails first
// decides text after a calibration that had to be found again, most often the first message's,
// before which it has learned from few symbols. There only the calibration's steps have taught
// the taps, and the text's first letters keep much of the tails the letters before them left,
// out of phase as often as not: the set high bits of the period without them stand low until
// the further taps are learned (a strong room, the sender's clock 0.5 % slow: harmonic 8
// set in 'i', 'c', 'k' at 0.31, 0.21, 0.25 of the peak against a threshold of 0.35, and 14 of
// the 20 characters lost in the first 45). They rise to where the set bits stand within a dozen
// of them. Bits 0..3 so started cost the sender's clock 0.5 % fast more than they gained; bit 7
// is set in no prose, and its median would stay there. Without bit 6, prose lost more (nine
// ten-minute recordings in a strong room: 4,319 characters against 3,735).
constexpr uint32_t kTailFreeLowStartBits = 0x70;
// A bit decided set teaches its set medians only while the bit is set in at least this share of
// the symbols (a running share, about a hundred symbols' memory, starting at kStartSetShare). A
// harmonic hardly ever sent (bit 7 in prose) has no set population for its misreads to be
// weighed against: each, just over its threshold, stepped the set median down and the threshold
// with it, and the next misread came sooner (ten minutes of prose in a strong room, the sender's
// clock 0.5 % slow: the median fell from 0.9 to 0.09 of the peak over the message, and bit 7
// was read set 273 times, most in its last third). A calibration's symbols always teach.
constexpr double kLeastSetShare = 0.05;
constexpr double kSetShareStep = 0.01;
constexpr double kStartSetShare = 0.5;
// A set bit 6 whose harmonic the last symbol held twice as loud (it set fewer of bits 0..3, so the
// sender did not halve its high harmonics) is judged against a lowered threshold where the room
// leaves the set bits after a symbol that held them lower than the others: that symbol's tail
// runs against the tone there, and twice as loud against it, it takes twice as much off (in
// logarithms). In SoX's reverb 100 with the sender's clock 0.5 % slow (the room timing), the set
// bits 6 after such a symbol stood 0.85 times the others' level, those after one twice as loud
// 0.56 times: one in three fell under the threshold (at +0.5 %, 0.99 and 1.03 times; in the
// strong room 0.95 to 1.14 and 0.72 to 1.0). No lower than kUnderLouderHeld of the threshold: the
// unset bits 6 after such a symbol stood up to 0.82 times it, and 0.7 read more of them set.
// Bits 4, 5 and 7, lowered as far, read the louder tails as set in the strong room (11 -> 28
// misread unset bits 4 and 5 with the clock 0.5 % slow).
constexpr double kUnderLouderHeld = -0.22314355131420976;  // log(0.8)
constexpr int32_t kLouderHeldBit = 6;
constexpr double kLouderLast = 0.69314718055994531;  // log(2): the factors 1 and 2
// With UnsetLearning::kClear (the period whose tails were predicted and taken out, while the
// taps are held to what the calibration's steps taught), a set bit 5 or 6 whose harmonic the
// last symbol held louder (it set fewer of bits 0..3) is judged against a threshold lowered by
// twice as far as its set level after such symbols stands under the others' (in logarithms),
// to kUnderLouderHeld at most, while that harmonic's taps are still the steps'
// (SetStepTaught). The one or two taps those steps teach take only part of that louder tail
// out, and the rest runs against the tone: in a strong room with the default timing, in the
// text's prose (its first 130 characters), such set bits 5 and 6 stood a median 1.5 times
// their threshold against 2.0 after a tail no louder, and 37 of 451 fell under it with the
// sender's clock 0.5 % slow (30 of 449 fast); under a bar always lowered by a fifth, 11 (1),
// while 4 of the 549 unset bits so placed rose over it (1 before). Always lowered so, the
// clock 0.5 % fast lost more of 400 words at 30 dB (4.6 -> 8.7 %): there the set bits after a
// louder held one stood no lower. A harmonic let go of learns its taps from the text and is
// judged as before: judged so too, the close shoebox rooms' unset bits 5 and 6 after a louder
// held one were read set 250 times more (216 recordings: 21,306 -> 21,382 wrong characters;
// 21,290 so). Bits 4 and 7 lost nothing there, and bit 7, so judged, read more tails as set.
constexpr uint32_t kTailFreeLouderBits = 0x60;
// A bit 4 read set between set bits 3 and 5, in a symbol none of whose periods had its tails
// taken out (short tones after long gaps), is kept set only where it stands at least
// kNeighbourLeak of the lower of the two, each measured against its own set median (the room's
// standing of each harmonic). In SoX's reverb 100 with the room timing and the sender's clock
// 0.5 % fast, such unset bits 4 stood up to 0.51 times the lower neighbour's level and the set
// ones 0.53 times or more (155 symbols); 5 were read set. Measured without the set medians, a
// close shoebox room that leaves harmonic 6 in a notch lost its set bits 4 (0.3 s, 0.7 m, the
// clock 0.5 % slow, 20 dB: 12.2 -> 19.2 % of the text). Shares 0.45 / 0.6 / 0.75 gave the quick
// grid 453.01 / 452.13 / 455.59; bits 5 and 6 judged so as well, 455.23.
// The same where another period of the symbol had other harmonics' tails taken out but harmonic
// 6 kept its own: the loudest candidates decide bit 4 there as in a symbol with every tail left
// in, and its harmonic leaks from its neighbours alike (the room timing in SoX's reverb 100,
// the sender's clock 0.5 % fast: '-' read '=' in every recording, the tails of harmonics 5 and 8
// taken out). Not after a symbol that held bit 4: its tail, louder than the tone where the last
// symbol set fewer bits, leaves a set bit 4 standing low against its set median, and such bits
// were read unset ('S' then 0xFA, the clock on time).
constexpr double kNeighbourLeak = -0.51082562376599072;  // log(0.6)

// A harmonic that the calibration lifts this many times or more (its step stood that far under
// the others, against the reference levels) lies in a notch of the room at the microphone: in
// text it stands near its own tails and noise, and lifted with them, its unset bits were read set
// far more often than its set bits were read unset (0.25 s, 1 m shoebox, the sender's clock
// 0.5 % slow: harmonic 6 lifted 3.4 times, in text a median 0.07 of the peak set and 0.04 unset,
// 202 of 204 unset bits read set). Such a bit is judged no lower than kNotchSplit of the way
// from its own unset level to its own set level (in logarithms, the levels that every symbol
// teaches, whatever it was decided). Lifts of 1.8 / 2 (the development rooms' default timing,
// 252 recordings: 22,852 / 23,126 characters against 23,904); at 1.8 a close
// room's harmonic 4, lifted 1.83 times with its tails quiet, lost set bits under the raised bar
// (the room timing, the sender's clock 0.5 % slow, 15 dB: 85 -> 71 characters at 2), and prose
// in a strong room lost a little (harmonic 3 lifted just under 2 times: 237 -> 247);
// at 1.5 more (bit 7, sent in no prose, stands lifted 1.6 times there).
constexpr double kNotchLift = 2.0;
// With lifts of 1.8, the own split alone (raising or lowering the threshold) at 0.7 / 0.8 / 0.9:
// 23,409 / 22,928 / 22,969; only raising it at 0.8: 22,852.
constexpr double kNotchSplit = 0.8;
// Only while the bit is set in at least this share of the symbols: a harmonic hardly ever sent
// has no set level of its own, and its levels split into its quiet symbols and its neighbours'
// tails.
constexpr double kNotchSetShare = 0.2;

// The bits held by a symbol two or more back but not by the last one: the tail canceller takes
// the last symbol's tail out, but not the earlier ones'.
template <std::size_t N>
uint8_t TailedBits(const std::array<uint8_t, N>& recent) {
  uint8_t earlier = 0;
  for (std::size_t i = 1; i < recent.size(); ++i)
    earlier = static_cast<uint8_t>(earlier | recent[i]);
  return static_cast<uint8_t>(earlier & ~recent[0]);
}

// Steps a running median towards `level`.
void StepMedian(double& median, double level) {
  median += level > median ? kMedianStep : -kMedianStep;
}

// The threshold (in logarithms) where the set and unset levels split, no higher than the fixed
// one and no lower than the set bits' standing allows.
double SplitThreshold(double fixed, double setMedian, double clearMedian) {
  const double lowered = std::clamp(kUsualStanding - (setMedian - fixed), 0.0, kMostLowered);
  return std::clamp(clearMedian + kSplit * (setMedian - clearMedian), fixed - lowered, fixed);
}

// The factor that the levels of bits kFirstCompensatedBit..7 are scaled by, in logarithms.
double LogCompensation(int32_t bit, int32_t lowBitsSet) {
  if (bit < kFirstCompensatedBit) return 0.0;
  return std::log(static_cast<double>(kCompensationFactors[static_cast<std::size_t>(lowBitsSet)]));
}

int32_t LowBitsSet(uint8_t byte) {
  return std::popcount(static_cast<uint8_t>(byte & ((1u << kFirstCompensatedBit) - 1u)));
}

// How much louder (in logarithms) the last symbol `last` held `bit` than `byte` sends it: it set
// fewer of bits 0..3, so the sender turned its high harmonics down less. 0 where it did not.
double HeldLouder(int32_t bit, uint8_t byte, uint8_t last) {
  if (((last >> bit) & 1u) == 0) return 0.0;
  return LogCompensation(bit, LowBitsSet(byte)) - LogCompensation(bit, LowBitsSet(last));
}

double Median(std::array<double, kBitCount> levels) {
  std::nth_element(levels.begin(), levels.begin() + kBitCount / 2, levels.end());
  return levels[kBitCount / 2];
}

}  // namespace

void BitLevels::Reset() {
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    const double fixed = std::log(ThresholdFraction(bit));
    setLevel[k] = fixed + std::log(kStartApart);
    clearLevel[k] = fixed - std::log(kStartApart);
    // The set median starts where a threshold begins to be lowered: a bare room that leaves the
    // set bits standing low lowers it within the first symbols, not only once a dozen set ones
    // have brought the median down from far over it (the text's first words were lost so).
    // The period without tails starts its bits 4..6 where the fixed threshold stands.
    const bool lowStart =
        unsetLearning == UnsetLearning::kClear && ((kTailFreeLowStartBits >> bit) & 1u) != 0;
    setMedian[k] = fixed + (lowStart ? 0.0 : kUsualStanding);
    sharedSetMedian[k] = setMedian[k];
    clearMedian[k] = clearLevel[k];
    // So far under the unset level that a threshold starts unraised at every factor.
    unscaledClearMedian[k] =
        clearLevel[k] - std::log(kStartApart) - LogCompensation(bit, kFirstCompensatedBit);
    tailClearMedian[k] = unscaledClearMedian[k];
    heldSetMedian[k] = setMedian[k];
    louderSetMedian[k] = setMedian[k];
    heldClearMedian[k] = setMedian[k];
    shares[k] = ThresholdFraction(bit);
    setShare[k] = kStartSetShare;
  }
  recent = {};
}

ThresholdShares BitLevels::Shares(uint8_t byte, bool tailsIn) const {
  const int32_t lowBitsSet = LowBitsSet(byte);
  const uint8_t tailed = TailedBits(recent);
  ThresholdShares judged = shares;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    const double fixed = std::log(ThresholdFraction(bit));
    if (unsetLearning == UnsetLearning::kClear && bit >= kFirstHeldBit &&
        ((recent[0] >> bit) & 1u) != 0)
      judged[k] = std::max(judged[k], std::exp(std::min(heldSetMedian[k] + kUnderHeldSet,
                                                        bit <= kLastCappedHeldBit
                                                            ? heldClearMedian[k] + kOverHeldClear
                                                            : heldSetMedian[k])));
    const double scaling = LogCompensation(bit, lowBitsSet);
    if (scaling <= 0.0) continue;
    const bool lifted = ((tailed >> bit) & 1u) != 0;
    const double clear =
        (lifted ? std::max(unscaledClearMedian[k], tailClearMedian[k]) : unscaledClearMedian[k]) +
        scaling;
    const double split =
        std::min(clear + kRaisedSplit * (setMedian[k] - clear), clear + kRaisedOverClear);
    if (split > fixed) judged[k] = std::exp(std::min(split, fixed + kMostRaised));
  }
  if (unsetLearning == UnsetLearning::kClear) {
    for (int32_t bit = kFirstCompensatedBit; bit < kBitCount; ++bit) {
      const auto k = static_cast<std::size_t>(bit);
      if (((kTailFreeLouderBits & stepTaught) >> bit & 1u) != 0 &&
          HeldLouder(bit, byte, recent[0]) > 0.0)
        judged[k] *= std::exp(
            std::clamp(2.0 * (louderSetMedian[k] - sharedSetMedian[k]), kUnderLouderHeld, 0.0));
    }
  }
  const auto louder = static_cast<std::size_t>(kLouderHeldBit);
  if (tailsIn && unsetLearning == UnsetLearning::kAll &&
      HeldLouder(kLouderHeldBit, byte, recent[0]) >= kLouderLast)
    judged[louder] *= std::exp(
        std::clamp(2.0 * (heldSetMedian[louder] - sharedSetMedian[louder]), kUnderLouderHeld, 0.0));
  return judged;
}

ByteDecision BitLevels::Decide(const int32_t* spectrum, const CalibrationState& calibration,
                               bool tailsIn, bool ownTailIn) const {
  // Bits 0..3 do not depend on the factor: any of the thresholds decide them alike.
  const ThresholdShares low = NotchShares(Shares(), calibration);
  const ByteDecision first = DecideByte(spectrum, calibration, FundamentalRule::kWaived, &low);
  if (!first.accepted || LowBitsSet(first.byte) == 0) return first;
  const ThresholdShares judged = NotchShares(Shares(first.byte, tailsIn), calibration);
  ByteDecision decided = DecideByte(spectrum, calibration, FundamentalRule::kWaived, &judged);
  const auto k = static_cast<std::size_t>(kNeighbourBit);
  auto standing = [&](std::size_t j) {
    return std::log(std::max(decided.levelShares[j], kLeastShare)) - setMedian[j];
  };
  const bool heldLast = ((recent[0] >> kNeighbourBit) & 1u) != 0;
  if ((tailsIn || (ownTailIn && !heldLast)) && unsetLearning == UnsetLearning::kAll &&
      ((decided.byte >> (kNeighbourBit - 1)) & 7u) == 7u &&
      standing(k) < kNeighbourLeak + std::min(standing(k - 1), standing(k + 1)))
    decided.byte = static_cast<uint8_t>(decided.byte & ~(1u << kNeighbourBit));
  return decided;
}

ThresholdShares BitLevels::NotchShares(ThresholdShares judged,
                                       const CalibrationState& calibration) const {
  if (calibration.calibrated != 1 || calibration.calibrating != 0) return judged;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    if (calibration.gainTable[k] <= 0 || calibration.referenceTable[kBitCount] <= 0 ||
        setShare[k] < kNotchSetShare || EqualisingRatio(calibration, bit) < kNotchLift)
      continue;
    judged[k] =
        std::max(judged[k], std::exp(clearLevel[k] + kNotchSplit * (setLevel[k] - clearLevel[k])));
  }
  return judged;
}

void BitLevels::Learn(const ByteDecision& decision, int32_t known) {
  if (!decision.accepted) return;
  // A calibration's symbol teaches the bits it was sent with: the earlier steps' tails lift bits
  // that its decision may read set.
  const auto taught = known >= 0 ? static_cast<uint8_t>(known) : decision.byte;
  const bool shared = std::popcount(taught) >= 2;
  // The levels were scaled by the factor of the bits decided.
  const int32_t lowBitsSet = LowBitsSet(decision.byte);
  const uint8_t tailed = TailedBits(recent);
  // The thresholds this symbol was judged by (the tails followed so far), where they choose.
  const bool clearOnly = unsetLearning == UnsetLearning::kClear;
  const uint8_t unclear = clearOnly ? UnclearBits(decision) : 0u;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    const double level = std::log(std::max(decision.levelShares[k], kLeastShare));
    // Each level learns from the values nearer to it than to the other.
    double& nearer = level > 0.5 * (setLevel[k] + clearLevel[k]) ? setLevel[k] : clearLevel[k];
    nearer += kPull * (level - nearer);
    const bool set = ((taught >> bit) & 1u) != 0;
    const bool often = known >= 0 || setShare[k] >= kLeastSetShare;
    setShare[k] += kSetShareStep * ((set ? 1.0 : 0.0) - setShare[k]);
    if (set) {
      if (!often) continue;
      StepMedian(setMedian[k], level);
      if (((recent[0] >> bit) & 1u) != 0) StepMedian(heldSetMedian[k], level);
      if (HeldLouder(bit, decision.byte, recent[0]) > 0.0) StepMedian(louderSetMedian[k], level);
      if (shared) StepMedian(sharedSetMedian[k], level);
    } else if (((unclear >> bit) & 1u) == 0) {
      StepMedian(clearMedian[k], level);
      const double unscaled = std::log(std::max(
          decision.levelShares[k] / std::exp(LogCompensation(bit, lowBitsSet)), kLeastShare));
      StepMedian(unscaledClearMedian[k], unscaled);
      if (((tailed >> bit) & 1u) != 0) StepMedian(tailClearMedian[k], unscaled);
      if (((recent[0] >> bit) & 1u) != 0) StepMedian(heldClearMedian[k], level);
    }
  }
  Follow(decision.byte);
  // A harmonic whose set level has fallen below the others' (the median) has its threshold
  // lowered as far, but kept well over the unset harmonics' usual level (noise and echoes raise
  // it); never raised over the fixed one.
  const double usualSet = Median(setLevel);
  const double floor = Median(clearLevel) + std::log(kOverClear);
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    const double fixed = std::log(ThresholdFraction(bit));
    const double lowered = fixed + std::min(0.0, setLevel[k] - usualSet);
    const double own = clearLevel[k] + kOwnSplit * (setLevel[k] - clearLevel[k]);
    const bool apart = bit >= kFirstCompensatedBit &&
                       setLevel[k] - clearLevel[k] >= std::log(kOwnApart) &&
                       setLevel[k] >= setMedian[k] - kOwnAgree;
    const double followed =
        std::min(fixed, std::max(lowered, apart ? std::min(floor, own) : floor));
    // No higher than the fixed share even by the logarithm's rounding: a share over it is raised.
    shares[k] = std::min(
        ThresholdFraction(bit),
        std::exp(std::min(followed, SplitThreshold(fixed, sharedSetMedian[k], clearMedian[k]))));
  }
}

uint8_t BitLevels::UnclearBits(const ByteDecision& decision) const {
  const ThresholdShares judged = Shares(decision.byte, false);
  uint8_t unclear = 0;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    if (decision.levelShares[k] > kClearlyUnset * judged[k])
      unclear = static_cast<uint8_t>(unclear | (1u << bit));
  }
  return unclear;
}

void BitLevels::Follow(uint8_t byte) {
  std::rotate(recent.rbegin(), recent.rbegin() + 1, recent.rend());
  recent[0] = byte;
}

uint8_t JointByte(const ByteDecision& first, const ThresholdShares& firstShares,
                  const ByteDecision& second, const ThresholdShares& secondShares, uint32_t bits) {
  auto byte = first.byte;
  const uint32_t differing = ~static_cast<uint32_t>(first.byte) & second.byte & bits;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    const auto mask = static_cast<uint8_t>(1u << bit);
    if ((differing & mask) == 0u) continue;
    if (first.levelShares[k] * second.levelShares[k] > firstShares[k] * secondShares[k])
      byte = static_cast<uint8_t>(byte | mask);
  }
  return byte;
}

}  // namespace brindlemoor::robust
