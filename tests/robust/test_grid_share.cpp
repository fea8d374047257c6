// The grid share of two periods: the vector path must give the scalar path's share bit for bit
// (a fused multiply-add, a reordered sum or a lane holding another bin's coefficient would not),
// and both must tell a symbol on the grid from sound off it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <string>

#include "robust/grid_share.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

struct ShareCase {
  const char* name;
  int32_t harmonics;  // bits of 245 Hz harmonics 1..8 sounded (bin 2h of the 90-point DFT)
  double offGrid;     // amplitude of a tone on bin 3 (367.5 Hz), between the harmonics
  double noise;       // amplitude of uniform noise
  double least;       // the share lies within [least, most]
  double most;
};

class GridShareTest : public ::testing::TestWithParam<ShareCase> {};

TEST_P(GridShareTest, VectorPathMatchesScalarBitForBit) {
  const ShareCase& c = GetParam();
  std::mt19937 generator(7);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  PeriodSamples a{};
  PeriodSamples b{};
  for (int32_t t = 0; t < 2 * kPeriod; ++t) {
    double x = c.noise * uniform(generator);
    for (int32_t h = 1; h <= 8; ++h) {
      if ((c.harmonics >> (h - 1)) & 1)
        x += 3000.0 * std::cos(2.0 * std::numbers::pi * h * t / kPeriod + 0.3 * h);
    }
    x += c.offGrid * std::sin(2.0 * std::numbers::pi * 3 * t / (2 * kPeriod));
    (t < kPeriod ? a : b)[static_cast<std::size_t>(t % kPeriod)] = std::round(x);
  }
  const double scalar = GridShare(MakeGridFilters(false), a, b);
  const GridFilters vector = MakeGridFilters(true);
  if (!vector.vector) GTEST_SKIP() << "no 256-bit vectors here";
  const double fast = GridShare(vector, a, b);
  EXPECT_EQ(std::memcmp(&fast, &scalar, sizeof(double)), 0) << fast << " vs " << scalar;
  EXPECT_GE(scalar, c.least);
  EXPECT_LE(scalar, c.most);
}

INSTANTIATE_TEST_SUITE_P(
    Sounds, GridShareTest,
    ::testing::Values(ShareCase{"Symbol", 0b10110101, 0.0, 0.0, 0.99, 1.0},
                      ShareCase{"SymbolInNoise", 0b01001110, 0.0, 2000.0, 0.6, 1.0},
                      ShareCase{"OffGridTone", 0, 4000.0, 0.0, 0.0, 0.05},
                      ShareCase{"Noise", 0, 0.0, 8000.0, 0.2, 0.8},
                      ShareCase{"Silence", 0, 0.0, 0.0, 0.0, 0.0},
                      ShareCase{"LoudSymbolAndTone", 0xff, 30000.0, 500.0, 0.03, 0.2}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor::robust
