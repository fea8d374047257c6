// A 0 read as the calibration step it awaits only where that step's harmonic alone stands out;
// a 0 begins a calibration only when the symbol after it is the first step; a calibration's
// symbols are known only while they arrive in order.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "convention/symbol_convention.h"
#include "robust/calibration_start.h"
#include "robust/calibration_step.h"
#include "robust/known_symbol.h"
#include "testing/case_name.h"

namespace brindlemoor::robust {
namespace {

struct StepCase {
  const char* name;
  uint8_t byte;
  int32_t calibrating;          // the step awaited, -1 outside a calibration
  int32_t fundamental;          // level of bin 11
  std::vector<int32_t> levels;  // harmonics 2..9, one bin each
  int32_t read;                 // the step read, -1 none
};

std::array<int32_t, 256> Spectrum(const StepCase& c) {
  std::array<int32_t, 256> spectrum{};
  spectrum[kFundamentalBin] = c.fundamental;
  for (int32_t bit = 0; bit < kBitCount; ++bit)
    spectrum[static_cast<std::size_t>(kBitBins[static_cast<std::size_t>(bit)])] =
        c.levels[static_cast<std::size_t>(bit)];
  return spectrum;
}

class CalibrationStepTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(CalibrationStepTest, ReadsOnlyAStepThatStandsAlone) {
  const StepCase& c = GetParam();
  const std::array<int32_t, 256> spectrum = Spectrum(c);
  CalibrationState calibration;
  calibration.calibrating = c.calibrating >= 0 ? 1 : 0;
  calibration.calibrationStep = c.calibrating >= 0 ? c.calibrating : 0;
  EXPECT_EQ(StepReadFromZero(c.byte, spectrum.data(), calibration), c.read);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CalibrationStepTest,
    ::testing::Values(
        // Behind a settling suppressor: harmonic 2 under half the fundamental, alone.
        StepCase{"FirstStepUnderHalfTheFundamental", 0, 0, 896, {345, 14, 21, 5, 12, 10, 1, 9}, 0},
        StepCase{"LaterStep", 0, 3, 900, {5, 9, 20, 400, 11, 8, 4, 4}, 3},
        // The first step's tail, lifted by a room's resonance, under the second step.
        StepCase{"UnderTheEarlierStepsTail", 0, 1, 882, {193, 258, 30, 17, 26, 21, 8, 16}, 1},
        StepCase{"EarlierStepsTailLouder", 0, 1, 882, {300, 258, 30, 17, 26, 21, 8, 16}, -1},
        // The 0 that starts a calibration, another harmonic than the awaited one, two of note.
        StepCase{"CalibrationStart", 0, 0, 1106, {23, 10, 12, 4, 6, 4, 2, 2}, -1},
        StepCase{"OtherHarmonic", 0, 0, 896, {14, 345, 21, 5, 12, 10, 1, 9}, -1},
        StepCase{"TwoHarmonics", 0, 0, 896, {345, 60, 21, 5, 12, 10, 1, 9}, -1},
        StepCase{"NotCalibrating", 0, -1, 896, {345, 14, 21, 5, 12, 10, 1, 9}, -1},
        StepCase{"NotAZero", 4, 0, 896, {345, 14, 21, 5, 12, 10, 1, 9}, -1}),
    brindlemoor::testing::CaseName());

// The symbol after a 0, outside a calibration: `read` 0 when it is the first step.
class CalibrationStartTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(CalibrationStartTest, BeginsOnlyWithItsFirstStep) {
  const StepCase& c = GetParam();
  const std::array<int32_t, 256> spectrum = Spectrum(c);
  EXPECT_EQ(IsFirstStep(c.byte, spectrum.data(), CalibrationState{}), c.read == 0);
}

INSTANTIATE_TEST_SUITE_P(
    AfterAZero, CalibrationStartTest,
    ::testing::Values(
        // The first step with the 0's echo in harmonic 3.
        StepCase{"FirstStep", 3, -1, 900, {400, 210, 21, 5, 12, 10, 1, 9}, 0},
        StepCase{"FirstStepReadAsZero", 0, -1, 896, {345, 14, 21, 5, 12, 10, 1, 9}, 0},
        // A character after a tone's end read as 0: bit 0 set, harmonic 2 not the loudest.
        StepCase{"CharacterWithBitZero", 101, -1, 900, {300, 20, 330, 10, 12, 420, 250, 9}, -1},
        StepCase{"NoBitZero", 2, -1, 900, {20, 400, 21, 5, 12, 10, 1, 9}, -1}),
    brindlemoor::testing::CaseName());

// What a calibration begun as framed took, passed as text when it failed after a loose start.
struct LooseCase {
  const char* name;
  uint8_t firstStep;
  std::vector<uint8_t> taken;  // the first step's byte first
  bool completed;
  std::vector<uint8_t> text;
};

class LooseStartTest : public ::testing::TestWithParam<LooseCase> {};

TEST_P(LooseStartTest, PassesALetterReadAsZeroOnAsText) {
  const LooseCase& c = GetParam();
  LooseStart start;
  start.Begin(c.firstStep);
  for (const uint8_t byte : c.taken) start.Took(byte);
  const std::span<const uint8_t> text = start.Ended(c.completed);
  EXPECT_EQ(std::vector<uint8_t>(text.begin(), text.end()), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    AfterAZero, LooseStartTest,
    ::testing::Values(LooseCase{"LetterAfterAZero", 'o', {'o', '7', '`'}, false, {'o', '7', '`'}},
                      LooseCase{"CleanStepFails", 1, {1, 3, 7}, false, {}},
                      LooseCase{"LooseStepCompletes", 3, {3, 2, 4, 8, 16, 32, 64, 128}, true, {}}),
    brindlemoor::testing::CaseName());

struct KnownCase {
  const char* name;
  int32_t calibrating;           // the step the calibration state awaits, -1 outside one
  std::vector<int32_t> decided;  // bytes decided in turn, -1 where none was
  std::vector<int32_t> known;    // the bytes known to be sent, -1 where not known
};

class KnownSymbolsTest : public ::testing::TestWithParam<KnownCase> {};

TEST_P(KnownSymbolsTest, KnowsACalibrationsSymbolsInOrder) {
  const KnownCase& c = GetParam();
  CalibrationState calibration;
  calibration.calibrating = c.calibrating >= 0 ? 1 : 0;
  calibration.calibrationStep = c.calibrating >= 0 ? c.calibrating : 0;
  KnownSymbols known;
  std::vector<int32_t> read;
  for (const int32_t byte : c.decided)
    read.push_back(KnownByte(known, byte >= 0, static_cast<uint8_t>(byte), calibration));
  EXPECT_EQ(read, c.known);
}

INSTANTIATE_TEST_SUITE_P(Calibration, KnownSymbolsTest,
                         ::testing::Values(
                             // The earlier steps' tails read as lower bits set.
                             KnownCase{"StepsWithTails", -1, {0, 1, 3, 4, 12}, {0, 1, 2, 4, 8}},
                             // A tone's end read as 0, then text.
                             KnownCase{"TextAfterAStrayZero", -1, {0, 0x61, 0x20}, {0, -1, -1}},
                             KnownCase{"StepMissed", -1, {0, 1, -1, 4}, {0, 1, -1, -1}},
                             KnownCase{"StepTheStateAwaits", 5, {0x30}, {0x20}}),
                         brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor::robust
