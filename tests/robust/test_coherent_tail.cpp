// Held taps that miss the text's tails are let go of; held taps that predict them stay held. A
// harmonic held at a single taught tap learns the tail two symbols back from the first text. A
// short tone's tail that a loosely learned prediction finds cancelling the next tone is taken out.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "robust/coherent_tail.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

// Appends one 900-sample symbol of harmonic `harmonic` at `level`, in phase with the capture's
// start; returns its onset.
int64_t PushSymbol(SampleHistory& history, double harmonic, double level) {
  const int64_t onset = history.Count();
  for (int64_t t = onset; t < onset + 900; ++t)
    history.Push(static_cast<int16_t>(std::lround(
        level * std::cos(2.0 * std::numbers::pi * harmonic * static_cast<double>(t) / kPeriod))));
  return onset;
}

struct HeldCase {
  std::string name;
  double taughtGain;  // of the last tone's tail, in the calibration and in the text
  double textGain;
  bool released;
};

class CoherentTailHeld : public ::testing::TestWithParam<HeldCase> {};

TEST_P(CoherentTailHeld, LetsGoOfHeldTapsThatMissTheTail) {
  const HeldCase& c = GetParam();
  SampleHistory history;
  CoherentTail tail;
  PeriodSamples period{};
  for (int32_t s = 0; s < 80; ++s) {  // bit 4 set and unset by turns, 9 known symbols first
    const double gain = s < 9 ? c.taughtGain : c.textGain;
    const double level = 8000.0 * (s % 2 == 1 ? 1.0 : (s > 0 ? gain : 0.0));
    const int64_t onset = PushSymbol(history, 6.0, level);
    tail.Clean(history, onset, period);
    tail.Learn(true, static_cast<uint8_t>(s % 2 == 1 ? 0x10 : 0), s < 9);
    if (s == 8) tail.HoldKnown(true);
  }
  // Judged (a number of dB) once it learns from the decided bytes; unjudged while held.
  EXPECT_EQ(!std::isnan(tail.Gains()[4]), c.released);
}

INSTANTIATE_TEST_SUITE_P(Held, CoherentTailHeld,
                         ::testing::Values(HeldCase{"TaughtTheTextsTail", 0.6, 0.6, false},
                                           HeldCase{"TaughtAnotherTail", -0.4, 0.6, true}),
                         brindlemoor::testing::CaseName());

// Harmonic 8 taught a single tap (0.5), then held, and the text's tail two symbols back (bit 6
// set, then unset three times): its power left by the prediction in the third cycle.
class CoherentTailTwoBack : public ::testing::TestWithParam<double> {};

TEST_P(CoherentTailTwoBack, PredictsTheTailTwoBackBeforeTheFurtherTaps) {
  const double twoBack = GetParam();
  SampleHistory history;
  CoherentTail tail;
  PeriodSamples period{};
  const std::array<double, 4> gains{1.0, 0.5, twoBack, 0.0};
  for (int32_t s = 0; s < 14; ++s) {  // known: 0, 0x40, 0; then the text from s = 3
    const int32_t phase = s < 3 ? (s + 3) % 4 : (s - 3) % 4;
    const int64_t onset = PushSymbol(history, 8.0, 8000.0 * gains[static_cast<std::size_t>(phase)]);
    tail.Clean(history, onset, period);
    tail.Learn(true, static_cast<uint8_t>(phase == 0 ? 0x40 : 0), s < 3);
    if (s == 2) tail.HoldKnown(true);
  }
  double left = 0.0;
  for (const double x : period) left += x * x;
  EXPECT_LE(left, 0.01 * tail.Energy() + 1.0);
}

INSTANTIATE_TEST_SUITE_P(TwoBack, CoherentTailTwoBack, ::testing::Values(0.0, 0.3));

// Bit 4 on and off by turns, its tail 0.35 +- 0.25 times the tone (a prediction leaving a few
// times less power, under the short tone's bar), then on twice, the second tone at `next` times
// the first, against it: the last tone's tail is taken out of it.
class CoherentTailCancelling : public ::testing::TestWithParam<double> {};

TEST_P(CoherentTailCancelling, TakesOutATailThatCancelsTheTone) {
  SampleHistory history;
  CoherentTail tail(kShortToneWindow);
  PeriodSamples period{};
  for (int32_t s = 0; s < 82; ++s) {
    const bool on = s % 2 == 0 || s == 81;
    const double off = s % 4 == 1 ? 0.6 : 0.1;
    const double level = 8000.0 * (s == 81 ? GetParam() : (on ? 1.0 : off));
    const int64_t onset = PushSymbol(history, 6.0, level);
    tail.Clean(history, onset, period);
    tail.Learn(true, static_cast<uint8_t>(on ? 0x10 : 0));
  }
  EXPECT_NE(tail.CleanedBits() & 0x10u, 0u);
}

INSTANTIATE_TEST_SUITE_P(Cancelling, CoherentTailCancelling, ::testing::Values(-0.3));

}  // namespace
}  // namespace brindlemoor::robust
