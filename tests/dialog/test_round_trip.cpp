// Loopback: text synthesised as symbols, replayed in virtual time through the whole receiver
// (replay device, capture ring, receive ticks, decision, calibration, output files) must come
// back byte for byte, wherever the symbols fall relative to capture blocks and receive ticks.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "capture/replay_device.h"
#include "capture/sample_stream.h"
#include "dialog/receiver_dialog.h"
#include "dialog/replay_run.h"
#include "files/recording_file.h"
#include "files/wav_writer.h"
#include "synth/symbol_synth.h"
#include "testing/fake_window.h"
#include "testing/temp_directory.h"

namespace brindlemoor {
namespace {

namespace fs = std::filesystem;

struct Received {
  std::string text;   // receive.txt
  std::string flags;  // flag.dat
};

Received Receive(ReplayDevice& device) {
  testing::FakeWindow window;
  testing::MemoryTextOutput files;
  ReceiverDialog dialog(window, device, files);
  dialog.OnInitDialog();
  EXPECT_TRUE(dialog.TimerRunning());
  if (dialog.TimerRunning()) RunReplay(dialog, device);
  dialog.OnDestroy();
  return {files.receiveText, files.flagData};
}

Received ReceiveCaptured(std::vector<uint8_t> captured) {
  MemorySampleStream stream(std::move(captured));
  ReplayDevice device(stream);
  return Receive(device);
}

Received ReceiveFile(const std::string& path) {
  IoError error;
  const auto recording = RecordingFile::Open(path, error);
  EXPECT_NE(recording, nullptr) << error.description;
  if (recording == nullptr) return {};
  ReplayDevice device(*recording);
  return Receive(device);
}

// `bytes` as the receiver captures them at 11025 Hz, after `lead` samples of silence.
std::vector<uint8_t> Captured(const std::vector<uint8_t>& bytes, int32_t lead) {
  SymbolTiming timing = kDefaultTiming;
  timing.leadSamples = lead;
  return QuantiseToU8(SynthesiseMessage(bytes, timing, kSampleRate));
}

std::vector<uint8_t> AllTextBytes() {
  std::vector<uint8_t> bytes(255);
  std::iota(bytes.begin(), bytes.end(), uint8_t{1});
  return bytes;
}

// 1..255 in a scrambled order: b -> 167 b mod 256 permutes the non-zero bytes.
std::vector<uint8_t> ScrambledTextBytes() {
  std::vector<uint8_t> bytes = AllTextBytes();
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(b * 167);
  return bytes;
}

std::string AsText(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// Lead silences from 0 to 1101 samples move every symbol across the 1102-sample blocks and the
// ticks of five blocks; within one message the 668-sample symbols also drift across both.
class LeadSilenceTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(LeadSilenceTest, EveryTextByteRoundTrips) {
  for (const std::vector<uint8_t>& bytes : {AllTextBytes(), ScrambledTextBytes()}) {
    const Received received = ReceiveCaptured(Captured(bytes, GetParam()));
    EXPECT_EQ(received.text, AsText(bytes));
    EXPECT_EQ(received.flags, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Offsets, LeadSilenceTest,
                         ::testing::Values(0, 1, 23, 45, 46, 91, 137, 229, 316, 402, 459, 551, 607,
                                           688, 733, 804, 871, 919, 966, 1012, 1035, 1057, 1058,
                                           1080, 1100, 1101));

std::vector<int64_t> ParseNumbers(std::string line, char separator) {
  std::vector<int64_t> numbers;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, separator);) numbers.push_back(std::stoll(field));
  return numbers;
}

TEST(RoundTripTest, CalibrationThenEveryTextByte) {
  std::vector<uint8_t> bytes = CalibrationSequence();
  const std::vector<uint8_t> text = ScrambledTextBytes();
  bytes.insert(bytes.end(), text.begin(), text.end());
  const Received received = ReceiveCaptured(Captured(bytes, kDefaultTiming.leadSamples));

  EXPECT_EQ(received.text, AsText(text));
  // One completion line: nine levels, the last the sum of the first eight.
  ASSERT_EQ(std::count(received.flags.begin(), received.flags.end(), '\n'), 1);
  ASSERT_EQ(received.flags.back(), '\n');
  EXPECT_EQ(received.flags.find(':'), std::string::npos);
  const std::vector<int64_t> levels = ParseNumbers(received.flags, ',');
  ASSERT_EQ(levels.size(), 9u);
  EXPECT_EQ(std::accumulate(levels.begin(), levels.begin() + 8, int64_t{0}), levels[8]);
  for (const int64_t level : levels) EXPECT_GT(level, 0);
}

TEST(RoundTripTest, CalibrationStepWithoutItsHarmonicFails) {
  const std::vector<uint8_t> bytes = {0, 1, 4, 'o', 'k'};
  const Received received = ReceiveCaptured(Captured(bytes, kDefaultTiming.leadSamples));
  EXPECT_EQ(received.text, "ok");
  // Eight levels, then the failed step and the byte that failed it.
  ASSERT_EQ(std::count(received.flags.begin(), received.flags.end(), '\n'), 1);
  const std::string suffix = " : 1 : 4\n";
  ASSERT_GT(received.flags.size(), suffix.size());
  EXPECT_EQ(received.flags.substr(received.flags.size() - suffix.size()), suffix);
  EXPECT_EQ(ParseNumbers(received.flags.substr(0, received.flags.find(':')), ',').size(), 8u);
}

// About 8 symbols reach each tick, far below the 127 characters that end a tick's scan.
TEST(RoundTripTest, LongTextInOneGo) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 400; ++i) bytes.push_back(static_cast<uint8_t>(' ' + i % 95));
  const Received received = ReceiveCaptured(Captured(bytes, kDefaultTiming.leadSamples));
  EXPECT_EQ(received.text, AsText(bytes));
}

TEST(RoundTripTest, BundledExampleSaysHello) {
  const Received received =
      ReceiveFile(std::string(BRINDLEMOOR_SOURCE_DIR) + "/examples/hello.wav");
  EXPECT_EQ(received.text, "Hello from Brindlemoor!\n");
  EXPECT_EQ(received.flags, "");
}

// Recordings at other rates reach the receiver through the file reader's resampler.
struct FileCase {
  int32_t rate;
  int32_t bits;
};

class RecordingRateTest : public ::testing::TestWithParam<FileCase> {
 protected:
  void SetUp() override { directory = testing::MakeTempDirectory("round-trip-test"); }
  void TearDown() override { fs::remove_all(directory); }
  fs::path directory;
};

TEST_P(RecordingRateTest, EveryTextByteRoundTripsThroughAFile) {
  const FileCase c = GetParam();
  std::vector<uint8_t> bytes = CalibrationSequence();
  const std::vector<uint8_t> text = AllTextBytes();
  bytes.insert(bytes.end(), text.begin(), text.end());
  const std::string path = (directory / "message.wav").string();
  IoError error;
  ASSERT_TRUE(
      WriteWav(path, SynthesiseMessage(bytes, kDefaultTiming, c.rate), c.rate, c.bits, error))
      << error.description;
  const Received received = ReceiveFile(path);
  EXPECT_EQ(received.text, AsText(text));
  EXPECT_EQ(std::count(received.flags.begin(), received.flags.end(), '\n'), 1);
  EXPECT_EQ(received.flags.find(':'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Rates, RecordingRateTest,
                         ::testing::Values(FileCase{11025, 8}, FileCase{11025, 16},
                                           FileCase{44100, 16}, FileCase{48000, 16},
                                           FileCase{48000, 8}),
                         [](const ::testing::TestParamInfo<FileCase>& info) {
                           return std::to_string(info.param.rate) + "Hz" +
                                  std::to_string(info.param.bits) + "bit";
                         });

}  // namespace
}  // namespace brindlemoor
