// Received text on a terminal: control bytes other than LF and TAB, and C1 bytes outside valid
// UTF-8, in caret notation; every other byte as it is.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "dialog/visible_controls.h"
#include "testing/case_name.h"

namespace brindlemoor {
namespace {

std::string Visible(const std::string& bytes) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  EXPECT_TRUE(WriteVisible(file, bytes.data(), bytes.size()));
  std::rewind(file);
  std::string shown;
  for (int c; (c = std::fgetc(file)) != EOF;) shown += static_cast<char>(c);
  std::fclose(file);
  return shown;
}

struct Case {
  const char* name;
  std::string bytes;
  std::string shown;
};

class VisibleControlsTest : public ::testing::TestWithParam<Case> {};

TEST_P(VisibleControlsTest, ShowsControlBytesInCaretNotation) {
  EXPECT_EQ(Visible(GetParam().bytes), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VisibleControlsTest,
    ::testing::Values(
        Case{"Empty", "", ""}, Case{"PrintableAsIs", "Hello, room ~", "Hello, room ~"},
        Case{"LineFeedAndTabAsThey", "a\tb\nc", "a\tb\nc"},
        Case{"TitleAndClearSequence", "safe\033]0;PWNED\007\033[2J", "safe^[]0;PWNED^G^[[2J"},
        Case{"CarriageReturnAndBackspace", "ok\rno\b", "ok^Mno^H"},
        Case{"NulAndUnitSeparator", std::string("\0\x1f", 2), "^@^_"}, Case{"Delete", "\x7f", "^?"},
        Case{"LoneC1BytesEscapedOtherHighBytesAsThey", "\x80\x9b\xc3\xa9\xff",
             "M-^@M-^[\xc3\xa9\xff"},
        Case{"C1InsideValidUtf8AsIs", "\xe2\x80\x9b\xf0\x9f\x98\x80",
             "\xe2\x80\x9b\xf0\x9f\x98\x80"},
        Case{"C1AfterCutOrOverlongSequence", "\xe2\x80 \xc0\x9b\xed\xa0\x80",
             "\xe2M-^@ \xc0M-^[\xed\xa0M-^@"},
        Case{"ControlsAtBothEnds", "\033x\033", "^[x^["}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor
