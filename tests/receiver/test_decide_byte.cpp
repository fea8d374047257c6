// The harmonic bit decision on hand-made spectra: validity, thresholds, compensation factors and
// equalisation, with the exact numbers of the decision's worked examples.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "receiver/decide_byte.h"

namespace brindlemoor {
namespace {

using Spectrum = std::array<int32_t, 256>;

// A spectrum whose strongest bin is the fundamental at `peak`, so every bit is judged against
// thresholds derived from `peak`.
Spectrum WithFundamentalPeak(int32_t peak) {
  Spectrum s{};
  s[11] = peak;
  return s;
}

TEST(DecideByteTest, RejectsSpectraWithoutAValidPeak) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int32_t>> bins;
    Rejection reason;
  };
  const Case cases[] = {
      {"all zero", {}, Rejection::kPeakNotHarmonic},
      {"peak between harmonics", {{11, 50}, {40, 90}}, Rejection::kPeakNotHarmonic},
      {"equal at 45 and 46: lowest wins",
       {{11, 50}, {45, 90}, {46, 90}},
       Rejection::kPeakNotHarmonic},
      {"peak at 69", {{11, 50}, {69, 90}}, Rejection::kPeakNotHarmonic},
      {"peak at 79", {{11, 50}, {79, 90}}, Rejection::kPeakNotHarmonic},
      {"peak at 103", {{11, 50}, {103, 90}}, Rejection::kPeakNotHarmonic},
      {"bin 0 is never read", {{0, 500}}, Rejection::kPeakNotHarmonic},
      {"P 109, fundamental 10", {{23, 109}, {11, 6}, {12, 4}}, Rejection::kNoFundamental},
  };
  for (const Case& c : cases) {
    Spectrum s{};
    for (auto [bin, value] : c.bins) s[bin] = value;
    const ByteDecision d = DecideByte(s.data(), CalibrationState{});
    EXPECT_FALSE(d.accepted) << c.name;
    EXPECT_EQ(d.reason, c.reason) << c.name;
  }
}

TEST(DecideByteTest, PeakSearchReportsLowestStrongestBin) {
  Spectrum s{};
  s[11] = 20;
  s[23] = 90;
  s[91] = 90;
  const ByteDecision d = DecideByte(s.data(), CalibrationState{});
  EXPECT_EQ(d.spectrumPeak, 90);
  EXPECT_EQ(d.peakBin, 23);
  Spectrum none{};
  EXPECT_EQ(DecideByte(none.data(), CalibrationState{}).peakBin, -1);
}

TEST(DecideByteTest, FundamentalTestIsStrictAgainstATenth) {
  Spectrum s{};
  s[23] = 109;
  s[11] = 6;
  s[12] = 5;  // 11 > 109 / 10 = 10
  EXPECT_TRUE(DecideByte(s.data(), CalibrationState{}).accepted);
  // The fundamental as the strongest bin always passes its own test.
  EXPECT_TRUE(DecideByte(WithFundamentalPeak(1000).data(), CalibrationState{}).accepted);
}

TEST(DecideByteTest, ThresholdsForPeak1000) {
  const double expected[8] = {500, 333, 333, 200, 250, 333, 400.0, 500};
  for (int bit = 0; bit < 8; ++bit) EXPECT_EQ(BitThreshold(1000, bit), expected[bit]) << bit;
  EXPECT_EQ(BitThreshold(101, 6), 101 * 0.4);
  EXPECT_GT(BitThreshold(101, 6), 40.39);
}

TEST(DecideByteTest, ALevelEqualToItsThresholdIsZero) {
  Spectrum s = WithFundamentalPeak(1000);
  s[23] = 500;
  EXPECT_EQ(DecideByte(s.data(), CalibrationState{}).byte, 0);
  s[23] = 501;
  EXPECT_EQ(DecideByte(s.data(), CalibrationState{}).byte, 1);
}

TEST(DecideByteTest, CompensationFactorDependsOnLowBitsSet) {
  // L(4) = 200 against a threshold of 250: only a factor of 1.5 or 2 lifts it over.
  struct Case {
    std::vector<int> lowBits;
    bool bit4;
  };
  const Case cases[] = {{{}, false}, {{1}, false}, {{0, 3}, true}, {{0, 1, 3}, true}};
  const int bins[4] = {23, 34, 45, 57};
  for (const Case& c : cases) {
    Spectrum s = WithFundamentalPeak(1000);
    s[68] = 150;
    s[69] = 50;
    uint8_t low = 0;
    for (int bit : c.lowBits) {
      s[bins[bit]] = 999;
      low = static_cast<uint8_t>(low | (1 << bit));
    }
    const ByteDecision d = DecideByte(s.data(), CalibrationState{});
    ASSERT_TRUE(d.accepted);
    EXPECT_EQ(d.byte, low | (c.bit4 ? 16 : 0)) << c.lowBits.size() << " low bits";
  }
}

TEST(DecideByteTest, TwoBinLevelsAndByteAssembly) {
  // Harmonics 2 and 8: the character A.
  Spectrum s = WithFundamentalPeak(1000);
  s[23] = 900;
  s[91] = 900;
  s[45] = 200;  // 200 + 100 = 300 < 333: bit 2 stays 0
  s[46] = 100;
  EXPECT_EQ(DecideByte(s.data(), CalibrationState{}).byte, 65);
  s[46] = 134;  // 334 > 333
  EXPECT_EQ(DecideByte(s.data(), CalibrationState{}).byte, 65 + 4);
}

TEST(DecideByteTest, EqualisationRatioScalesTheLevel) {
  CalibrationState calibration;
  calibration.calibrated = 1;
  // R(6) = (882 x 7581) / (7581 x 1764) = 0.5 exactly.
  calibration.gainTable = kReferenceLevels;
  calibration.gainTable[6] = 1764;
  Spectrum s = WithFundamentalPeak(101);
  s[91] = 80;  // 40.0 < 40.4
  EXPECT_EQ(DecideByte(s.data(), calibration).byte, 0);
  s[91] = 81;  // 40.5 > 40.4
  EXPECT_EQ(DecideByte(s.data(), calibration).byte, 64);
  calibration.calibrated = 0;  // uncalibrated, 81 is far above
  EXPECT_EQ(DecideByte(s.data(), calibration).byte, 64);
  s[91] = 40;
  EXPECT_EQ(DecideByte(s.data(), calibration).byte, 0);
  s[91] = 41;
  EXPECT_EQ(DecideByte(s.data(), calibration).byte, 64);
}

TEST(DecideByteTest, CalibratedWithReferenceGainsDecidesAsUncalibrated) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int32_t> level(0, 1200);
  CalibrationState plain;
  CalibrationState equalised;
  equalised.calibrated = 1;
  for (int trial = 0; trial < 2000; ++trial) {
    Spectrum s{};
    for (int bin : {11, 12, 23, 34, 45, 46, 57, 68, 69, 79, 80, 91, 102, 103})
      s[bin] = level(random);
    s[11] = 1300;
    const ByteDecision a = DecideByte(s.data(), plain);
    const ByteDecision b = DecideByte(s.data(), equalised);
    ASSERT_EQ(a.accepted, b.accepted);
    ASSERT_EQ(a.byte, b.byte) << "trial " << trial;
  }
}

TEST(DecideByteTest, HarmonicLevelsUseTheirBins) {
  Spectrum s{};
  for (int bin = 0; bin < 256; ++bin) s[bin] = bin;
  const int32_t expected[8] = {23, 34, 45 + 46, 57, 68 + 69, 79 + 80, 91, 102 + 103};
  for (int bit = 0; bit < 8; ++bit) EXPECT_EQ(HarmonicLevel(s.data(), bit), expected[bit]);
}

}  // namespace
}  // namespace brindlemoor
