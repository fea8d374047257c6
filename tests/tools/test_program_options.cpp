// Every program from the outside: --version prints the build's version, and the shared parser's
// forms and refusals reach each one (one line, exit status 2, nothing written).

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "brindlemoor_version.h"
#include "testing/tool_run.h"

namespace brindlemoor {
namespace {

namespace fs = std::filesystem;
using testing::RunTool;
using testing::ToolResult;

struct Program {
  const char* name;
  const char* path;
};

std::vector<Program> Programs() {
  std::vector<Program> programs = {{"brindlemoor-receive", BRINDLEMOOR_RECEIVE_TOOL},
                                   {"brindlemoor-send", BRINDLEMOOR_SEND_TOOL},
                                   {"brindlemoor-channel", BRINDLEMOOR_CHANNEL_TOOL}};
#ifdef BRINDLEMOOR_WINDOW_TOOL
  programs.push_back({"brindlemoor", BRINDLEMOOR_WINDOW_TOOL});
#endif
  return programs;
}

class ProgramOptionsTest : public testing::ToolDirectoryTest {
 protected:
  ToolResult Run(const std::string& tool, const std::vector<std::string>& args) {
    return RunTool(tool, args, dir);
  }
  // One line on stderr that names the problem and points at --help, status 2, nothing written.
  void ExpectRefused(const Program& program, const std::vector<std::string>& args,
                     const std::string& says) {
    const ToolResult result = Run(program.path, args);
    EXPECT_EQ(result.status, 2) << program.name;
    EXPECT_EQ(result.err,
              std::string(program.name) + ": " + says + " (see '" + program.name + " --help')\n");
    EXPECT_TRUE(fs::is_empty(dir)) << program.name;
  }
};

TEST_F(ProgramOptionsTest, EveryProgramPrintsTheVersionAndDocumentsIt) {
  for (const Program& program : Programs()) {
    const ToolResult version = Run(program.path, {"--version"});
    EXPECT_EQ(version.status, 0) << program.name;
    EXPECT_EQ(version.out, std::string(program.name) + " (Brindlemoor) " + kVersion + "\n");
    const ToolResult help = Run(program.path, {"-h"});
    EXPECT_EQ(help.status, 0) << program.name;
    EXPECT_NE(help.out.find("--version"), std::string::npos) << program.name;
    EXPECT_NE(help.out.find("-h, --help"), std::string::npos) << program.name;
  }
}

TEST_F(ProgramOptionsTest, EveryProgramWordsRefusalsAlike) {
  for (const Program& program : Programs()) {
    ExpectRefused(program, {"--loud"}, "unknown option '--loud'");
    ExpectRefused(program, {"--help=yes"}, "--help takes no value");
    ExpectRefused(program, {"--version", "--quiet"}, "unknown option '--quiet'");
  }
}

TEST_F(ProgramOptionsTest, ValueOptionsTwiceAreRefused) {
  const std::string example = std::string(BRINDLEMOOR_SOURCE_DIR) + "/examples/hello.wav";
  const std::vector<Program> programs = Programs();
  ExpectRefused(programs[0], {"--input", example, "--input", "b.wav"},
                "--input given twice ('" + example + "' and 'b.wav')");
  ExpectRefused(programs[1], {"-o", "a.wav", "--output=b.wav", "hi"},
                "--output given twice ('a.wav' and 'b.wav')");
  ExpectRefused(programs[2], {example, "out.wav", "--snr", "10", "--snr=20"},
                "--snr given twice ('10' and '20')");
}

// The receiver takes a recording named on its own as --input, and --opt=value like --opt value.
TEST_F(ProgramOptionsTest, ReceiverTakesAPositionalRecordingAndInlineValues) {
  const std::string example = std::string(BRINDLEMOOR_SOURCE_DIR) + "/examples/hello.wav";
  const ToolResult positional = Run(BRINDLEMOOR_RECEIVE_TOOL, {example, "--output-dir=."});
  EXPECT_EQ(positional.status, 0) << positional.err;
  EXPECT_EQ(testing::ReadWhole(dir / "receive.txt"), positional.out);
  EXPECT_NE(positional.out.find("Hello"), std::string::npos);

  const ToolResult two = Run(BRINDLEMOOR_RECEIVE_TOOL, {"-i", example, "other.wav"});
  EXPECT_EQ(two.status, 2);
  EXPECT_NE(two.err.find("unexpected argument 'other.wav'"), std::string::npos) << two.err;
}

#ifdef BRINDLEMOOR_WINDOW_TOOL
// The device errors say "see --list-devices": the window lists them as the receiver does.
TEST_F(ProgramOptionsTest, TheWindowListsTheDevicesLikeTheReceiver) {
  const ToolResult window = Run(BRINDLEMOOR_WINDOW_TOOL, {"--list-devices"});
  const ToolResult receiver = Run(BRINDLEMOOR_RECEIVE_TOOL, {"--list-devices"});
  EXPECT_EQ(window.status, receiver.status) << window.err;
  EXPECT_EQ(window.out, receiver.out);
}

// A recording that cannot be read opens the window anyway, with the reason in it as for a device
// that failed, and on stderr; closing it (here SIGTERM) is a normal end.
TEST_F(ProgramOptionsTest, TheWindowShowsWhyItsRecordingCannotBeRead) {
  const ToolResult window =
      Run("timeout", {"--preserve-status", "-s", "TERM", "3", BRINDLEMOOR_WINDOW_TOOL, "--input",
                      "missing.wav", "-platform", "offscreen"});
  EXPECT_EQ(window.status, 0) << window.err;
  EXPECT_NE(window.err.find("brindlemoor: missing.wav: no such file or directory; nothing will be "
                            "received\n"),
            std::string::npos)
      << window.err;
}
#endif

}  // namespace
}  // namespace brindlemoor
