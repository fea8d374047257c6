// The sender's rhythm stands out only once it recurs: one slowly rising tone and the swell of
// its echoes after its end give no rhythm, three tones a spacing apart give their spacing.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "robust/sender_rhythm.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

struct RhythmCase {
  const char* name;
  std::vector<int32_t> runs;        // first hops of runs of onset strength: ten hops for a tone,
  std::vector<int32_t> swells;      // four for a swell
  int32_t spacing;                  // expected, in samples; 0: none
  std::vector<int32_t> faint = {};  // ten hops of a faint tone's onset
  int32_t half = 0;                 // the half lag expected, in samples; 0: none
  int32_t kept = 0;                 // a spacing known otherwise, kept after the onsets; 0: none
};

class SenderRhythmTest : public ::testing::TestWithParam<RhythmCase> {};

TEST_P(SenderRhythmTest, MeasuresOnlyARhythmThatRecurs) {
  const RhythmCase& c = GetParam();
  std::vector<double> strengths(400, 0.0);
  for (const int32_t first : c.runs)
    for (int32_t hop = first; hop < first + 10; ++hop)
      strengths[static_cast<std::size_t>(hop)] = 2.5;
  for (const int32_t first : c.swells)
    for (int32_t hop = first; hop < first + 4; ++hop)
      strengths[static_cast<std::size_t>(hop)] = 2.5;
  for (const int32_t first : c.faint)
    for (int32_t hop = first; hop < first + 10; ++hop)
      strengths[static_cast<std::size_t>(hop)] = 0.6;
  SenderRhythm rhythm;
  for (const double strength : strengths) rhythm.NoteStrength(strength);
  if (c.kept > 0) rhythm.Keep(c.kept);
  EXPECT_NEAR(rhythm.Spacing(), c.spacing, c.spacing / 20);
  EXPECT_NEAR(rhythm.HalfSpacing(), c.half, c.half / 20);
}

INSTANTIATE_TEST_SUITE_P(
    Rhythms, SenderRhythmTest,
    ::testing::Values(
        // A tone and, 510 samples later, the swell of its echoes in a bare
        // room: the lag between them never comes twice.
        RhythmCase{"ToneAndItsSwell", {100}, {134}, 0},
        // Three tones 668 samples apart.
        RhythmCase{"ThreeTones", {100, 145, 189}, {}, 668},
        // Every other tone's onset faint, as in a close room: the rhythm
        // peaks at twice the spacing and names its half lag.
        RhythmCase{"EveryOtherOnsetFaint", {100, 189, 278}, {}, 1336, {145, 234, 323}, 668},
        // A kept spacing (the calibration's tones were found at it) leaves no half lag to run
        // the clock at.
        RhythmCase{"KeptSpacingNoHalfLag", {100, 189, 278}, {}, 1336, {145, 234, 323}, 0, 1336}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor::robust
