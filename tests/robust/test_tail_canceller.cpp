// The tail canceller takes a decaying tail's power out of the harmonic it rings in and leaves
// the tone's own harmonics alone; a sound that grows, or noise spread over every harmonic, is
// no tail.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <string>

#include "robust/tail_canceller.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

// Amplitude of 245 Hz harmonic `harmonic` (1..22) in one period.
double Amplitude(const PeriodSamples& period, int32_t harmonic) {
  std::complex<double> sum = 0.0;
  for (int32_t i = 0; i < kPeriod; ++i) {
    sum += period[static_cast<std::size_t>(i)] *
           std::polar(1.0, -2.0 * std::numbers::pi * harmonic * i / kPeriod);
  }
  return 2.0 * std::abs(sum) / kPeriod;
}

// Adds harmonic `harmonic` at `amplitude`, starting at `phase`.
void Add(PeriodSamples& period, int32_t harmonic, double amplitude, double phase) {
  for (int32_t i = 0; i < kPeriod; ++i) {
    period[static_cast<std::size_t>(i)] +=
        amplitude * std::cos(2.0 * std::numbers::pi * harmonic * i / kPeriod + phase);
  }
}

struct TailCase {
  const char* name;
  double tailBefore;  // harmonic 3's amplitude two periods before the onset...
  double tailLast;    // ...and one period before
  double spread;      // every harmonic 1..22 at this amplitude in both periods (noise)
  double tailLeft;    // harmonic 3 in the analysed period, two periods after the last
  double tailAfterAtMost;
};

class TailCancellerTest : public ::testing::TestWithParam<TailCase> {};

TEST_P(TailCancellerTest, TakesAwayOnlyATail) {
  const TailCase& c = GetParam();
  PeriodSamples before{};
  PeriodSamples last{};
  Add(before, 3, c.tailBefore, 0.3);
  Add(last, 3, c.tailLast, 1.1);
  for (int32_t harmonic = 1; harmonic <= kPeriod / 2; ++harmonic) {
    Add(before, harmonic, c.spread, 0.7 * harmonic);
    Add(last, harmonic, c.spread, 1.9 * harmonic);
  }
  PeriodSamples period{};
  Add(period, 5, 1000.0, 0.5);  // the tone: harmonic 5 (bit 3)
  Add(period, 3, c.tailLeft, 2.0);
  const PeriodRoots roots;
  CancelTail(roots, MeasureTail(roots, before, last), 2.0, period);
  EXPECT_LE(Amplitude(period, 3), c.tailAfterAtMost);
  EXPECT_NEAR(Amplitude(period, 5), 1000.0, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Tails, TailCancellerTest,
    ::testing::Values(
        // A tail keeping 0.81 of its power a period, 600 and 540 before the onset, 437 in the
        // analysed period: half its expected power (0.5 * 437^2) is taken away, leaving 309.
        TailCase{"DecayingTail", 600.0, 540.0, 0.0, 437.4, 310.0},
        // The tone begun before its onset was found: grown, no tail; nothing is taken away.
        TailCase{"GrowingSoundIsNoTail", 200.0, 600.0, 0.0, 437.4, 437.5},
        // The same power on every harmonic is noise, not a tail.
        TailCase{"NoiseIsNoTail", 0.0, 0.0, 300.0, 437.4, 437.5}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor::robust
