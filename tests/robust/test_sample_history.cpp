// The recent sound: a position it no longer keeps, or not yet, reads as silence, never as the
// newer sample that took its place in the ring.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "robust/sample_history.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

struct HistoryCase {
  const char* name;
  int64_t pushed;   // samples pushed, each the low 14 bits of its position plus one
  int64_t at;       // the position read
  bool kept;        // it reads its own sample, or else silence
  int32_t run = 1;  // the samples read as one run from `at` on
};

class SampleHistoryTest : public ::testing::TestWithParam<HistoryCase> {};

int16_t SampleOf(int64_t position) { return static_cast<int16_t>((position & 0x3fff) + 1); }

TEST_P(SampleHistoryTest, ReadsOnlyWhatItKeeps) {
  const HistoryCase& c = GetParam();
  SampleHistory history;
  history.Reset();
  for (int64_t position = 0; position < c.pushed; ++position) history.Push(SampleOf(position));
  EXPECT_EQ(history.At(c.at), c.kept ? SampleOf(c.at) : 0);
}

// A run reads each of its positions as At does, wherever it lies against the ring's end and the
// kept samples.
TEST_P(SampleHistoryTest, ReadsARunAsAtDoes) {
  const HistoryCase& c = GetParam();
  SampleHistory history;
  history.Reset();
  for (int64_t position = 0; position < c.pushed; ++position) history.Push(SampleOf(position));
  std::vector<int32_t> run(static_cast<std::size_t>(c.run), -1);
  history.Read(c.at, c.run, run.data());
  for (int32_t i = 0; i < c.run; ++i)
    EXPECT_EQ(run[static_cast<std::size_t>(i)], history.At(c.at + i)) << "sample " << i;
}

constexpr int64_t kPushed = 3 * kHistorySamples + 100;

INSTANTIATE_TEST_SUITE_P(
    Positions, SampleHistoryTest,
    ::testing::Values(
        HistoryCase{"Newest", kPushed, kPushed - 1, true},
        HistoryCase{"OldestKept", kPushed, kPushed - kHistorySamples, true},
        // Its slot holds the newest sample now.
        HistoryCase{"JustOlderThanKept", kPushed, kPushed - kHistorySamples - 1, false},
        HistoryCase{"ManyRingsBack", kPushed, kPushed - 2 * kHistorySamples - 1, false},
        HistoryCase{"NotYetPushed", kPushed, kPushed, false},
        HistoryCase{"BeforeTheStart", 10, -1, false},
        HistoryCase{"RunAcrossTheRingsEnd", kPushed, 3 * kHistorySamples - 10, true, 20},
        HistoryCase{"RunFromTheOldestKept", kPushed, kPushed - kHistorySamples, true, 90},
        HistoryCase{"RunPartlyForgotten", kPushed, kPushed - kHistorySamples - 5, false, 20},
        HistoryCase{"RunPastTheNewest", kPushed, kPushed - 5, true, 20},
        HistoryCase{"RunFromBeforeTheStart", 100, -5, false, 20}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor::robust
