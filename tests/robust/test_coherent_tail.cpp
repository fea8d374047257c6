// Held taps that miss the text's tails are let go of; held taps that predict them stay held.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "robust/coherent_tail.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

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
    const int64_t onset = history.Count();
    for (int64_t t = onset; t < onset + 900; ++t)
      history.Push(static_cast<int16_t>(
          std::lround(level * std::cos(2.0 * std::numbers::pi * 6.0 * t / kPeriod))));
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

}  // namespace
}  // namespace brindlemoor::robust
