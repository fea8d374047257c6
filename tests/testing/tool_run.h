// Runs a command-line tool for a test: arguments are quoted for the shell, standard input can be
// fed from a file, and the exit status, standard output and standard error come back.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
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
  for (const std::string& arg : args) {
    command += ' ';
    command += ShellQuote(arg);
  }
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

// A tool started in the background in `workDir`, for tests that signal it while it runs: its
// standard output is a pipe the test reads (or holds full), standard error goes to a file.
struct RunningTool {
  pid_t pid = -1;
  int out = -1;  // the read end of its standard output
  std::filesystem::path errPath;

  // Reads what its standard output holds, waiting up to `ms` for something: 1 when it read
  // something, 0 when nothing came, -1 at its end.
  int ReadSome(int ms) {
    pollfd ready{out, POLLIN, 0};
    if (poll(&ready, 1, ms) <= 0) return 0;
    char buffer[4096];
    const ssize_t got = read(out, buffer, sizeof buffer);
    if (got <= 0) return -1;
    text.append(buffer, static_cast<std::size_t>(got));
    return 1;
  }
  // Reads its standard output until it holds `wanted` or `seconds` have passed; what was read.
  std::string ReadUntil(const std::string& wanted, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (text.find(wanted) == std::string::npos && std::chrono::steady_clock::now() < deadline &&
           ReadSome(100) >= 0) {
    }
    return text;
  }
  // Its exit status once it has exited, within `seconds` (a generous guard, not a timing), its
  // standard output read meanwhile; -1 when a signal ended it, -2 when it was still running (it
  // is then killed).
  int WaitWithin(int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    int read = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        close(out);
        return -2;
      }
      if (read < 0 || (read = ReadSome(20)) < 0) usleep(20000);
    }
    while (read >= 0 && (read = ReadSome(0)) > 0) {
    }
    close(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Err() const { return ReadWhole(errPath); }

  std::string text;  // standard output read so far
};

// What a started tool's standard output is: a pipe the test reads, or as given.
inline constexpr int kOutputToTest = -1;
inline constexpr int kOutputClosed = -2;

// Starts `tool` with `args`; standard input is `inFd` (left open in the test), or /dev/null;
// standard output a pipe to the test, closed, or the descriptor `outFd`.
inline RunningTool StartTool(const std::string& tool, const std::vector<std::string>& args,
                             const std::filesystem::path& workDir, int inFd = -1,
                             int outFd = kOutputToTest) {
  RunningTool running;
  running.errPath = workDir / ".run-err";
  int outPipe[2];
  if (pipe(outPipe) != 0) return running;
  fcntl(outPipe[0], F_SETPIPE_SZ, 4096);  // small, so that a test can hold the tool by not reading
  running.pid = fork();
  if (running.pid == 0) {
    const int in = inFd >= 0 ? inFd : open("/dev/null", O_RDONLY);
    dup2(in, STDIN_FILENO);
    const int err = open(running.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, STDERR_FILENO);
    if (outFd == kOutputClosed) {
      close(STDOUT_FILENO);
    } else {
      dup2(outFd >= 0 ? outFd : outPipe[1], STDOUT_FILENO);
    }
    for (const int fd : {err, outPipe[0], outPipe[1]}) {
      if (fd > STDERR_FILENO) close(fd);
    }
    if (chdir(workDir.c_str()) != 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>(tool.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(tool.c_str(), argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  running.out = outPipe[0];
  return running;
}

}  // namespace brindlemoor::testing
