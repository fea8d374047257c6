// The first letters after a calibration found again: held until there are enough of them, routed
// in order before any symbol after them, and never past the tick's text.
#include <gtest/gtest.h>

#include <string>

#include "receiver/tick_text.h"
#include "robust/first_letters.h"
#include "testing/case_name.h"
#include "testing/fake_wave_in_device.h"
#include "testing/fake_window.h"

namespace brindlemoor::robust {
namespace {

class NoTextBox : public TextBox {
 public:
  void ReplaceText(const char*, std::size_t) override {}
};

struct LetterCase {
  const char* name;
  int32_t filled;         // text already in the tick
  std::string letters;    // offered as letters, in order
  bool otherAfter;        // then a symbol that is no letter ('x')
  LetterRoute lastRoute;  // what the last offer returned
  int32_t textLength;     // the tick's text afterwards
};

class FirstLettersTest : public ::testing::TestWithParam<LetterCase> {};

TEST_P(FirstLettersTest, HeldInOrderWithinTheText) {
  const LetterCase& c = GetParam();
  testing::FakeWaveInDevice device;
  WaveCapture capture{device};
  SymbolState symbol;
  SpectrumAnalyzer analyser;
  std::array<int32_t, kSpectrumBins> spectrum{};
  CalibrationState calibration;
  TickText text;
  testing::MemoryTextOutput files;
  NoTextBox box;
  ReceiveContext context{capture,     nullptr, symbol, analyser, spectrum.data(),
                         calibration, text,    files,  box};
  for (int32_t i = 0; i < c.filled; ++i) RouteByte('z', spectrum.data(), calibration, text, files);
  HarmonicBalance balance;
  FirstLetters first;
  OpenFirstLetters(first);
  LetterRoute route = LetterRoute::kNotHeld;
  int64_t onset = 1000;
  for (const char letter : c.letters) {
    route = RouteFirstLetter(first, true, static_cast<uint8_t>(letter), onset += 1000, balance,
                             calibration, context);
  }
  if (c.otherAfter) {
    route = RouteFirstLetter(first, false, 'x', onset + 1000, balance, calibration, context);
  }
  EXPECT_EQ(route, c.lastRoute);
  ASSERT_EQ(text.length, c.textLength);
  const std::string expected =
      (std::string(static_cast<std::size_t>(c.filled), 'z') + c.letters).substr(0, c.textLength);
  EXPECT_EQ(std::string(text.bytes.data(), static_cast<std::size_t>(text.length)), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Offers, FirstLettersTest,
    ::testing::Values(
        LetterCase{"HeldUntilTheTwelfth", 0, "abcdefghijk", false, LetterRoute::kHeld, 0},
        LetterCase{"TwelveReleasedInOrder", 0, "abcdefghijkl", false, LetterRoute::kHeld, 12},
        // The caller routes the other symbol after them.
        LetterCase{"OtherSymbolAfterThem", 0, "abc", true, LetterRoute::kNotHeld, 3},
        LetterCase{"ThirteenthAfterThem", 0, "abcdefghijklm", false, LetterRoute::kNotHeld, 12},
        // A release that fills the text says so: the caller routes nothing more.
        LetterCase{"ReleaseFillsTheText", 120, "abcdefghijkl", false, LetterRoute::kFull, 127},
        LetterCase{"FullBeforeTheOtherSymbol", 125, "abc", true, LetterRoute::kFull, 127}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor::robust
