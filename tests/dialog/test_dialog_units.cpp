#include <gtest/gtest.h>

#include "dialog/dialog_units.h"
#include "dialog/real_time_blocks.h"
#include "dialog/replay_run.h"

namespace brindlemoor {
namespace {

TEST(DialogUnitsTest, ConvertsWithRoundingToNearest) {
  // A 9-point Gothic at 96 dpi: 6 pixels wide on average, 12 high.
  constexpr DialogBaseUnits units{6, 12};
  EXPECT_EQ(units.ToPixels(DialogRect{0, 0, 123, 27}), (DialogRect{0, 0, 185, 41}));
  EXPECT_EQ(units.ToPixels(DialogRect{7, 7, 109, 12}), (DialogRect{11, 11, 164, 18}));
  EXPECT_EQ(units.ToPixels(DialogRect{178, 7, 50, 14}), (DialogRect{267, 11, 75, 21}));
  EXPECT_EQ(DialogBaseUnits::ScaleRounded(-5, 6, 4), -8);  // -7.5 rounds away from zero
  EXPECT_EQ(DialogBaseUnits::ScaleRounded(1, 7, 8), 1);    // 0.875
  EXPECT_EQ(DialogBaseUnits::ScaleRounded(1, 3, 8), 0);    // 0.375
}

TEST(DialogUnitsTest, AverageWidthOfTheLetterSample) {
  EXPECT_EQ(DialogBaseUnits::AverageWidth(312), 6);  // 6.0
  EXPECT_EQ(DialogBaseUnits::AverageWidth(338), 7);  // 13 / 2 rounds up
  EXPECT_EQ(DialogBaseUnits::AverageWidth(337), 6);  // 12.96 truncates to 12 first
}

TEST(RealTimeBlocksTest, TicksSeeTheBlocksOfTheVirtualClock) {
  // At 500 ms x i the real clock has completed what the virtual replay clock gives tick i.
  for (uint32_t tick = 0; tick < 5000; ++tick) {
    ASSERT_EQ(BlocksCompletedByMs(uint64_t{500} * tick), BlocksAtTick(tick)) << tick;
  }
}

TEST(RealTimeBlocksTest, CompletionTimeIsTheFirstMillisecondOfEachBlock) {
  EXPECT_EQ(BlockCompletionMs(0), 100u);  // 1102 / 11025 s = 99.95 ms
  for (uint32_t k = 0; k < 20000; ++k) {
    const uint64_t due = BlockCompletionMs(k);
    ASSERT_EQ(BlocksCompletedByMs(due), k + 1) << k;
    ASSERT_EQ(BlocksCompletedByMs(due - 1), k) << k;
  }
}

}  // namespace
}  // namespace brindlemoor
