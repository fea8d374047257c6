// The channel in blocks: without a clock offset the same samples, to the bit, as the whole sound
// through ApplyChannel, with the tones' power measured block by block as on the whole; with one,
// the length the offset gives.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>
#include <vector>

#include "channel/channel.h"
#include "channel/channel_stream.h"
#include "channel/tone_power.h"

namespace brindlemoor {
namespace {

constexpr int32_t kRate = 22050;
constexpr std::size_t kBlock = 1001;  // blocks that do not divide anything evenly

// Tone bursts between silences, about a second.
std::vector<double> Bursts() {
  std::vector<double> sound;
  for (int burst = 0; burst < 6; ++burst) {
    sound.resize(sound.size() + 1500, 0.0);
    for (int i = 0; i < 2000; ++i) {
      sound.push_back(0.5 * std::sin(2.0 * std::numbers::pi * 245.0 * (burst + 2) * i / kRate));
    }
  }
  return sound;
}

std::vector<double> InBlocks(const std::vector<double>& sent, const ChannelSettings& settings) {
  ToneMeter meter(kRate);
  for (std::size_t at = 0; at < sent.size(); at += kBlock) {
    meter.Add(std::span(sent).subspan(at, std::min(kBlock, sent.size() - at)));
  }
  const TonePower power = meter.Finish();
  const TonePower whole = MeasureTonePower(sent, kRate);
  EXPECT_EQ(power.toneSamples, whole.toneSamples);
  EXPECT_EQ(power.meanSquare, whole.meanSquare);

  std::string error;
  const auto stream = ChannelStream::Create(kRate, settings, power.meanSquare, error);
  EXPECT_NE(stream, nullptr) << error;
  std::vector<double> heard;
  std::vector<double> block;
  for (std::size_t at = 0; at < sent.size(); at += kBlock) {
    stream->Process(std::span(sent).subspan(at, std::min(kBlock, sent.size() - at)), block);
    heard.insert(heard.end(), block.begin(), block.end());
  }
  stream->Finish(block);
  heard.insert(heard.end(), block.begin(), block.end());
  return heard;
}

TEST(ChannelStreamTest, BlocksGiveWhatTheWholeSoundGives) {
  const std::vector<double> sent = Bursts();
  ChannelSettings plain;
  ChannelSettings everything;
  everything.path = {.room = RoomKind::kStrong, .gain = 0.7, .highCutHz = 2000.0};
  everything.microphone = {.snrDb = 10.0, .noiseSeed = 3, .dcOffset = 0.05, .quantise8Bit = true};
  ChannelSettings mildRoom;
  mildRoom.path.room = RoomKind::kMild;
  mildRoom.microphone.snrDb = 20.0;
  for (const ChannelSettings& settings : {plain, everything, mildRoom}) {
    std::vector<double> whole;
    std::string error;
    ASSERT_TRUE(ApplyChannel(sent, kRate, settings, whole, error)) << error;
    EXPECT_EQ(InBlocks(sent, settings), whole);
  }
}

TEST(ChannelStreamTest, ClockOffsetChangesTheLengthByItsRatio) {
  const std::vector<double> sent = Bursts();
  for (const double percent : {-5.0, 3.0}) {
    ChannelSettings settings;
    settings.path.clockOffsetPercent = percent;
    const double expected = static_cast<double>(sent.size()) / (1.0 + percent / 100.0);
    EXPECT_NEAR(static_cast<double>(InBlocks(sent, settings).size()), expected, 2.0) << percent;
  }
}

}  // namespace
}  // namespace brindlemoor
