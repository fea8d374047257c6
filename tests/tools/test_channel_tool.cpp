// brindlemoor-channel from the outside: a seeded run repeats exactly, another seed differs, and
// bad input stops it with one line, exit status 2 and no output file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/case_name.h"
#include "testing/tool_run.h"
#include "tools/hostile_recordings.h"

namespace brindlemoor {
namespace {

namespace fs = std::filesystem;
using testing::ReadWhole;
using testing::RunTool;
using testing::ToolResult;

class ChannelToolTest : public testing::ToolDirectoryTest {
 protected:
  ToolResult Channel(std::vector<std::string> args) {
    return RunTool(BRINDLEMOOR_CHANNEL_TOOL, args, dir);
  }

  const std::string example = std::string(BRINDLEMOOR_SOURCE_DIR) + "/examples/hello.wav";
};

TEST_F(ChannelToolTest, SeedDecidesTheNoise) {
  const std::vector<std::string> effects = {"--snr",       "15",         "--reverb", "mild",
                                            "--clock",     "-0.5",       "--dc",     "0.02",
                                            "--quantize8", "--high-cut", "3000"};
  for (const auto& [out, seed] : {std::pair{"a.wav", "7"}, {"b.wav", "7"}, {"c.wav", "8"}}) {
    std::vector<std::string> args = {example, out, "--seed", seed};
    args.insert(args.end(), effects.begin(), effects.end());
    const ToolResult result = Channel(args);
    ASSERT_EQ(result.status, 0) << result.err;
  }
  const std::string a = ReadWhole(dir / "a.wav");
  EXPECT_GT(a.size(), 1000u);
  EXPECT_EQ(a, ReadWhole(dir / "b.wav"));
  EXPECT_NE(a, ReadWhole(dir / "c.wav"));
}

struct BadInput {
  const char* name;
  std::vector<std::string> args;  // "IN" stands for the example recording, "DAMAGED" for a FLAC
                                  // with junk in its middle
  const char* says;
};

class ChannelBadInputTest : public ChannelToolTest,
                            public ::testing::WithParamInterface<BadInput> {};

TEST_P(ChannelBadInputTest, OneLineExitTwoAndNoFile) {
  std::vector<std::string> args = GetParam().args;
  fs::create_directory(dir / "folder");
  for (std::string& arg : args) {
    if (arg == "IN") arg = example;
    if (arg == "DAMAGED") {
      const HostileRecording damaged = DamagedRecordings().front();
      std::string problem;
      ASSERT_TRUE(MakeHostileRecording(damaged, dir.string(), problem)) << problem;
      arg = (dir / damaged.name).string();
    }
  }
  const std::vector<std::string> before = Entries();
  const ToolResult result = Channel(args);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  EXPECT_NE(result.err.find(GetParam().says), std::string::npos) << result.err;
  EXPECT_EQ(Entries(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChannelBadInputTest,
    ::testing::Values(BadInput{"MissingInput", {"nowhere.wav", "out.wav"}, "nowhere.wav"},
                      BadInput{"DirectoryInput", {"folder", "out.wav"}, "not a regular file"},
                      BadInput{"UnwritableOutput", {"IN", "no/dir/out.wav"}, "no/dir/out.wav"},
                      BadInput{"OneFile", {"IN"}, "needs an input and an output"},
                      BadInput{"BadSnr", {"IN", "out.wav", "--snr", "loud"}, "--snr"},
                      BadInput{"BadClock", {"IN", "out.wav", "--clock", "12"}, "--clock"},
                      BadInput{"BadRoom", {"IN", "out.wav", "--reverb", "hall"}, "--reverb"},
                      BadInput{"ZeroGain", {"IN", "out.wav", "--gain", "0"}, "--gain"},
                      BadInput{"BadHighCut", {"IN", "out.wav", "--high-cut", "9000"}, "--high-cut"},
                      BadInput{"NegativeSeed", {"IN", "out.wav", "--seed", "-3"}, "--seed"},
                      BadInput{"OutputIsTheInput", {"folder", "./folder"}, "overwrite the input"},
                      BadInput{"DamagedInput", {"DAMAGED", "out.wav"}, "truncated or unreadable"}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor
