// Sound played through the output path arrives through the capture path: the loopback server's
// monitor hears its sink.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "capture/capture_format.h"
#include "live/portaudio_device.h"
#include "live/portaudio_output.h"
#include "testing/wave_in_log.h"

namespace brindlemoor {
namespace {

using testing::CallbackLog;
using testing::RecordingCallback;
using testing::WaitUntil;

// Largest |x - 128| over the captured blocks.
int PeakMagnitude(const std::vector<std::vector<uint8_t>>& blocks) {
  int peak = 0;
  for (const auto& block : blocks) {
    for (uint8_t x : block) peak = std::max(peak, std::abs(x - 128));
  }
  return peak;
}

class LoopbackSound : public ::testing::TestWithParam<bool> {};

TEST_P(LoopbackSound, AToneThatIsPlayedIsCaptured) {
  PortAudioSession session(PortAudioSession::Probe::kQuiet);
  PortAudioDevice device(session, {.device = "", .forceConversion = GetParam()});
  CallbackLog log;
  const WaveFormat format{kWaveFormatPcm, kChannels, kSampleRate, kSampleRate, 1,
                          kBitsPerSample, 0};
  ASSERT_EQ(device.Open(format, &RecordingCallback, &log), kWaveOk) << device.ErrorText();

  constexpr size_t kBlocks = 30;  // 3 s
  std::vector<std::vector<uint8_t>> blocks(kBlocks, std::vector<uint8_t>(kBlockSamples, 0));
  std::vector<WaveHeader> headers(kBlocks);
  for (size_t i = 0; i < kBlocks; ++i) {
    headers[i].data = blocks[i].data();
    headers[i].bufferLength = kBlockSamples;
    ASSERT_EQ(device.PrepareHeader(headers[i]), kWaveOk);
    ASSERT_EQ(device.AddBuffer(headers[i]), kWaveOk);
  }
  ASSERT_EQ(device.Start(), kWaveOk);
  ASSERT_TRUE(WaitUntil([&] { return log.DataCount() >= 1; }));

  // One second of the 245 Hz fundamental at half scale, at a rate the capture must convert.
  constexpr double kRate = 44100;
  std::vector<double> tone(static_cast<size_t>(kRate));
  for (size_t i = 0; i < tone.size(); ++i) {
    tone[i] = 0.5 * std::sin(2 * std::numbers::pi * 245.0 * static_cast<double>(i) / kRate);
  }
  IoError error;
  ASSERT_TRUE(PlaySamples(session, "", tone, kRate, error)) << error.description;
  ASSERT_TRUE(WaitUntil([&] { return log.DataCount() == kBlocks; }));
  ASSERT_EQ(device.Reset(), kWaveOk);
  for (WaveHeader& header : headers) ASSERT_EQ(device.UnprepareHeader(header), kWaveOk);
  ASSERT_EQ(device.Close(), kWaveOk);

  // Half scale is 63 or 64 after quantisation; the server's resampling blurs it a little.
  EXPECT_NEAR(PeakMagnitude(blocks), 64, 6);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, LoopbackSound, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Converted" : "Direct";
                         });

}  // namespace
}  // namespace brindlemoor
