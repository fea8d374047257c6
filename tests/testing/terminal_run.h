// Runs a command-line tool for a test with standard output, standard error or both on a
// pseudo-terminal (in raw mode, so the bytes arrive as written), the rest going to files; what
// the terminal showed, the files and the exit status come back.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/tool_run.h"

namespace brindlemoor::testing {

struct TerminalResult {
  int status = -1;       // the exit status, -1 when the tool did not exit normally
  std::string terminal;  // everything written to the terminal
  std::string out;       // standard output, when it was not the terminal
  std::string err;       // standard error, when it was not the terminal
};

inline TerminalResult RunOnTerminal(const std::string& tool, const std::vector<std::string>& args,
                                    const std::filesystem::path& workDir, bool stdoutOnTerminal,
                                    bool stderrOnTerminal) {
  TerminalResult result;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return result;
  // Opened here, before the child exists, so the terminal is never without a user until the
  // tool has finished with it.
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  if (slave < 0) return result;
  termios mode{};
  tcgetattr(slave, &mode);
  cfmakeraw(&mode);
  tcsetattr(slave, TCSANOW, &mode);
  const std::string outPath = (workDir / ".run-out").string();
  const std::string errPath = (workDir / ".run-err").string();
  std::vector<std::string> argvStrings = {tool};
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvStrings) argv.push_back(arg.data());
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    dup2(stdoutOnTerminal ? slave : out, STDOUT_FILENO);
    dup2(stderrOnTerminal ? slave : err, STDERR_FILENO);
    if (chdir(workDir.c_str()) != 0) _exit(126);
    close(master);
    close(slave);
    execv(tool.c_str(), argv.data());
    _exit(127);
  }
  close(slave);
  // Read until the tool and everything it started have closed the terminal.
  char buffer[4096];
  for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;) {
    result.terminal.append(buffer, static_cast<std::size_t>(got));
  }
  close(master);
  int raw = 0;
  if (child > 0 && waitpid(child, &raw, 0) == child && WIFEXITED(raw)) {
    result.status = WEXITSTATUS(raw);
  }
  result.out = ReadWhole(outPath);
  result.err = ReadWhole(errPath);
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return result;
}

}  // namespace brindlemoor::testing
