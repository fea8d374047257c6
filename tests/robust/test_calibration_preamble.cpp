// The calibration found again by its pattern: where a room's echoes leave a dip in a tone, and
// not where a sender's jittering gaps leave a tone off the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "robust/calibration_preamble.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

struct PreambleCase {
  const char* name;
  int32_t tone;   // this tone (harmonic tone + 1) falls silent for a period this far into it...
  int32_t dipAt;  // ...(-1: never)
  int32_t late;   // ...and begins this much late
  bool found;
};

class PreambleSearchTest : public ::testing::TestWithParam<PreambleCase> {};

// Tones 680 samples apart from 2000 on, each 480 long, then a decaying tail.
TEST_P(PreambleSearchTest, FindsTheToneDippedNotTheToneLate) {
  const PreambleCase& c = GetParam();
  SampleHistory history;
  history.Reset();
  for (int64_t n = 0; n < 2000 + 9 * 680 + 400; ++n) {
    double sample = 0.0;
    for (int32_t tone = 0; tone < PreambleSearch::kTones; ++tone) {
      const int64_t into = n - 2000 - tone * 680 - (tone == c.tone ? c.late : 0);
      double level = into < 0 ? 0.0 : std::min(1.0, into / 45.0);
      if (into > 480) level = std::exp(-(into - 480) / 60.0);
      if (tone == c.tone && into >= c.dipAt && into < c.dipAt + 45) level = 0.0;
      sample += 8000.0 * level * std::sin(2.0 * std::numbers::pi * (tone + 1) * n / 45.0);
    }
    history.Push(static_cast<int16_t>(std::lrint(sample)));
  }
  PreambleSearch search;
  const PreambleFit fit = search.Find(history, 2030);
  ASSERT_EQ(fit.found, c.found);
  if (c.found) {
    EXPECT_TRUE(std::abs(fit.start - 2000) <= 20 && fit.spacing == 680 && !fit.steady);
  }
}

INSTANTIATE_TEST_SUITE_P(Tones, PreambleSearchTest,
                         ::testing::Values(PreambleCase{"Dipped", 6, 300, 0, true},
                                           PreambleCase{"Late", 4, -1, 130, false}),
                         brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor::robust
