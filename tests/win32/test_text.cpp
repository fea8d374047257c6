// The text conversions at the Win32 boundary: our UTF-8 texts in the ANSI code page (which
// decides between the multibyte and the wide functions) and the application's title.
#include <gtest/gtest.h>
#include <windows.h>

#include "dialog/resources.h"
#include "win32/text.h"

namespace brindlemoor {
namespace {

TEST(Win32TextTest, WideRoundTripKeepsEveryCharacter) {
  for (const char* text : {"", "Brindlemoor", kAboutMenuText, kSpectrumAllocFailedText}) {
    EXPECT_EQ(WideToUtf8(Utf8ToWide(text)), text);
  }
  EXPECT_EQ(Utf8ToWide("ｺﾝﾆﾁﾊ"), L"\xFF7A\xFF9D\xFF86\xFF81\xFF8A");
}

TEST(Win32TextTest, AnsiTextOnlyWhenTheCodePageHoldsEveryCharacter) {
  EXPECT_EQ(Utf8ToAnsi("Quillbrook Version 1.0"), "Quillbrook Version 1.0");
  EXPECT_EQ(Utf8ToAnsi(""), "");
  if (GetACP() == 932) {
    // Shift_JIS: half-width katakana are one byte each, the rest two.
    EXPECT_EQ(Utf8ToAnsi("ｺﾝﾆﾁﾊ"), "\xBA\xDD\xC6\xC1\xCA");
    EXPECT_EQ(Utf8ToAnsi(kRecordAllocFailedText),
              "\x98\x5E\x89\xB9\x8F\x88\x97\x9D\x82\xCC\x8F\x89\x8A\xFA\x89\xBB\x82\xC9\x8E\xB8"
              "\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x49");
  } else {
    // A Western code page has no kana: the wide function must be used, not question marks.
    EXPECT_EQ(Utf8ToAnsi(kRecordAllocFailedText), std::nullopt);
    EXPECT_EQ(Utf8ToAnsi(kAboutMenuText), std::nullopt);
  }
}

TEST(Win32TextTest, ApplicationTitleIsTheProgramNameWithoutExtension) {
  EXPECT_EQ(ApplicationTitle(), BRINDLEMOOR_TEST_PROGRAM_NAME);
}

}  // namespace
}  // namespace brindlemoor
