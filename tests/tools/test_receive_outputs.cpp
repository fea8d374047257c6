// brindlemoor-receive's outputs from the outside: no output may be the recording it decodes or
// another output (whatever the names), and the dump appears only when complete, under the
// program's own messages and statuses.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/tool_run.h"

namespace brindlemoor {
namespace {

namespace fs = std::filesystem;
using testing::ReadWhole;
using testing::RunTool;
using testing::ToolResult;

class ReceiveOutputsTest : public testing::ToolDirectoryTest {
 protected:
  void SetUp() override {
    ToolDirectoryTest::SetUp();
    fs::copy_file(std::string(BRINDLEMOOR_SOURCE_DIR) + "/examples/hello.wav", dir / "a.wav");
    recording = ReadWhole(dir / "a.wav");
  }
  ToolResult Receive(const std::vector<std::string>& args) {
    return RunTool(BRINDLEMOOR_RECEIVE_TOOL, args, dir);
  }

  std::string recording;
};

struct Overlap {
  const char* name;
  std::string link;  // made as a symbolic link to a.wav first, when not empty
  std::vector<std::string> args;
  const char* says;
};

class ReceiveOverlapTest : public ReceiveOutputsTest,
                           public ::testing::WithParamInterface<Overlap> {};

TEST_P(ReceiveOverlapTest, RefusedWithTheRecordingIntact) {
  if (!GetParam().link.empty()) fs::create_symlink("a.wav", dir / GetParam().link);
  const std::vector<std::string> before = Entries();
  const ToolResult result = Receive(GetParam().args);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  EXPECT_NE(result.err.find(GetParam().says), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(Entries(), before);
  EXPECT_EQ(ReadWhole(dir / "a.wav"), recording);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiveOverlapTest,
    ::testing::Values(Overlap{"DumpIsInput",
                              "",
                              {"--input", "a.wav", "--dump", "a.wav"},
                              "--dump would overwrite"},
                      Overlap{"DumpIsInputByAnotherName",
                              "",
                              {"--input", "a.wav", "--dump", "./a.wav"},
                              "./a.wav: --dump would overwrite the recording"},
                      Overlap{"DumpIsALinkToTheInput",
                              "b.wav",
                              {"-i", "a.wav", "--dump", "b.wav"},
                              "b.wav: --dump would overwrite the recording"},
                      Overlap{"InputIsReceiveText",
                              "receive.txt",
                              {"receive.txt"},
                              "the recording is the output file receive.txt"},
                      Overlap{"InputIsFlagData", "flag.dat", {"flag.dat"}, "output file flag.dat"},
                      Overlap{"DumpIsReceiveText",
                              "receive.txt",
                              {"--input", "a.wav", "--dump", "receive.txt"},
                              "--dump would overwrite"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReceiveOutputsTest, DumpAppearsWholeWithNothingLeftBeside) {
  const ToolResult result = Receive({"--input", "a.wav", "--dump", "d.wav"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.wav", "d.wav", "receive.txt"}));
  // The dump holds what was captured: decoded again it gives the same text.
  fs::create_directory(dir / "again");
  const ToolResult again = Receive({"d.wav", "--output-dir", "again"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, result.out);
}

TEST_F(ReceiveOutputsTest, UnwritableDumpIsAnOutputFailureInTheProgramsWords) {
  const std::vector<std::string> before = Entries();
  const ToolResult result = Receive({"--input", "a.wav", "--dump", "no/such/dir/d.wav"});
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.err,
            "brindlemoor-receive: no/such/dir/d.wav: cannot create the file: No such file or "
            "directory\n");
  EXPECT_EQ(Entries(), before);
}

}  // namespace
}  // namespace brindlemoor
