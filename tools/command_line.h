// One command-line parser for all the programs, so that they accept the same forms and word their
// errors alike: "--opt value" and "--opt=value", short aliases where a program documents them,
// "--" ending the options, a value option given twice refused, and one line for every problem.
#pragma once

#include <cstdio>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brindlemoor::tools {

inline constexpr int kExitUsage = 2;

// One option of a program: how it is written and, for --help, what it does.
struct KnownOption {
  std::string_view name;         // the long form, dashes included: "--input"
  char shortName = 0;            // 'i' for "-i"; 0: none
  std::string_view valueName{};  // what the value is ("FILE"); empty: a flag without a value
  // Its words in --help, lines broken by hand with '\n' (the help's wording is kept as written,
  // not rewrapped); empty: accepted but not listed.
  std::string_view help{};
};

// What to do with a single-dash argument that is no option of ours.
enum class UnknownShort {
  kRefuse,  // an unknown option
  kKeep,    // kept among the positional arguments, in order (the window hands them to Qt)
};

struct CommandLine {
  std::map<std::string, std::string, std::less<>> values;  // by long name; a flag maps to ""
  std::vector<std::string> positional;                     // in order, "-" and after "--" too

  bool Has(std::string_view name) const { return values.find(name) != values.end(); }
  // The option's value, or `fallback` when it was not given.
  std::string Value(std::string_view name, std::string_view fallback = {}) const;
};

// Parses argv[1..argc-1] against `options`. Returns an empty string on success, else the problem
// in one short phrase ("unknown option '--loud'"), for UsageError.
std::string ParseCommandLine(std::span<const KnownOption> options, int argc,
                             const char* const* argv, CommandLine& line,
                             UnknownShort unknownShort = UnknownShort::kRefuse);

// "unexpected argument 'x'", for a positional argument a program has no place for.
std::string UnexpectedArgument(std::string_view argument);

// "invalid value 'x' for --rate: expected 11025, 22050, 44100 or 48000"
std::string InvalidValue(std::string_view option, std::string_view value,
                         std::string_view expected);

// The options' lines of --help, in the table's order: "  -i, --input FILE" and the help's lines
// from `column` on, continuation lines indented to it; a form too long to leave a space before
// `column` stands alone on its line.
std::string OptionsHelp(std::span<const KnownOption> options, std::size_t column);

// Prints "<program>: <problem> (see '<program> --help')" on stderr; returns kExitUsage.
int UsageError(const char* program, std::string_view problem);

// Prints "<program> (Brindlemoor) <version>" on `to`, the line --version shows.
void PrintVersion(std::FILE* to, const char* program);

}  // namespace brindlemoor::tools
