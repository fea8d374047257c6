// The sender's timings and calibration through the whole receiver: the fast, safe and room
// timings frame every byte wherever capture blocks and ticks fall, on a loudspeaker that weakens
// the high harmonics a calibration sent first turns decoding errors into none, and in the
// simulator's strong room the room timing keeps most of what the default timing loses.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "capture/replay_device.h"
#include "capture/sample_stream.h"
#include "channel/channel.h"
#include "channel/loopback.h"
#include "channel/text_distance.h"
#include "dialog/receiver_dialog.h"
#include "dialog/replay_run.h"
#include "synth/symbol_synth.h"
#include "testing/fake_window.h"

namespace brindlemoor {
namespace {

// 1..255 in a scrambled order: b -> 167 b mod 256 permutes the non-zero bytes.
std::vector<uint8_t> ScrambledTextBytes() {
  std::vector<uint8_t> bytes(255);
  std::iota(bytes.begin(), bytes.end(), uint8_t{1});
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(b * 167);
  return bytes;
}

std::string ReceiveCaptured(std::vector<uint8_t> captured) {
  MemorySampleStream stream(std::move(captured));
  ReplayDevice device(stream);
  testing::FakeWindow window;
  testing::MemoryTextOutput files;
  ReceiverDialog dialog(window, device, files);
  dialog.OnInitDialog();
  EXPECT_TRUE(dialog.TimerRunning());
  if (dialog.TimerRunning()) RunReplay(dialog, device);
  dialog.OnDestroy();
  return files.receiveText;
}

// `calibrations` calibration sequences and then `text`, sent with `timing` at 44100 Hz through
// `channel` and received as brindlemoor-receive would.
Received SendThroughChannel(const std::vector<uint8_t>& text, const SymbolTiming& timing,
                            int32_t calibrations, const ChannelSettings& channel) {
  constexpr int32_t kRate = 44100;
  std::vector<uint8_t> message =
      calibrations > 0 ? CalibrationSequence(calibrations) : std::vector<uint8_t>{};
  message.insert(message.end(), text.begin(), text.end());
  std::vector<double> sound;
  std::string problem;
  EXPECT_TRUE(
      ApplyChannel(SynthesiseMessage(message, timing, kRate), kRate, channel, sound, problem))
      << problem;
  const std::string scratch =
      ::testing::TempDir() + "/sender-loopback-" + std::to_string(getpid()) + ".wav";
  Received received;
  IoError error;
  EXPECT_TRUE(ReceiveSound(sound, kRate, 16, scratch, received, error)) << error.description;
  return received;
}

struct TimingCase {
  const char* name;
  const SymbolTiming* timing;
  int32_t lead;
};

class TimingLeadTest : public ::testing::TestWithParam<TimingCase> {};

// Lead silences move every symbol across the 1102-sample blocks and the ticks of five blocks;
// within one message the symbols drift across both as well.
TEST_P(TimingLeadTest, EveryTextByteIsFramedAndDecided) {
  SymbolTiming timing = *GetParam().timing;
  timing.leadSamples = GetParam().lead;
  const std::vector<uint8_t> bytes = ScrambledTextBytes();
  const std::string received =
      ReceiveCaptured(QuantiseToU8(SynthesiseMessage(bytes, timing, kSampleRate)));
  EXPECT_EQ(received, std::string(bytes.begin(), bytes.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Leads, TimingLeadTest,
    ::testing::Values(TimingCase{"fast", &kFastTiming, 0}, TimingCase{"fast", &kFastTiming, 137},
                      TimingCase{"fast", &kFastTiming, 551}, TimingCase{"fast", &kFastTiming, 1012},
                      TimingCase{"fast", &kFastTiming, 1058}, TimingCase{"safe", &kSafeTiming, 0},
                      TimingCase{"safe", &kSafeTiming, 402}, TimingCase{"safe", &kSafeTiming, 1101},
                      TimingCase{"room", &kRoomTiming, 0}, TimingCase{"room", &kRoomTiming, 229},
                      TimingCase{"room", &kRoomTiming, 551},
                      TimingCase{"room", &kRoomTiming, 1058}),
    [](const auto& info) {
      return std::string(info.param.name) + std::to_string(info.param.lead);
    });

// The 12 dB/octave high cut at 1500 Hz weakens harmonic 6 (1470 Hz) by 3 dB and harmonic 9
// (2205 Hz) by 8 dB against the fundamental: the thresholds of bits 4..7 are no longer met
// uncalibrated, and equalised by the calibration's levels they are again.
TEST(SenderLoopbackTest, CalibrationTurnsHighCutErrorsIntoNone) {
  constexpr double kCornerHz = 1500.0;
  const std::vector<uint8_t> text = ScrambledTextBytes();
  const std::string expected(text.begin(), text.end());
  ChannelSettings channel;
  channel.path.highCutHz = kCornerHz;
  const Received plain = SendThroughChannel(text, kDefaultTiming, 0, channel);
  const Received calibrated = SendThroughChannel(text, kDefaultTiming, 1, channel);

  size_t wrong = 0;
  for (size_t i = 0; i < std::min(plain.text.size(), expected.size()); ++i) {
    wrong += plain.text[i] != expected[i];
  }
  EXPECT_GT(wrong, expected.size() / 10) << "the high cut should break uncalibrated decoding";
  EXPECT_EQ(plain.flags, "");
  EXPECT_EQ(calibrated.text, expected);
  ASSERT_EQ(std::count(calibrated.flags.begin(), calibrated.flags.end(), '\n'), 1);
  EXPECT_EQ(calibrated.flags.find(':'), std::string::npos) << calibrated.flags;
}

// The strong room (RT60 0.6 s, echoes as strong as the direct sound) at 20 dB SNR with one fixed
// noise seed, each timing with its own calibration first, at 44100 Hz as the robustness bench
// sends (at 11025 Hz the room's echoes fall differently and some seeds lose every calibration). The
// default timing's onsets are found in its own echoes and most characters are lost; the room timing
// keeps most of them. The bounds guard the measured values (in the comments) with room to spare for
// harmless changes, not the targets of the robustness bench.
TEST(SenderLoopbackTest, RoomTimingKeepsMostOfWhatTheStrongRoomTakes) {
  const std::vector<uint8_t> text = ScrambledTextBytes();
  const std::string expected(text.begin(), text.end());
  ChannelSettings channel;
  channel.path.room = RoomKind::kStrong;
  channel.microphone.snrDb = 20.0;
  channel.microphone.noiseSeed = 12;
  const auto errorRate = [&](const SymbolTiming& timing) {
    const Received received = SendThroughChannel(text, timing, timing.calibrationRounds, channel);
    return static_cast<double>(MessageDistance(expected, received.text)) / expected.size();
  };
  const double defaultRate = errorRate(kDefaultTiming);
  const double roomRate = errorRate(kRoomTiming);
  RecordProperty("default_cer", std::to_string(defaultRate));
  RecordProperty("room_cer", std::to_string(roomRate));
  EXPECT_GT(defaultRate, 0.6);  // measured: 87 % (84 and 87 % with noise seeds 1 and 2)
  EXPECT_LT(roomRate, 0.3);     // measured: 19 % (15 and 23 %)
}

}  // namespace
}  // namespace brindlemoor
