// The learned thresholds rise over the fixed ones only where a room's echoes, scaled by the
// compensation factor of symbols with several low bits set, lift an unset high harmonic towards
// its set level; with few low bits set, or where echoes stay quiet, they stay at the fixed ones.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <string>

#include "receiver/framing.h"
#include "robust/bit_levels.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

struct LevelsCase {
  const char* name;
  double unsetEcho;       // an unset harmonic's level, a share of the peak, before the factor
  uint8_t lowBits;        // the low bits of the symbol judged
  bool bit4Raised;        // bit 4's threshold must stand over the fixed one
  double setLevel = 0.5;  // a set harmonic's level
};

// Symbols as a reverberant room passes them: set harmonics at `set`, unset ones at `echo` scaled
// by the factor that the symbol's low bits set.
ByteDecision Heard(uint8_t byte, double echo, double set) {
  ByteDecision decision;
  decision.accepted = true;
  decision.byte = byte;
  const int32_t low = std::popcount(static_cast<uint8_t>(byte & 0x0Fu));
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const double factor = bit >= kFirstCompensatedBit ? kCompensationFactors[low] : 1.0;
    decision.levelShares[static_cast<std::size_t>(bit)] =
        ((byte >> bit) & 1u) != 0 ? set : echo * factor;
  }
  return decision;
}

class BitLevelsTest : public ::testing::TestWithParam<LevelsCase> {};

TEST_P(BitLevelsTest, RaisesThresholdsOnlyOverScaledEchoes) {
  const LevelsCase& c = GetParam();
  BitLevels levels;
  const std::array<uint8_t, 6> bytes = {0x17, 0x07, 0xA3, 0x2D, 0x51, 0x0E};
  for (int32_t i = 0; i < 200; ++i)
    levels.Learn(Heard(bytes[static_cast<std::size_t>(i) % bytes.size()], c.unsetEcho, c.setLevel));
  const ThresholdShares shares = levels.Shares(c.lowBits);
  if (c.bit4Raised) {
    // Over the scaled echo, under the set level.
    const double scaled = c.unsetEcho * kCompensationFactors[std::popcount(c.lowBits)];
    EXPECT_GT(shares[4], scaled);
    EXPECT_LT(shares[4], c.setLevel);
  } else {
    EXPECT_LE(shares[4], ThresholdFraction(4));
  }
  for (int32_t bit = 0; bit < kFirstCompensatedBit; ++bit)
    EXPECT_LE(shares[static_cast<std::size_t>(bit)], ThresholdFraction(bit)) << "bit " << bit;
}

INSTANTIATE_TEST_SUITE_P(
    Echoes, BitLevelsTest,
    ::testing::Values(
        // Echoes at 0.13 of the peak, doubled by three low bits set: 0.26, over bit 4's 0.25.
        LevelsCase{"ScaledEchoOverThreshold", 0.13, 0x07, true},
        // The same echoes with one low bit set stay under it: nothing to raise.
        LevelsCase{"UnscaledEcho", 0.13, 0x01, false},
        // A dry room: echoes far under the threshold at every factor.
        LevelsCase{"QuietEcho", 0.02, 0x07, false},
        // Loud set harmonics put the split over the threshold, but the scaled echoes (0.09) stay
        // far under it: nothing to raise it for.
        LevelsCase{"LoudSetQuietEcho", 0.045, 0x07, false, 1.0}),
    brindlemoor::testing::CaseName());

// A room whose echoes of a harmonic come back two and three symbols later lifts that unset
// harmonic there alone: the threshold rises after such symbols, not after the others.
TEST(BitLevelsTails, RaisesThresholdTwoAndThreeSymbolsAfterItsHarmonic) {
  constexpr double kLifted = 0.13;  // doubled by three low bits set: over bit 4's 0.25
  constexpr double kQuiet = 0.02;
  const std::array<uint8_t, 8> bytes = {0x17, 0x07, 0x03, 0x0E, 0x05, 0x07, 0x0B, 0x06};
  BitLevels levels;
  BitLevels lastHeld;  // the same, judged right after the symbol that held bit 4
  for (std::size_t i = 0; i < 402; ++i) {
    const bool tailed = i % bytes.size() == 2 || i % bytes.size() == 3;
    const ByteDecision heard = Heard(bytes[i % bytes.size()], tailed ? kLifted : kQuiet, 0.5);
    levels.Learn(heard);
    if (i < 401) lastHeld.Learn(heard);
  }
  EXPECT_GT(levels.Shares(0x07)[4], kLifted * kCompensationFactors[3]);
  EXPECT_LE(lastHeld.Shares(0x07)[4], ThresholdFraction(4));
}

// Judged without tails, harmonic 8 right after a symbol that held it is kept over a share of its
// set level there only where its unset level after such symbols shows the tail left in; where
// the tail is taken out (prose at a steady clock: letters in a row, then a space), the bar stays.
struct HeldCase {
  const char* name;
  double heldUnset;  // bit 6's level where unset right after a symbol that held it
  bool raised;       // its threshold there must stand over the usual one
};

class BitLevelsHeldTest : public ::testing::TestWithParam<HeldCase> {};

TEST_P(BitLevelsHeldTest, RaisesAfterHeldOnlyOverItsTail) {
  const HeldCase& c = GetParam();
  // Letters in a row (bits 5 and 6 set), each word ended by a space (bit 6 unset).
  const std::array<uint8_t, 5> bytes = {0x61, 0x62, 0x64, 0x68, 0x20};
  BitLevels levels(UnsetLearning::kClear);
  for (std::size_t i = 0; i < 400; ++i) {
    ByteDecision heard = Heard(bytes[i % bytes.size()], 0.02, 1.0);
    if (bytes[i % bytes.size()] == 0x20) heard.levelShares[6] = c.heldUnset;
    levels.Learn(heard);
  }
  const ThresholdShares held = levels.Shares(0x01);  // right after the space
  levels.Learn(Heard(0x61, 0.02, 1.0));
  const double afterHeld = levels.Shares(0x01)[6];
  if (c.raised)
    EXPECT_GT(afterHeld, held[6]);
  else
    EXPECT_LE(afterHeld, held[6]);
}

INSTANTIATE_TEST_SUITE_P(Tails, BitLevelsHeldTest,
                         ::testing::Values(HeldCase{"TailTakenOut", 0.02, false},
                                           HeldCase{"TailLeftIn", 0.2, true}),
                         brindlemoor::testing::CaseName());

// A room's mode that moves off one harmonic leaves it far under the others when set, yet well
// over its own unset level: a high harmonic's threshold follows its own levels down there.
struct NotchCase {
  const char* name;
  int32_t bit;
  bool readSet;  // its notched set level must stand over its threshold
};

class BitLevelsNotch : public ::testing::TestWithParam<NotchCase> {};

TEST_P(BitLevelsNotch, FollowsAHighHarmonicsOwnLevels) {
  constexpr double kNotched = 0.17;  // the harmonic set, 0.29 the floor over 0.03 unset
  constexpr double kUnset = 0.03;
  const NotchCase& c = GetParam();
  const auto k = static_cast<std::size_t>(c.bit);
  const std::array<uint8_t, 4> bytes = {0x61, 0x20, 0x73, 0x4E};
  BitLevels levels;
  for (int32_t i = 0; i < 300; ++i) {
    auto byte = bytes[static_cast<std::size_t>(i) % bytes.size()];
    byte = static_cast<uint8_t>(i % 2 == 0 ? byte | (1u << c.bit) : byte & ~(1u << c.bit));
    ByteDecision heard = Heard(byte, kUnset, 0.5);
    // The calibration and the first words as usual, then the mode moves off the harmonic (the
    // sender's clock drifts): its set level falls to the notch.
    if (((byte >> c.bit) & 1u) != 0) heard.levelShares[k] = i < 60 ? 0.5 : kNotched;
    // Decided as its threshold reads it: a set bit under it teaches the unset levels.
    if (heard.levelShares[k] < levels.Shares(byte)[k])
      heard.byte = static_cast<uint8_t>(heard.byte & ~(1u << c.bit));
    levels.Learn(heard);
  }
  const bool readSet = kNotched >= levels.Shares(0x01)[k];
  EXPECT_EQ(readSet, c.readSet) << levels.Shares(0x01)[k];
}

INSTANTIATE_TEST_SUITE_P(Notches, BitLevelsNotch,
                         ::testing::Values(NotchCase{"HighHarmonicFollowed", 6, true}),
                         brindlemoor::testing::CaseName());

// Harmonic 6 lifted threefold out of a notch, its tails with it: set in one symbol of `every`,
// its unset bit is read by its own levels where often set, by the lifted bar where seldom.
struct LiftCase {
  const char* name;
  int32_t every;
  bool unsetReadSet;
};
class BitLevelsLift : public ::testing::TestWithParam<LiftCase> {};
TEST_P(BitLevelsLift, JudgesANotchedHarmonicByItsOwnLevels) {
  CalibrationState calibration{.calibrated = 1};
  calibration.gainTable[4] = kReferenceLevels[4] / 3;
  BitLevels levels;
  ByteDecision last;
  for (int32_t i = 0; i < 400; ++i) {
    std::array<int32_t, kSpectrumBins> spectrum{};  // bits 0, 1 and 5 set
    spectrum[kBitBins[0]] = 1000;
    spectrum[kBitBins[1]] = spectrum[kBitBins[5]] = 600;
    spectrum[kBitBins[4]] = i % GetParam().every == 0 && i < 399 ? 200 : 80;
    levels.Learn(last = levels.Decide(spectrum.data(), calibration));
  }
  EXPECT_EQ(((last.byte >> 4) & 1u) != 0, GetParam().unsetReadSet);
}
INSTANTIATE_TEST_SUITE_P(Lifts, BitLevelsLift,
                         ::testing::Values(LiftCase{"OftenSet", 2, false},
                                           LiftCase{"SeldomSet", 20, true}),
                         brindlemoor::testing::CaseName());

// Bit 7 read set now and then just over its threshold: where it is set in few symbols (prose)
// its threshold holds; where it is set in many, standing low, it follows them down.
struct RareCase {
  const char* name;
  int32_t every;     // bit 7 is read set in one symbol of this many
  double overShare;  // at this many times its threshold
  double least;      // its threshold's share of the peak stays within these
  double most;
};

class BitLevelsRare : public ::testing::TestWithParam<RareCase> {};

TEST_P(BitLevelsRare, HoldsTheBarOfABitSeldomSet) {
  const RareCase& c = GetParam();
  const std::array<uint8_t, 4> bytes = {0x61, 0x6C, 0x73, 0x20};
  BitLevels levels;
  for (int32_t i = 0; i < 3000; ++i) {
    auto byte = bytes[static_cast<std::size_t>(i) % bytes.size()];
    if (i % c.every == 0) byte = static_cast<uint8_t>(byte | 0x80u);
    ByteDecision heard = Heard(byte, 0.03, 0.6);
    if ((byte & 0x80u) != 0) heard.levelShares[7] = c.overShare * levels.Shares(byte)[7];
    levels.Learn(heard);
  }
  const double share = levels.Shares(0x61)[7];
  EXPECT_GE(share, c.least);
  EXPECT_LE(share, c.most);
}

INSTANTIATE_TEST_SUITE_P(Rare, BitLevelsRare,
                         ::testing::Values(RareCase{"MisreadInProse", 61, 1.1, 0.3, 0.5},
                                           RareCase{"OftenSetAndLow", 2, 1.2, 0.0, 0.45}),
                         brindlemoor::testing::CaseName());

// The first letters' harmonic 8, set at 0.3 of the peak (under its fixed 0.4): the period
// without tails reads it set from the third letter on; the loudest candidates keep the bar.
struct StartCase {
  const char* name;
  UnsetLearning learning;
  bool readSet;
};

class BitLevelsStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(BitLevelsStart, ReadsTheFirstLettersHighBits) {
  BitLevels levels(GetParam().learning);
  for (int32_t i = 0; i < 2; ++i) levels.Learn(Heard(0x69, 0.03, 0.3));
  EXPECT_EQ(levels.Shares(0x69)[6] < 0.3, GetParam().readSet);
}

INSTANTIATE_TEST_SUITE_P(Start, BitLevelsStart,
                         ::testing::Values(StartCase{"TailFree", UnsetLearning::kClear, true},
                                           StartCase{"Loudest", UnsetLearning::kAll, false}),
                         brindlemoor::testing::CaseName());

// A bit 4 over its threshold between set bits 3 and 5 but far under them: in a symbol whose tails
// were left in (short tones after long gaps) it is read unset, where they were taken out set;
// where only other harmonics' tails were, unset unless the last symbol held bit 4.
struct NeighbourCase {
  const char* name;
  double share;  // bit 4's level, a share of the peak, after the factor
  bool setWithTails;
  uint8_t last;  // the last byte learned
  bool setWithOwnTail;
};

class BitLevelsNeighbours : public ::testing::TestWithParam<NeighbourCase> {};

TEST_P(BitLevelsNeighbours, ReadsABitFarUnderItsSetNeighboursUnset) {
  const NeighbourCase& c = GetParam();
  BitLevels levels;
  const std::array<uint8_t, 4> bytes = {0x3B, 0x2B, 0x39, 0x1A};
  for (int32_t i = 0; i < 200; ++i)
    levels.Learn(Heard(bytes[static_cast<std::size_t>(i) % bytes.size()], 0.03, 0.5));
  levels.Learn(Heard(c.last, 0.03, 0.5));
  // 0x2B: bits 0, 1, 3 and 5 set, so the factor 2 scales bits 4..7.
  std::array<int32_t, kSpectrumBins> spectrum{};
  spectrum[static_cast<std::size_t>(kHarmonicBins[0])] = 1000;
  for (const int32_t bit : {0, 1}) spectrum[static_cast<std::size_t>(kBitBins[bit])] = 800;
  spectrum[static_cast<std::size_t>(kBitBins[3])] = 500;
  spectrum[static_cast<std::size_t>(kBitBins[5])] = 250;
  spectrum[static_cast<std::size_t>(kBitBins[4])] = static_cast<int32_t>(500 * c.share);
  const CalibrationState calibration;
  EXPECT_EQ(levels.Decide(spectrum.data(), calibration, true).byte & 0x10u,
            c.setWithTails ? 0x10u : 0u);
  EXPECT_EQ(levels.Decide(spectrum.data(), calibration, false).byte & 0x10u, 0x10u);
  EXPECT_EQ(levels.Decide(spectrum.data(), calibration, false, true).byte & 0x10u,
            c.setWithOwnTail ? 0x10u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Neighbours, BitLevelsNeighbours,
    ::testing::Values(NeighbourCase{"LeakBetweenSetNeighbours", 0.26, false, 0x1A, true},
                      NeighbourCase{"LeakAfterAnUnsetBit4", 0.26, false, 0x2B, false}),
    brindlemoor::testing::CaseName());

// Two windows of one tone (thresholds 0.4): bit 7, unset in the first and set in the second at
// the level given, is read as both levels say; bit 5, set in the first, and bit 0 stay.
class BitLevelsJoint : public ::testing::TestWithParam<std::pair<double, uint8_t>> {};

TEST_P(BitLevelsJoint, RaisesABitTheSecondReadsSetByBothLevels) {
  ByteDecision first{true, 0x21};
  ByteDecision second{true, 0x80};
  first.levelShares = {0, 0, 0, 0, 0, 0.6, 0, 0.3};
  second.levelShares = {0, 0, 0, 0, 0, 0.05, 0, GetParam().first};
  ThresholdShares shares{};
  shares.fill(0.4);
  EXPECT_EQ(JointByte(first, shares, second, shares, 0xe0u), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Joint, BitLevelsJoint,
                         ::testing::Values(std::pair{0.9, uint8_t{0xa1}},
                                           std::pair{0.45, uint8_t{0x21}}));

// Judged without tails while the taps a calibration's steps taught still take them out, a set
// bit 6 right after a symbol that held it louder (one low bit set against three), not yet
// seen standing as high there as elsewhere, meets a bar lowered by a fifth; once its harmonic
// was let go of, the bar stays.
class BitLevelsLouderHeld : public ::testing::TestWithParam<std::pair<uint32_t, double>> {};

TEST_P(BitLevelsLouderHeld, LowersTheBarWhileStepTaught) {
  BitLevels levels(UnsetLearning::kClear);
  for (int32_t i = 0; i < 50; ++i) levels.Learn(Heard(i % 2 == 0 ? 0x61 : 0x20, 0.02, 1.0));
  levels.Learn(Heard(0x61, 0.02, 1.0));
  const double usual = levels.Shares(0x0B)[6];
  const double asLoud = levels.Shares(0x01)[6];
  levels.SetStepTaught(GetParam().first);
  EXPECT_NEAR(levels.Shares(0x0B)[6], GetParam().second * usual, 1e-12);
  EXPECT_DOUBLE_EQ(levels.Shares(0x01)[6], asLoud);
}

INSTANTIATE_TEST_SUITE_P(Louder, BitLevelsLouderHeld,
                         ::testing::Values(std::pair{0x40u, 0.8}, std::pair{0u, 1.0}));

}  // namespace
}  // namespace brindlemoor::robust
