// The symbol clock keeps a spacing whose windows keep finding their tones, even when the rhythm's
// estimate comes to twice it or more (in close rooms every other tone's onset fades from the
// onset strength) or to two thirds of it, and through a tone unlike the others; it follows the
// rhythm where its windows find nothing.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "robust/onset_detector.h"
#include "robust/sample_history.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

constexpr int32_t kSpacing = 668;  // the default timing's tone and gap at 11025 Hz
constexpr int32_t kTone = 460;
constexpr int32_t kTones = 40;
constexpr int32_t kRhythmTurns = 12;  // the rhythm reads a multiple of the spacing from here on

struct ClockCase {
  const char* name;
  int32_t toneEvery;         // after kRhythmTurns, only every this many spacings sounds a tone
  int32_t expectedSpacing;   // the median spacing of the onsets found after the turn
  double rhythmTimes = 2.0;  // the rhythm's spacing after the turn, in spacings
  int32_t faintTone = -1;    // a tone a tenth as loud as the others; -1: none
};

class OnsetDetectorTest : public ::testing::TestWithParam<ClockCase> {};

TEST_P(OnsetDetectorTest, KeepsTheSpacingItsWindowsFind) {
  const ClockCase& c = GetParam();
  SampleHistory history;
  OnsetDetector detector;
  std::vector<int64_t> onsets;
  int64_t lastOnset = -1;
  const int64_t length = static_cast<int64_t>(kTones + 1) * kSpacing;
  for (int64_t at = 0; at < length; ++at) {
    const int64_t tone = at / kSpacing;
    const int64_t into = at % kSpacing;
    const bool sounds = into < kTone && (tone < kRhythmTurns || tone % c.toneEvery == 0);
    // Harmonics 2 and 5 of 245 Hz, each tone a little louder or softer than the last.
    const double faint = tone == c.faintTone ? 0.1 : 1.0;
    const double level = sounds ? faint * 40.0 * (1.0 + 0.2 * static_cast<double>(tone % 3)) : 0.0;
    const double phase = 2.0 * std::numbers::pi * static_cast<double>(at) / 45.0;
    history.Push(static_cast<int16_t>(
        std::lrint(level * (std::sin(2.0 * phase) + 0.7 * std::sin(5.0 * phase)))));
    if (history.Count() % kHop != 0) continue;
    const auto turned = static_cast<int32_t>(std::lrint(c.rhythmTimes * kSpacing));
    const int32_t spacing = at < kRhythmTurns * kSpacing ? kSpacing : turned;
    int64_t onset = 0;
    if (detector.Step(history, lastOnset, spacing, false, onset)) {
      lastOnset = onset;
      if (onset >= (kRhythmTurns + 1) * kSpacing) onsets.push_back(onset);
    }
  }
  // Onsets found one spacing apart after the turn, or every other one.
  const auto expected =
      static_cast<std::size_t>((kTones - kRhythmTurns - 1) * kSpacing / c.expectedSpacing);
  EXPECT_NEAR(static_cast<double>(onsets.size()), static_cast<double>(expected), 2.0);
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, OnsetDetectorTest,
    ::testing::Values(
        // Every tone still sounds: the clock's windows find each one and keep 668 (it started
        // again at the rhythm's 1336 and framed every other symbol).
        ClockCase{"LockedClockKeptAtTwiceTheRhythm", 1, kSpacing},
        // Only every other spacing sounds a tone: the windows at 668 find none, and the clock
        // follows the rhythm.
        ClockCase{"EmptyWindowsFollowTheRhythm", 2, 2 * kSpacing},
        // A tone whose jump is unlike the last one's, then the rhythm at 3.5 times the spacing
        // (a close room's correlation): the clock stays locked on its tones (one unlike jump let
        // the rhythm start it again, at 2 and at 3.5 times the spacing).
        ClockCase{"LockKeptThroughAnUnlikeTone", 1, kSpacing, 2.0, kRhythmTurns + 2},
        ClockCase{"LockedClockKeptAtThreeAndAHalfTimesTheRhythm", 1, kSpacing, 3.5},
        // The rhythm at two thirds of the spacing (a tone's end's swell at 1.2 m from the sender).
        ClockCase{"LockedClockKeptAtATonesEndSwell", 1, kSpacing, 0.675}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor::robust
