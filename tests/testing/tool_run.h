// Runs a command-line tool for a test: arguments are quoted for the shell, standard input can be
// fed from a file, and the exit status, standard output and standard error come back.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace brindlemoor::testing {

struct ToolResult {
  int status = -1;  // the exit status, -1 when the tool did not exit normally
  std::string out;
  std::string err;
};

inline std::string ShellQuote(const std::string& arg) {
  std::string quoted = "'";
  for (const char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh directory for a test of a tool, removed with everything in it.
class ToolDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tool-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  // Names in the directory, hidden ones (temporary files) included, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path dir;
};

// Runs `tool` with `args` in `workDir` (which also keeps the captured output, as files whose
// names start with ".run-"); standard input comes from `stdinPath`, or /dev/null when empty.
inline ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args,
                          const std::filesystem::path& workDir, const std::string& stdinPath = "") {
  const std::filesystem::path out = workDir / ".run-out";
  const std::filesystem::path err = workDir / ".run-err";
  std::string command = "cd " + ShellQuote(workDir.string()) + " && " + ShellQuote(tool);
  for (const std::string& arg : args) command += " " + ShellQuote(arg);
  command += " <" + ShellQuote(stdinPath.empty() ? "/dev/null" : stdinPath);
  command += " >" + ShellQuote(out.string()) + " 2>" + ShellQuote(err.string());
  const int raw = std::system(command.c_str());
  ToolResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadWhole(out);
  result.err = ReadWhole(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return result;
}

}  // namespace brindlemoor::testing
