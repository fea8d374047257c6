// The programs' command-line parser: the forms it accepts, what it refuses and how it words it.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "command_line.h"
#include "testing/case_name.h"

namespace brindlemoor::tools {
namespace {

constexpr KnownOption kOptions[] = {
    {"--input", 'i', "FILE"}, {"--rate", 0, "HZ"}, {"--trace"}, {"--help", 'h'}};

struct Case {
  const char* name;
  std::vector<std::string> args;
  std::map<std::string, std::string, std::less<>> values;
  std::vector<std::string> positional;
  std::string problem;  // empty: parsed
  UnknownShort unknownShort = UnknownShort::kRefuse;
};

class CommandLineTest : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineTest, ParsesOrNamesTheProblem) {
  const Case& c = GetParam();
  std::vector<const char*> argv = {"program"};
  for (const std::string& arg : c.args) argv.push_back(arg.c_str());
  CommandLine line;
  const std::string problem =
      ParseCommandLine(kOptions, static_cast<int>(argv.size()), argv.data(), line, c.unknownShort);
  EXPECT_EQ(problem, c.problem);
  if (!c.problem.empty()) return;
  EXPECT_EQ(line.values, c.values);
  EXPECT_EQ(line.positional, c.positional);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CommandLineTest,
    ::testing::Values(
        Case{"SeparateValue", {"--input", "a.wav"}, {{"--input", "a.wav"}}, {}, ""},
        Case{"InlineValue", {"--input=a=b.wav"}, {{"--input", "a=b.wav"}}, {}, ""},
        Case{"ShortAlias", {"-i", "a.wav", "-h"}, {{"--input", "a.wav"}, {"--help", ""}}, {}, ""},
        Case{"ValueMayStartWithDash", {"--rate", "-5"}, {{"--rate", "-5"}}, {}, ""},
        Case{"FlagTwiceIsOne", {"--trace", "--trace"}, {{"--trace", ""}}, {}, ""},
        Case{"Positionals", {"x", "-", "--trace", "y"}, {{"--trace", ""}}, {"x", "-", "y"}, ""},
        Case{"DoubleDashEndsOptions", {"--", "--trace", "-i"}, {}, {"--trace", "-i"}, ""},
        Case{"UnknownShortKept",
             {"-platform", "offscreen", "-i", "a.wav"},
             {{"--input", "a.wav"}},
             {"-platform", "offscreen"},
             "",
             UnknownShort::kKeep},
        Case{"UnknownLong", {"--loud"}, {}, {}, "unknown option '--loud'"},
        Case{"UnknownLongWithValue", {"--loud=yes"}, {}, {}, "unknown option '--loud'"},
        Case{"UnknownShort", {"-x"}, {}, {}, "unknown option '-x'"},
        Case{"ClusteredShorts", {"-hi"}, {}, {}, "unknown option '-hi'"},
        Case{"UnknownLongNotKept",
             {"--platform"},
             {},
             {},
             "unknown option '--platform'",
             UnknownShort::kKeep},
        Case{"MissingValue", {"--trace", "--input"}, {}, {}, "--input needs a value (FILE)"},
        Case{"MissingValueOfAlias", {"-i"}, {}, {}, "--input needs a value (FILE)"},
        Case{"EmptyValue", {"--input="}, {}, {}, "empty value for --input: expected FILE"},
        Case{"FlagWithValue", {"--trace=1"}, {}, {}, "--trace takes no value"},
        Case{"ValueTwice",
             {"--input", "a.wav", "-i", "b.wav"},
             {},
             {},
             "--input given twice ('a.wav' and 'b.wav')"},
        Case{"ValueTwiceSameValue",
             {"--rate=8", "--rate", "8"},
             {},
             {},
             "--rate given twice ('8' and '8')"}),
    brindlemoor::testing::CaseName());

TEST(CommandLineValueTest, FallsBackWhenNotGiven) {
  const char* argv[] = {"program", "--rate", "44100"};
  CommandLine line;
  ASSERT_EQ(ParseCommandLine(kOptions, 3, argv, line), "");
  EXPECT_EQ(line.Value("--rate", "none"), "44100");
  EXPECT_EQ(line.Value("--input", "none"), "none");
  EXPECT_EQ(line.Value("--input"), "");
  EXPECT_TRUE(line.Has("--rate"));
  EXPECT_FALSE(line.Has("--trace"));
}

struct HelpCase {
  const char* name;
  KnownOption option;
  std::string lines;  // what OptionsHelp gives for the option alone, at column 12
};

class OptionsHelpTest : public ::testing::TestWithParam<HelpCase> {};

TEST_P(OptionsHelpTest, ListsTheFormAndIndentsTheHelp) {
  const HelpCase& c = GetParam();
  EXPECT_EQ(OptionsHelp(std::span(&c.option, 1), 12), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, OptionsHelpTest,
    ::testing::Values(
        HelpCase{"Flag", {.name = "--trace", .help = "trace"}, "  --trace   trace\n"},
        HelpCase{"ShortAliasAndValue",
                 {.name = "--n", .shortName = 'n', .valueName = "F", .help = "read F"},
                 "  -n, --n F read F\n"},
        HelpCase{"ContinuationLinesIndented",
                 {.name = "--in", .valueName = "F", .help = "one\ntwo\nthree"},
                 "  --in F    one\n            two\n            three\n"},
        // One space must stay between the form and the help; a form that leaves none stands alone.
        HelpCase{"FormOneShortOfTheColumn", {.name = "--abcdefg", .help = "x"}, "  --abcdefg x\n"},
        HelpCase{"FormReachingTheColumn",
                 {.name = "--abcdefgh", .help = "x"},
                 "  --abcdefgh\n            x\n"},
        HelpCase{"NoHelpNotListed", {.name = "--hidden", .valueName = "N"}, ""}),
    brindlemoor::testing::CaseName());

TEST(OptionsHelpOrderTest, KeepsTheTableOrder) {
  constexpr KnownOption options[] = {{.name = "--b", .help = "second"},
                                     {.name = "--a", .help = "first"}};
  EXPECT_EQ(OptionsHelp(options, 6), "  --b second\n  --a first\n");
}

}  // namespace
}  // namespace brindlemoor::tools
