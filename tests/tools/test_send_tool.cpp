// brindlemoor-send from the outside: what it writes comes back through brindlemoor-receive (the
// headless receiver) at every rate, a calibration it sends completes, and bad input stops it
// with one line, exit status 2 and no file left behind.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "testing/case_name.h"
#include "testing/tool_run.h"

namespace brindlemoor {
namespace {

namespace fs = std::filesystem;
using testing::ReadWhole;
using testing::RunTool;
using testing::ToolResult;

// A fresh directory per test, removed with everything in it.
class SendToolTest : public testing::ToolDirectoryTest {
 protected:
  ToolResult Send(const std::vector<std::string>& args, const std::string& stdinPath = "") {
    return RunTool(BRINDLEMOOR_SEND_TOOL, args, dir, stdinPath);
  }
  // Decodes `wav` with brindlemoor-receive into a directory of its own; returns receive.txt.
  std::string Receive(const std::string& wav, std::string* flags = nullptr) {
    const fs::path out = dir / ("received-" + std::to_string(++receptions));
    fs::create_directory(out);
    const ToolResult result =
        RunTool(BRINDLEMOOR_RECEIVE_TOOL, {"--input", wav, "--output-dir", out.string()}, dir);
    EXPECT_EQ(result.status, 0) << result.err;
    if (flags != nullptr) *flags = ReadWhole(out / "flag.dat");
    return ReadWhole(out / "receive.txt");
  }
  void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }

  int receptions = 0;
};

std::string EveryTextByte() {
  std::string bytes(255, '\0');
  std::iota(bytes.begin(), bytes.end(), '\x01');
  return bytes;
}

struct Format {
  const char* rate;
  const char* bits;
};

class SendRoundTripTest : public SendToolTest, public ::testing::WithParamInterface<Format> {};

TEST_P(SendRoundTripTest, EveryTextByteComesBack) {
  WriteFile("bytes.bin", EveryTextByte());
  const ToolResult sent = Send(
      {"--file", "bytes.bin", "--rate", GetParam().rate, "--bits", GetParam().bits, "-o", "x.wav"});
  ASSERT_EQ(sent.status, 0) << sent.err;
  EXPECT_EQ(sent.err, "");
  std::string flags;
  EXPECT_EQ(Receive((dir / "x.wav").string(), &flags), EveryTextByte());
  EXPECT_EQ(flags, "");
}

INSTANTIATE_TEST_SUITE_P(Rates, SendRoundTripTest,
                         ::testing::Values(Format{"11025", "8"}, Format{"22050", "16"},
                                           Format{"44100", "16"}, Format{"48000", "16"}),
                         [](const auto& info) {
                           return std::string(info.param.rate) + "Hz" + info.param.bits + "bit";
                         });

TEST_F(SendToolTest, CalibrationCompletesAndTimingsAndStandardInputWork) {
  WriteFile("text.txt", "Calibrated hello\n");
  const std::vector<std::vector<std::string>> sends = {
      {"--calibrate", "-o", "cal.wav", "Calibrated", "hello"},
      {"--fast", "--calibrate", "-o", "fast.wav", "--file", "text.txt"},
      {"--safe", "--tone", "50", "--gap", "25", "--amplitude", "0.5", "--lead", "0", "-o",
       "safe.wav", "--", "-dash"},
      {"--room", "-o", "room.wav", "--file", "text.txt"},
  };
  for (const auto& args : sends) {
    const ToolResult sent = Send(args);
    ASSERT_EQ(sent.status, 0) << sent.err;
  }
  const ToolResult piped = Send({"-o", "stdin.wav"}, (dir / "text.txt").string());
  ASSERT_EQ(piped.status, 0) << piped.err;

  std::string flags;
  EXPECT_EQ(Receive((dir / "cal.wav").string(), &flags), "Calibrated hello");
  EXPECT_EQ(std::count(flags.begin(), flags.end(), '\n'), 1);
  EXPECT_EQ(flags.find(':'), std::string::npos) << flags;  // a completion, not a failure
  EXPECT_EQ(Receive((dir / "fast.wav").string(), &flags), "Calibrated hello\n");
  EXPECT_EQ(std::count(flags.begin(), flags.end(), '\n'), 1);
  EXPECT_EQ(Receive((dir / "safe.wav").string()), "-dash");
  // The room timing always calibrates, three times: three completions.
  EXPECT_EQ(Receive((dir / "room.wav").string(), &flags), "Calibrated hello\n");
  EXPECT_EQ(std::count(flags.begin(), flags.end(), '\n'), 3);
  EXPECT_EQ(flags.find(':'), std::string::npos) << flags;
  EXPECT_EQ(Receive((dir / "stdin.wav").string()), "Calibrated hello\n");
}

struct BadInput {
  const char* name;
  std::vector<std::string> args;
  const char* says;  // part of the one line on standard error
};

class SendBadInputTest : public SendToolTest, public ::testing::WithParamInterface<BadInput> {};

TEST_P(SendBadInputTest, OneLineExitTwoAndNoFile) {
  WriteFile("zero.bin", std::string("ab\0cd", 5));
  fs::create_directory(dir / "folder");
  const std::vector<std::string> before = Entries();
  const ToolResult result = Send(GetParam().args);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  EXPECT_NE(result.err.find(GetParam().says), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(Entries(), before);  // no WAV, no temporary file
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SendBadInputTest,
    ::testing::Values(
        BadInput{"MissingFile", {"--file", "nowhere.txt", "-o", "x.wav"}, "nowhere.txt"},
        BadInput{"DirectoryAsFile", {"--file", "folder", "-o", "x.wav"}, "folder"},
        BadInput{"UnwritableOutput", {"-o", "no/such/dir/x.wav", "hi"}, "no/such/dir/x.wav"},
        BadInput{"ZeroByte", {"--file", "zero.bin", "-o", "x.wav"}, "zero byte at offset 2"},
        BadInput{"BadRate", {"--rate", "16000", "-o", "x.wav", "hi"}, "--rate"},
        BadInput{"BadBits", {"--bits", "24", "-o", "x.wav", "hi"}, "--bits"},
        BadInput{"BadTone", {"--tone", "long", "-o", "x.wav", "hi"}, "--tone"},
        BadInput{"ShortTone", {"--tone", "10", "-o", "x.wav", "hi"}, "too short"},
        BadInput{"BadAmplitude", {"--amplitude", "1.5", "-o", "x.wav", "hi"}, "--amplitude"},
        BadInput{"NegativeGap", {"--gap", "-1", "-o", "x.wav", "hi"}, "--gap"},
        BadInput{"MissingValue", {"-o", "x.wav", "hi", "--lead"}, "--lead needs a value"},
        BadInput{"FastAndSafe", {"--fast", "--safe", "-o", "x.wav", "hi"}, "exclude"},
        BadInput{"SafeAndRoom", {"--room", "--safe", "-o", "x.wav", "hi"}, "exclude"},
        BadInput{"TextAndFile", {"--file", "zero.bin", "-o", "x.wav", "hi"}, "not both"},
        BadInput{"UnknownOption", {"--loud", "-o", "x.wav", "hi"}, "--loud"},
        BadInput{"NothingToSend", {"-o", "x.wav"}, "nothing to send"},
        BadInput{"OutputIsTheFile", {"--file", "zero.bin", "-o", "./zero.bin"}, "would overwrite"}),
    brindlemoor::testing::CaseName());

// 1,000,000 bytes at 44100 Hz, 16 bits would be about 5 GiB, past the 32-bit sizes of a WAV
// header: refused at once, saying what would fit, instead of a file whose header has wrapped.
TEST_F(SendToolTest, RefusesAWavTooLongForItsHeader) {
  WriteFile("big.txt", std::string(1000000, 'a'));
  const std::vector<std::string> before = Entries();
  const ToolResult result = Send({"--file", "big.txt", "-o", "big.wav"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  for (const char* says : {"big.wav: 1000000 bytes", "4 GiB", "--bits 8 would fit", "at most"}) {
    EXPECT_NE(result.err.find(says), std::string::npos) << says << " in " << result.err;
  }
  EXPECT_EQ(Entries(), before);

  const ToolResult eightBits = Send({"--file", "big.txt", "-o", "big.wav", "--bits", "8", "--rate",
                                     "11025", "--safe", "--gap", "2000"});
  EXPECT_EQ(eightBits.status, 2);
  EXPECT_NE(eightBits.err.find("split the text into pieces of at most"), std::string::npos)
      << eightBits.err;
  EXPECT_EQ(eightBits.err.find("would fit"), std::string::npos) << eightBits.err;
  EXPECT_EQ(Entries(), before);
}

TEST_F(SendToolTest, RawSendsZeroBytes) {
  WriteFile("zero.bin", std::string("a\0", 2));
  const ToolResult result = Send({"--raw", "--file", "zero.bin", "-o", "x.wav"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(fs::exists(dir / "x.wav"));
}

}  // namespace
}  // namespace brindlemoor
