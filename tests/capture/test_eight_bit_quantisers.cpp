// The three 8-bit quantisers side by side: where their scales and roundings part, each must keep
// its own answer, since recordings are compared byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "capture/eight_bit_quantisers.h"

namespace brindlemoor {
namespace {

TEST(EightBitQuantisersTest, EachKeepsItsScaleAndRounding) {
  struct Case {
    float x;
    uint8_t symmetric;  // 128 + round(127 x)
    uint8_t recorded;   // 128 + round(128 x)
    double level;       // the converter's level times 128
  };
  const Case cases[] = {
      {0.0f, 128, 128, 0.0},
      {1.0f, 255, 255, 127.0},        // +1 clips only on the recorded scale
      {-1.0f, 1, 0, -128.0},          // symmetric about silence, or the format's lowest byte
      {0.5f / 128, 128, 128, 0.0},    // a tie on the 128 scale goes to even
      {1.5f / 128, 129, 130, 2.0},    // likewise upwards
      {-2.5f / 128, 126, 126, -2.0},  // and downwards
      {0.5f, 192, 192, 64.0},         // 127 x = 63.5, a tie: every rounding gives 64
      {-3.0f, 0, 0, -128.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(QuantiseSymmetric(c.x), c.symmetric);
    EXPECT_EQ(QuantiseRecorded(c.x), c.recorded);
    EXPECT_EQ(QuantiseConverterLevel(c.x) * 128.0, c.level);
  }
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(QuantiseRecorded(nan), kSilence);
  EXPECT_TRUE(std::isnan(QuantiseConverterLevel(nan)));
}

}  // namespace
}  // namespace brindlemoor
