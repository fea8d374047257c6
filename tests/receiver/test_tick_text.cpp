// The calibration sequence and the tick's text: what reaches "flag.dat", "receive.txt" and the
// text box, and how the calibration state moves.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "receiver/tick_text.h"
#include "testing/fake_window.h"

namespace brindlemoor {
namespace {

using testing::FakeWindow;
using testing::MemoryTextOutput;
using Spectrum = std::array<int32_t, 256>;

// A spectrum whose level of bit k is 100 * (k + 1): levels 100..800, sum 3600.
Spectrum LevelSpectrum() {
  Spectrum s{};
  const int bins[8] = {23, 34, 45, 57, 68, 79, 91, 102};
  for (int k = 0; k < 8; ++k) s[bins[k]] = 100 * (k + 1);
  return s;
}

struct Harness {
  CalibrationState calibration;
  TickText text;
  MemoryTextOutput files;
  FakeWindow box;
  Spectrum spectrum = LevelSpectrum();

  bool Route(uint8_t b) { return RouteByte(b, spectrum.data(), calibration, text, files); }
  void RouteAll(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) Route(b);
  }
  void Finish() { FinishTickText(text, calibration, files, box); }
};

TEST(RouteByteTest, CalibrationSequenceCompletes) {
  Harness h;
  h.RouteAll({0, 0, 1, 2, 4, 8, 16, 32, 64, 128});
  EXPECT_EQ(h.files.flagData, "100, 200, 300, 400, 500, 600, 700, 800, 3600\n");
  EXPECT_EQ(h.calibration.calibrated, 1);
  EXPECT_EQ(h.calibration.calibrating, 0);
  const LevelTable expected = {100, 200, 300, 400, 500, 600, 700, 800, 3600};
  EXPECT_EQ(h.calibration.gainTable, expected);
  EXPECT_EQ(h.text.length, 0);  // nothing of the sequence is text
  h.Route('x');
  EXPECT_EQ(h.text.length, 1);
}

TEST(RouteByteTest, StepsAcceptExtraHarmonics) {
  Harness h;
  h.RouteAll({0, 3, 3, 255, 255, 255, 255, 255, 255});
  EXPECT_EQ(h.calibration.calibrated, 1);
  EXPECT_EQ(h.files.flagData, "100, 200, 300, 400, 500, 600, 700, 800, 3600\n");
}

TEST(RouteByteTest, FailuresWriteTheFailureLine) {
  struct Case {
    std::vector<uint8_t> bytes;
    const char* line;
  };
  const Case cases[] = {
      // Step 1 lacks bit 1: entries above the step are whatever was there (0 at start).
      {{0, 1, 4}, "100, 200, 0, 0, 0, 0, 0, 0 : 1 : 4\n"},
      {{0, 2}, "100, 0, 0, 0, 0, 0, 0, 0 : 0 : 2\n"},
      {{0, 1, 2, 4, 8, 16, 32, 64, 127}, "100, 200, 300, 400, 500, 600, 700, 800 : 7 : 127\n"},
  };
  for (const Case& c : cases) {
    Harness h;
    const LevelTable gainBefore = h.calibration.gainTable;
    h.RouteAll(c.bytes);
    EXPECT_EQ(h.files.flagData, c.line);
    EXPECT_EQ(h.calibration.calibrating, 0);
    EXPECT_EQ(h.calibration.calibrated, 0);
    EXPECT_EQ(h.calibration.gainTable, gainBefore);
    h.Route('z');  // the next non-zero byte is text
    EXPECT_EQ(h.text.length, 1);
  }
}

TEST(RouteByteTest, FailureLineShowsLevelsOfAnEarlierSequence) {
  Harness h;
  h.RouteAll({0, 1, 2, 4, 8, 16, 32, 64, 128});
  h.spectrum = Spectrum{};
  h.RouteAll({0, 1, 4});
  EXPECT_EQ(h.files.flagData.substr(h.files.flagData.find('\n') + 1),
            "0, 0, 300, 400, 500, 600, 700, 800 : 1 : 4\n");
  EXPECT_EQ(h.calibration.calibrated, 1);  // a failure keeps the last calibration
}

TEST(RouteByteTest, TextLimitIs127Characters) {
  Harness h;
  for (int i = 1; i < 127; ++i) ASSERT_FALSE(h.Route('a'));
  EXPECT_TRUE(h.Route('b'));
  h.Finish();
  EXPECT_EQ(h.files.receiveText, std::string(126, 'a') + "b");
  EXPECT_EQ(h.box.shownTexts.back(), h.files.receiveText);
  EXPECT_EQ(h.text.bytes[127], 0);
}

TEST(FinishTickTextTest, EmptyTicksCountAndLapseCalibration) {
  Harness h;
  h.RouteAll({0, 1, 2, 4, 8, 16, 32, 64, 128});
  for (int i = 0; i < 9; ++i) {
    h.text.Clear();
    h.Finish();
  }
  EXPECT_EQ(h.calibration.calibrated, 1);
  EXPECT_EQ(h.calibration.silentTicks, 9);
  h.text.Clear();
  h.Route('t');
  h.Finish();
  EXPECT_EQ(h.calibration.silentTicks, 0);
  EXPECT_EQ(h.calibration.calibrated, 1);
  for (int i = 0; i < 10; ++i) {
    h.text.Clear();
    h.Finish();
  }
  EXPECT_EQ(h.calibration.calibrated, 0);
  EXPECT_EQ(h.files.receiveText, "t");
  EXPECT_EQ(h.box.shownTexts.back(), "");
}

TEST(FinishTickTextTest, CalibrationCompletedLateStaysUntilTextAndTenMoreEmptyTicks) {
  Harness h;
  for (int i = 0; i < 12; ++i) {
    h.text.Clear();
    h.Finish();
  }
  h.RouteAll({0, 1, 2, 4, 8, 16, 32, 64, 128});  // completes with 12 empty ticks counted
  for (int i = 0; i < 5; ++i) {
    h.text.Clear();
    h.Finish();
  }
  EXPECT_EQ(h.calibration.calibrated, 1);
}

TEST(FinishTickTextTest, FileFailureChangesNothingElse) {
  Harness h;
  h.files.fail = true;
  h.RouteAll({0, 1, 2, 4, 8, 16, 32, 64, 128});
  EXPECT_EQ(h.calibration.calibrated, 1);
  EXPECT_EQ(h.calibration.gainTable[8], 3600);
  h.Route('q');
  h.Finish();
  EXPECT_EQ(h.box.shownTexts.back(), "q");
  EXPECT_EQ(h.calibration.silentTicks, 0);
}

TEST(FinishTickTextTest, BytesAreDeliveredUnchanged) {
  Harness h;
  for (int b = 1; b < 128; ++b) h.Route(static_cast<uint8_t>(b));
  h.Finish();
  std::string expected;
  for (int b = 1; b < 128; ++b) expected.push_back(static_cast<char>(b));
  EXPECT_EQ(h.files.receiveText, expected);
}

}  // namespace
}  // namespace brindlemoor
