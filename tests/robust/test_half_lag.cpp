// Whether the symbol clock may run at the rhythm's half lag: where the jumps it finds there are
// alike, a sender's tones, not a tone and its echoes' swell in turn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "robust/half_lag.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

struct Window {
  double clockSpacing;
  double likeness;
  int32_t half;
};

struct HalfLagCase {
  const char* name;
  std::vector<Window> windows;
  int32_t half;  // asked about after them
  bool allowed;
};

class HalfLagTest : public ::testing::TestWithParam<HalfLagCase> {};

TEST_P(HalfLagTest, FollowsTheJumpsLikeness) {
  const HalfLagCase& c = GetParam();
  HalfLag halfLag;
  for (const Window& w : c.windows) halfLag.NoteWindow(w.clockSpacing, w.likeness, w.half);
  EXPECT_EQ(halfLag.Allows(c.half), c.allowed);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, HalfLagTest,
    ::testing::Values(
        HalfLagCase{"NothingMeasured", {}, 668, true},
        HalfLagCase{
            "ToneAndSwellInTurn", {{621, 0.05, 0}, {621, 0.06, 0}, {621, 0.07, 0}}, 622, false},
        // Windows at the full spacing, each the same tone's, do not clear the half lag.
        HalfLagCase{"FullSpacingTellsNothing",
                    {{621, 0.05, 0},
                     {621, 0.06, 0},
                     {621, 0.07, 0},
                     {1242, 0.9, 621},
                     {1242, 0.9, 621},
                     {1242, 0.9, 621}},
                    621,
                    false},
        // A close room's tones, alternately loud and faint, at the half lag.
        HalfLagCase{
            "FaintTonesAlike",
            {{1336, 0.9, 0}, {1336, 0.8, 0}, {668, 0.4, 668}, {668, 0.7, 668}, {668, 0.36, 668}},
            668,
            true}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor::robust
