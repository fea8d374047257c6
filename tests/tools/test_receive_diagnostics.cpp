// brindlemoor-receive's --dump and --trace on a replayed recording: the dump holds exactly the
// samples the receiver captured, and the trace has one line per framed symbol.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "capture/capture_format.h"

namespace brindlemoor {
namespace {

std::vector<uint8_t> ReadRawSamples(const std::string& path, SF_INFO& info) {
  info = {};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return {};
  std::vector<uint8_t> samples(static_cast<size_t>(info.frames));
  samples.resize(static_cast<size_t>(sf_read_raw(file, samples.data(), info.frames)));
  sf_close(file);
  return samples;
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(ReceiveDiagnostics, ReplayDumpsWhatWasCapturedAndTracesEverySymbol) {
  const std::filesystem::path dir =
      std::filesystem::path(::testing::TempDir()) / ("receive-diag-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string example = std::string(BRINDLEMOOR_SOURCE_DIR) + "/examples/hello.wav";
  const std::string command = std::string(BRINDLEMOOR_RECEIVE_TOOL) + " --input " + example +
                              " --output-dir " + dir.string() + " --trace --dump " +
                              (dir / "dump.wav").string() + " >" + (dir / "out").string() + " 2>" +
                              (dir / "err").string();
  ASSERT_EQ(std::system(command.c_str()), 0);

  // The example is already in the capture format, so it is captured byte for byte, followed by
  // the replay's silence up to a whole number of blocks.
  SF_INFO exampleInfo, dumpInfo;
  const std::vector<uint8_t> original = ReadRawSamples(example, exampleInfo);
  const std::vector<uint8_t> dump = ReadRawSamples((dir / "dump.wav").string(), dumpInfo);
  ASSERT_FALSE(original.empty());
  EXPECT_EQ(dumpInfo.samplerate, static_cast<int>(kSampleRate));
  EXPECT_EQ(dumpInfo.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
  const size_t blocks = (original.size() + kSampleRate + kBlockSamples - 1) / kBlockSamples;
  ASSERT_EQ(dump.size(), blocks * kBlockSamples);
  EXPECT_TRUE(std::equal(original.begin(), original.end(), dump.begin()));
  EXPECT_TRUE(std::all_of(dump.begin() + static_cast<std::ptrdiff_t>(original.size()), dump.end(),
                          [](uint8_t x) { return x == kSilence; }));

  // One accepted symbol per character received, each naming its byte.
  std::ifstream receivedFile(dir / "receive.txt", std::ios::binary);
  std::stringstream received;
  received << receivedFile.rdbuf();
  const std::string text = received.str();
  const std::vector<std::string> trace = Lines((dir / "err").string());
  ASSERT_EQ(trace.size(), text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    SCOPED_TRACE(trace[i]);
    EXPECT_EQ(trace[i].rfind("symbol block ", 0), 0u);
    const std::string byte = ": byte " + std::to_string(static_cast<uint8_t>(text[i]));
    EXPECT_NE(trace[i].find(byte), std::string::npos);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace brindlemoor
