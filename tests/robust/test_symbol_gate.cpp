// The gate that holds a message's first symbols until a run of them keeps one spacing.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "robust/symbol_gate.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

struct GateCase {
  const char* name;
  std::vector<int64_t> onsets;        // of accepted symbols
  std::string verdicts;               // H held, R releases the run, P passes, E an echo
  std::vector<int> passed;            // the bytes passed, in order
  std::vector<double> energies = {};  // of each symbol; none: all 1
  std::vector<int> bytes = {};        // of each symbol; none: its index
  std::vector<bool> jumps = {};       // whether a tone began at each onset; none: no
  // A calibration found again after the symbol {index, its first tone, the last onset framed},
  // its tones 668 apart; none: no
  std::vector<int64_t> found = {};
};

class SymbolGateTest : public ::testing::TestWithParam<GateCase> {};

TEST_P(SymbolGateTest, PassesOnlyRunsAtASteadySpacing) {
  const GateCase& c = GetParam();
  SymbolGate gate;
  const std::array<int32_t, 256> spectrum{};
  std::string verdicts;
  std::vector<int> passed;
  for (std::size_t i = 0; i < c.onsets.size(); ++i) {
    const double energy = c.energies.empty() ? 1.0 : c.energies[i];
    const auto byte = static_cast<uint8_t>(c.bytes.empty() ? static_cast<int>(i) : c.bytes[i]);
    const bool jumped = !c.jumps.empty() && c.jumps[i];
    const GateVerdict verdict =
        gate.Offer(c.onsets[i], byte, spectrum.data(), false, energy, jumped);
    verdicts += verdict == GateVerdict::kHeld       ? 'H'
                : verdict == GateVerdict::kReleased ? 'R'
                : verdict == GateVerdict::kEcho     ? 'E'
                                                    : 'P';
    if (!c.found.empty() && c.found[0] == static_cast<int64_t>(i)) {
      gate.BeginFound(c.found[1], 668.0, c.found[2]);
      for (int32_t h = 0; h < gate.HeldCount(); ++h) passed.push_back(gate.Held(h).byte);
      gate.ClearHeld();
      continue;
    }
    if (verdict == GateVerdict::kHeld || verdict == GateVerdict::kEcho) continue;
    if (gate.Aside() != nullptr) passed.push_back(gate.Aside()->byte);
    for (int32_t h = 0; h < gate.HeldCount() && verdict == GateVerdict::kReleased; ++h)
      passed.push_back(gate.Held(h).byte);
    gate.ClearHeld();
    passed.push_back(byte);
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
        // A calibration's 0 and first steps begin a message at a jittering sender's spacings,
        // its 0 however much quieter than its steps; a symbol a spacing before the 0 is no part
        // of it.
        GateCase{"CalibrationAtJitteredSpacings",
                 {400, 1000, 1704, 2332, 3042, 3890},
                 "HHHHRP",
                 {0, 1, 2, 4, 8},
                 {1, 0.2, 1, 1, 1, 1},
                 {7, 0, 1, 2, 4, 8}},
        // A sound between a calibration's first steps, read as 0 half a spacing before the run:
        // the step a spacing before joins instead, and the calibration begins (the 0 had joined
        // and the step was dropped: the steps came out as text).
        GateCase{"CalibrationStepOverATonesEnd",
                 {1000, 2140, 2680, 3400, 4660, 5920, 7180},
                 "HHHHHHR",
                 {0, 1, 2, 4, 8, 16},
                 {},
                 {0, 1, 0, 2, 4, 8, 16}},
        GateCase{"NoCalibrationWithoutItsSteps",
                 {1000, 1704, 2332, 3042, 3890},
                 "HHHHH",
                 {},
                 {},
                 {0, 1, 2, 8, 16}},
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
                 {0, 1, 2, 3, 4}},
        // A tone and its echoes in a room, at a steady spacing, are no run; within a message an
        // echo of its last tone, where the rhythm expects the next, is dropped.
        GateCase{"EchoesOfOneTone", {1000, 1570, 2130, 2686}, "HHHH", {}, {1.0, 0.15, 0.1, 0.12}},
        GateCase{"EchoAfterTheLastTone",
                 {1000, 1668, 2336, 3004, 3672, 4340},
                 "HHHRPE",
                 {0, 1, 2, 3, 4},
                 {1.0, 1.0, 1.0, 1.0, 1.0, 0.1}},
        // A weak tone whose onset the clock found at a jump is a letter when a tone follows it;
        // after the last tone it is an echo.
        GateCase{"WeakToneAtAJump",
                 {1000, 1668, 2336, 3004, 3672, 4340, 5008},
                 "HHHRPEP",
                 {0, 1, 2, 3, 4, 5, 6},
                 {1.0, 1.0, 1.0, 1.0, 1.0, 0.1, 1.0},
                 {},
                 {false, false, false, false, false, true, true}},
        // One four spacings after the last tone waits a spacing and a half at most (a live text
        // would show it late): the next tone two spacings after it comes too late for it.
        GateCase{"WeakToneLongAfterTheLast",
                 {1000, 1668, 2336, 3004, 3672, 6344, 7680},
                 "HHHRPEP",
                 {0, 1, 2, 3, 4, 6},
                 {1.0, 1.0, 1.0, 1.0, 1.0, 0.1, 1.0},
                 {},
                 {false, false, false, false, false, true, true}},
        // A calibration found again in the sound lets go the symbols held from its first tone
        // on (decided again on its clock) and begins the message: the next symbol passes.
        GateCase{"CalibrationFoundAgain",
                 {1000, 1520, 2330, 2850, 3700, 4368},
                 "HHHHHP",
                 {0, 5},
                 {},
                 {},
                 {},
                 {4, 1400, 3700}},
        GateCase{"JumpAfterTheLastTone",
                 {1000, 1668, 2336, 3004, 3672, 4340},
                 "HHHRPE",
                 {0, 1, 2, 3, 4},
                 {1.0, 1.0, 1.0, 1.0, 1.0, 0.1},
                 {},
                 {false, false, false, false, false, true}}),
    brindlemoor::testing::CaseName());

struct LoneCase {
  const char* name;
  std::vector<int64_t> onsets;  // of held symbols, each steady unless in `unsteady`
  std::vector<double> energies;
  int64_t unsteady;  // index of one unsteady symbol; -1: none
  int64_t soundAt;   // a rejected sound this loud as the symbols, at this onset; -1
  double soundEnergy;
  LoneVerdict verdict;
  std::vector<int> passed;  // the bytes passed
  int firstByte = 1;        // each symbol's byte is this plus its index
};

class LoneSymbolTest : public ::testing::TestWithParam<LoneCase> {};

TEST_P(LoneSymbolTest, PassesOnlyLoneSteadyTones) {
  const LoneCase& c = GetParam();
  SymbolGate gate;
  const std::array<int32_t, 256> spectrum{};
  if (c.soundAt >= 0 && c.soundAt < c.onsets[0]) gate.NoteSound(c.soundAt, c.soundEnergy);
  for (std::size_t i = 0; i < c.onsets.size(); ++i) {
    ASSERT_EQ(gate.Offer(c.onsets[i], static_cast<uint8_t>(c.firstByte + static_cast<int>(i)),
                         spectrum.data(), static_cast<int64_t>(i) != c.unsteady, c.energies[i]),
              GateVerdict::kHeld);
  }
  if (c.soundAt > c.onsets[0]) gate.NoteSound(c.soundAt, c.soundEnergy);
  EXPECT_EQ(gate.Expire(c.onsets.back() + kLoneQuiet - 1), LoneVerdict::kWaiting);
  EXPECT_EQ(gate.Expire(c.onsets.back() + kLoneQuiet), c.verdict);
  std::vector<int> passed;
  for (int32_t h = 0; h < gate.HeldCount() && c.verdict == LoneVerdict::kReleased; ++h)
    if (!gate.Held(h).echo) passed.push_back(gate.Held(h).byte);
  EXPECT_EQ(passed, c.passed);
}

INSTANTIATE_TEST_SUITE_P(
    Lone, LoneSymbolTest,
    ::testing::Values(
        LoneCase{"OneTone", {5000}, {1.0}, -1, -1, 0.0, LoneVerdict::kReleased, {1}},
        // A room's echo a spacing later, much weaker, is let go; the tones pass.
        LoneCase{"TwoTonesAndAnEcho",
                 {5000, 5668, 6336},
                 {1.0, 0.9, 0.1},
                 -1,
                 -1,
                 0.0,
                 LoneVerdict::kReleased,
                 {1, 2}},
        // A short message whose first onsets wander in a room, never steady enough for a run,
        // still passes once it ends.
        LoneCase{"FiveAtARoughSpacing",
                 {5000, 5675, 6384, 7068, 7740},
                 {1.0, 1.0, 1.0, 1.0, 1.0},
                 -1,
                 -1,
                 0.0,
                 LoneVerdict::kReleased,
                 {1, 2, 3, 4, 5}},
        LoneCase{"FourAtNoSteadySpacing",
                 {5000, 5600, 6400, 7000},
                 {1.0, 1.0, 1.0, 1.0},
                 -1,
                 -1,
                 0.0,
                 LoneVerdict::kTooMany,
                 {}},
        // Byte 0 begins a calibration: a lone one is a hum, not a sender.
        LoneCase{"LoneZero", {5000}, {1.0}, -1, -1, 0.0, LoneVerdict::kLoneZero, {}, 0},
        LoneCase{"OneUnsteady", {5000, 5668}, {1.0, 1.0}, 1, -1, 0.0, LoneVerdict::kNotSteady, {}},
        // Notes and syllables come among other sounds; noise far below the tone does not count.
        LoneCase{"LoudSoundBefore", {5000}, {1.0}, -1, 3000, 0.5, LoneVerdict::kNoQuiet, {}},
        LoneCase{"LoudSoundAfter", {5000}, {1.0}, -1, 6000, 0.5, LoneVerdict::kNoQuiet, {}},
        LoneCase{"FaintNoiseAfter", {5000}, {1.0}, -1, 6000, 0.01, LoneVerdict::kReleased, {1}}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor::robust
