// The harmonic balance turns down a harmonic that stands far over its threshold when the others
// do not, leaves a room's mild colouring alone and never turns a harmonic up.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "receiver/framing.h"
#include "robust/harmonic_balance.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

struct BalanceCase {
  const char* name;
  uint8_t byte;
  std::array<double, kBitCount> overThreshold;  // each bit's level over its threshold
  uint8_t lowered;                              // the bits whose gain must fall
};

class HarmonicBalanceTest : public ::testing::TestWithParam<BalanceCase> {};

TEST_P(HarmonicBalanceTest, TurnsDownOnlyTheHarmonicsThatStandOut) {
  const BalanceCase& c = GetParam();
  ByteDecision decision;
  decision.accepted = true;
  decision.byte = c.byte;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto k = static_cast<std::size_t>(bit);
    decision.levelShares[k] = c.overThreshold[k] * ThresholdFraction(bit);
  }
  HarmonicBalance balance;
  balance.Reset();
  for (int32_t i = 0; i < 40; ++i) balance.Learn(decision);
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    if ((c.lowered >> bit) & 1u) {
      EXPECT_LT(balance.Gain(bit), 0.9) << "bit " << bit;
    } else {
      EXPECT_EQ(balance.Gain(bit), 1.0) << "bit " << bit;
    }
  }
  std::array<int32_t, kSpectrumBins> spectrum{};
  spectrum.fill(100);
  std::array<int32_t, kSpectrumBins> balanced{};
  balance.Apply(spectrum.data(), balanced.data());
  for (int32_t bit = 0; bit < kBitCount; ++bit)
    EXPECT_EQ(HarmonicLevel(balanced.data(), bit) <= HarmonicLevel(spectrum.data(), bit), true);
  EXPECT_EQ(balanced[kFundamentalBin], 100);  // only the harmonics' bins change
}

INSTANTIATE_TEST_SUITE_P(
    Levels, HarmonicBalanceTest,
    ::testing::Values(
        // A room that keeps harmonic 2 three times as loud as harmonics 3 and 6.
        BalanceCase{"DominantHarmonic", 0b00010011, {6, 2, 0, 0, 2, 0, 0, 0}, 0b00000001},
        BalanceCase{"MildColouring", 0b00010011, {2.3, 2, 0, 0, 2, 0, 0, 0}, 0},
        // A weak harmonic is not turned up; the others come down a little towards it instead.
        BalanceCase{"WeakHarmonic", 0b00010011, {0.5, 2, 0, 0, 2, 0, 0, 0}, 0b00010010},
        // A calibration step holds one harmonic: nothing to balance it against.
        BalanceCase{"SingleHarmonic", 0b00010000, {0, 0, 0, 0, 5, 0, 0, 0}, 0}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor::robust
