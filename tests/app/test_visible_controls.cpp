// Received text on a terminal: control bytes other than LF and TAB in caret notation, every other
// byte as it is.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/visible_controls.h"

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
        Case{"HighBytesAsThey", "\x80\x9b\xc3\xa9\xff", "\x80\x9b\xc3\xa9\xff"},
        Case{"ControlsAtBothEnds", "\033x\033", "^[x^["}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brindlemoor
