#include "command_line.h"

#include "brindlemoor_version.h"
#include "platform/console_text.h"

namespace brindlemoor::tools {
namespace {

const KnownOption* FindLong(std::span<const KnownOption> options, std::string_view name) {
  for (const KnownOption& option : options) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

const KnownOption* FindShort(std::span<const KnownOption> options, char name) {
  for (const KnownOption& option : options) {
    if (option.shortName != 0 && option.shortName == name) return &option;
  }
  return nullptr;
}

std::string Quoted(std::string_view text) {
  std::string quoted(1, '\'');
  quoted += text;
  quoted += '\'';
  return quoted;
}

}  // namespace

std::string CommandLine::Value(std::string_view name, std::string_view fallback) const {
  const auto found = values.find(name);
  return found == values.end() ? std::string(fallback) : found->second;
}

std::string ParseCommandLine(std::span<const KnownOption> options, int argc,
                             const char* const* argv, CommandLine& line,
                             UnknownShort unknownShort) {
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      line.positional.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const KnownOption* option = nullptr;
    std::string_view given = arg;  // as typed, without an "=value"
    bool hasInlineValue = false;
    std::string_view inlineValue;
    if (arg.starts_with("--")) {
      if (const std::size_t equals = arg.find('='); equals != std::string_view::npos) {
        given = arg.substr(0, equals);
        inlineValue = arg.substr(equals + 1);
        hasInlineValue = true;
      }
      option = FindLong(options, given);
      if (option == nullptr) return "unknown option " + Quoted(given);
    } else {
      option = arg.size() == 2 ? FindShort(options, arg[1]) : nullptr;
      if (option == nullptr) {
        if (unknownShort == UnknownShort::kRefuse) return "unknown option " + Quoted(arg);
        line.positional.emplace_back(arg);
        continue;
      }
    }

    std::string value;
    if (option->valueName.empty()) {
      if (hasInlineValue) return std::string(option->name) + " takes no value";
    } else if (hasInlineValue) {
      value = inlineValue;
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      return std::string(option->name) + " needs a value (" + std::string(option->valueName) + ")";
    }
    if (!option->valueName.empty() && value.empty()) {
      return "empty value for " + std::string(option->name) + ": expected " +
             std::string(option->valueName);
    }

    const auto [where, inserted] = line.values.try_emplace(std::string(option->name), value);
    if (!inserted && !option->valueName.empty()) {
      return std::string(option->name) + " given twice (" + Quoted(where->second) + " and " +
             Quoted(value) + ")";
    }
  }
  return {};
}

std::string UnexpectedArgument(std::string_view argument) {
  return "unexpected argument " + Quoted(argument);
}

std::string InvalidValue(std::string_view option, std::string_view value,
                         std::string_view expected) {
  return "invalid value " + Quoted(value) + " for " + std::string(option) + ": expected " +
         std::string(expected);
}

std::string OptionsHelp(std::span<const KnownOption> options, std::size_t column) {
  std::string text;
  for (const KnownOption& option : options) {
    if (option.help.empty()) continue;
    std::string form = "  ";
    if (option.shortName != 0) form += {'-', option.shortName, ',', ' '};
    form += option.name;
    if (!option.valueName.empty()) {
      form += ' ';
      form += option.valueName;
    }
    text += form;
    if (form.size() < column) {
      text.append(column - form.size(), ' ');
    } else {
      text += '\n';
      text.append(column, ' ');
    }
    for (const char c : option.help) {
      text += c;
      if (c == '\n') text.append(column, ' ');
    }
    text += '\n';
  }
  return text;
}

int UsageError(const char* program, std::string_view problem) {
  brindlemoor::PrintText(stderr, "%s: %.*s (see '%s --help')\n", program,
                         static_cast<int>(problem.size()), problem.data(), program);
  return kExitUsage;
}

void PrintVersion(std::FILE* to, const char* program) {
  std::fprintf(to, "%s (Brindlemoor) %s\n", program, kVersion);
}

}  // namespace brindlemoor::tools
