// Paths in messages: standard input by name, bytes that would act on a terminal escaped.
#include <gtest/gtest.h>

#include <string>

#include "shown_name.h"

namespace brindlemoor::tools {
namespace {

TEST(ShownName, EscapesWhatWouldActOnATerminal) {
  struct Case {
    std::string path;
    std::string shown;
  };
  const Case cases[] = {
      {"-", "standard input"},
      {"./dir/-", "./dir/-"},
      {"rec\033]2;owned\007.wav", "rec\\x1b]2;owned\\x07.wav"},
      {"\033[2Jout", "\\x1b[2Jout"},
      {"caf\xc3\xa9 \xe3\x83\x86.wav", "caf\xc3\xa9 \xe3\x83\x86.wav"},
      {"c1\x9b"
       "1m\x7f.wav",
       "c1\\x9b1m\\x7f.wav"},
  };
  for (const Case& c : cases) EXPECT_EQ(ShownName(c.path), c.shown) << c.path;
}

}  // namespace
}  // namespace brindlemoor::tools
