// The spread of a sender's onsets around its rhythm: what tells a jittering sender from a steady
// one.
#include <gtest/gtest.h>

#include <vector>

#include "robust/gap_spread.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

struct SpreadCase {
  const char* name;
  std::vector<int64_t> freeSpacings;  // onsets found before the rhythm was known
  double spacing;                     // the rhythm the clock starts with
  std::vector<double> errors;         // then its windows' jumps, from where it expected them
  double spread;
};

class GapSpreadTest : public ::testing::TestWithParam<SpreadCase> {};

TEST_P(GapSpreadTest, IsTheMedianDistance) {
  const SpreadCase& c = GetParam();
  GapSpread spread;
  for (const int64_t since : c.freeSpacings) spread.NoteFreeSpacing(since);
  spread.Start(c.spacing);
  for (const double error : c.errors) spread.Follow(error);
  EXPECT_DOUBLE_EQ(spread.Samples(), c.spread);
}

INSTANTIATE_TEST_SUITE_P(
    Senders, GapSpreadTest,
    ::testing::Values(
        SpreadCase{"SteadySender", {668, 670, 667}, 668.0, {15.0, -15.0, 0.0}, 2.0},
        // Seen from the free onsets alone, before the clock has closed any window.
        SpreadCase{"JitteringFromFreeOnsets", {520, 800, 610, 860}, 668.0, {}, 148.0},
        // A missed onset (twice the spacing) is no jittered gap.
        SpreadCase{"MissedOnsetIgnored", {668, 1336, 1340, 700}, 668.0, {-20.0}, 20.0},
        SpreadCase{"TooFewDistances", {900}, 668.0, {150.0}, 0.0},
        // Only the last seven count: a steady sender after a jittering start.
        SpreadCase{
            "ForgetsOldDistances", {}, 668.0, {190, -180, 170, 10, -5, 5, 0, 10, -10}, 10.0}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor::robust
