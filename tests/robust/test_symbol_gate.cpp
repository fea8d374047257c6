// The gate that holds a message's first symbols until a run of them keeps one spacing.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "robust/symbol_gate.h"

namespace brindlemoor::robust {
namespace {

struct GateCase {
  const char* name;
  std::vector<int64_t> onsets;  // of accepted symbols; each one's byte is its index
  std::string verdicts;         // H held, R releases the run, P passes
  std::vector<int> passed;      // the bytes passed, in order
};

class SymbolGateTest : public ::testing::TestWithParam<GateCase> {};

TEST_P(SymbolGateTest, PassesOnlyRunsAtASteadySpacing) {
  const GateCase& c = GetParam();
  SymbolGate gate;
  const std::array<int32_t, 256> spectrum{};
  std::string verdicts;
  std::vector<int> passed;
  for (std::size_t i = 0; i < c.onsets.size(); ++i) {
    const GateVerdict verdict = gate.Offer(c.onsets[i], static_cast<uint8_t>(i), spectrum.data());
    verdicts += verdict == GateVerdict::kHeld ? 'H' : verdict == GateVerdict::kReleased ? 'R' : 'P';
    if (verdict == GateVerdict::kHeld) continue;
    for (int32_t h = 0; h < gate.HeldCount() && verdict == GateVerdict::kReleased; ++h)
      passed.push_back(gate.Held(h).byte);
    gate.ClearHeld();
    passed.push_back(static_cast<int>(i));
  }
  EXPECT_EQ(verdicts, c.verdicts);
  EXPECT_EQ(passed, c.passed);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SymbolGateTest,
    ::testing::Values(
        GateCase{"SteadySender", {1000, 1668, 2336, 3004, 3672}, "HHHRP", {0, 1, 2, 3, 4}},
        // Onsets a few hops off still agree (within 5 % of the spacing).
        GateCase{"JitterWithinTheSpread", {1000, 1680, 2340, 3010}, "HHHR", {0, 1, 2, 3}},
        // An uneven rhythm, like notes or syllables, never begins a message.
        GateCase{"UnevenRhythm", {1000, 1600, 2400, 3000, 3900, 4450}, "HHHHHH", {}},
        // A stray symbol just before a sender's run is dropped; the run still begins the
        // message. One two spacings before it (a symbol between was lost) joins the run.
        GateCase{"StrayJustBeforeTheRun", {700, 1000, 1668, 2336, 3004}, "HHHHR", {1, 2, 3, 4}},
        GateCase{"LostSecondSymbol", {1000, 2336, 3004, 3672, 4340}, "HHHHR", {0, 1, 2, 3, 4}},
        // An echo among a message's first symbols pushes the next onset late: the run of four
        // after it takes the first symbol along, one spacing before, and drops the echo.
        GateCase{
            "EchoAmongTheFirst", {2175, 3090, 3510, 4739, 5959, 7180}, "HHHHHR", {0, 2, 3, 4, 5}},
        // Too short a message is never shown.
        GateCase{"ThreeSymbolsOnly", {1000, 1668, 2336}, "HHH", {}},
        // Missed symbols within a message keep it going; a long silence ends it.
        GateCase{"SilenceEndsTheMessage",
                 {1000, 1668, 2336, 3004, 4340, 12000, 12668},
                 "HHHRPHH",
                 {0, 1, 2, 3, 4}}),
    [](const ::testing::TestParamInfo<GateCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brindlemoor::robust
