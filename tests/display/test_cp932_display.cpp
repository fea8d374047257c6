#include <gtest/gtest.h>

#include <string>

#include "display/cp932_display.h"
#include "testing/case_name.h"

namespace brindlemoor {
namespace {

struct DisplayCase {
  const char* name;
  std::string bytes;
  std::string shown;  // UTF-8
};

class Cp932DisplayTest : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(Cp932DisplayTest, ShowsEachByteOrPair) {
  EXPECT_EQ(Cp932ToDisplay(GetParam().bytes), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Cp932DisplayTest,
    ::testing::Values(DisplayCase{"Empty", "", ""},
                      DisplayCase{"Ascii", "Hello, 123 ~\\", "Hello, 123 ~\\"},
                      DisplayCase{"HalfWidthKatakana", "\xB1\xB2\xB3\xDF\xA1", "ｱｲｳﾟ｡"},
                      DisplayCase{"DoubleByte", "\x93\xFA\x96\x7B\x82\xA0", "日本あ"},
                      DisplayCase{"TrailByteInAsciiRange", "\x83\x5C\x83\x41", "ソア"},
                      DisplayCase{"VendorRows", "\x87\x40\xFA\x40\xED\x40", "①ⅰ纊"},
                      DisplayCase{"UserDefinedAreaIsPrivateUse", "\xF0\x40", "\uE000"},
                      DisplayCase{"ControlBytesAsPictures",
                                  std::string("\x01\x09\x0A\x0D\x1B\x1F", 6), "␁␉␊␍␛␟"},
                      DisplayCase{"Delete",
                                  "a\x7F"
                                  "b",
                                  "a␡b"},
                      DisplayCase{"UnmappedSingleBytes", "\x80\xA0\xFD\xFE\xFF",
                                  "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
                      DisplayCase{"UnmappedPairIsOneReplacement",
                                  "\x85\x40"
                                  "A",
                                  "\uFFFD"
                                  "A"},
                      DisplayCase{"LeadByteAtTheEnd", "A\x82", "A\uFFFD"},
                      DisplayCase{"LeadByteBeforeControl", "\x82\x0A", "\uFFFD␊"},
                      DisplayCase{"LeadByteBeforeDelete", "\x82\x7F", "\uFFFD␡"},
                      DisplayCase{"LeadByteTakesTheNextTrail", "\x82\x82\xA0", "ｂ\uFFFD"},
                      DisplayCase{"Mixed",
                                  "\xBA\xDD\xC6\xC1\xCA "
                                  "OK\x0A",
                                  "ｺﾝﾆﾁﾊ OK␊"}),
    brindlemoor::testing::CaseName());

// Every byte value alone gives exactly one character, so no byte is ever dropped or merged.
TEST(Cp932DisplayTest, EverySingleByteShowsAsOneCharacter) {
  for (int b = 0; b < 256; ++b) {
    const std::string shown = Cp932ToDisplay(std::string(1, static_cast<char>(b)));
    std::size_t characters = 0;
    for (unsigned char c : shown) characters += (c & 0xC0) != 0x80 ? 1 : 0;
    EXPECT_EQ(characters, 1u) << "byte " << b;
  }
}

}  // namespace
}  // namespace brindlemoor
