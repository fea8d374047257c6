// The conversion from a device's own rate and channels to capture-format samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "capture/eight_bit_quantisers.h"
#include "live/capture_converter.h"

namespace brindlemoor {
namespace {

constexpr double kDeviceRate = 44100;
constexpr double kCaptureRate = 11025;
constexpr uint32_t kMaxFrames = 4410;

TEST(QuantiseSample, MapsMinusOneToOneOntoTheUnsignedRange) {
  struct Case {
    float x;
    uint8_t expected;
  };
  for (const Case& c : {Case{0.0f, 128}, Case{1.0f, 255}, Case{-1.0f, 1}, Case{0.5f, 192},
                        Case{-0.5f, 64}, Case{2.0f, 255}, Case{-2.0f, 0}, Case{0.003f, 128}}) {
    EXPECT_EQ(QuantiseSymmetric(c.x), c.expected) << c.x;
  }
}

// A stereo 245 Hz tone (the symbols' fundamental), `left` and `right` its amplitudes.
std::vector<float> StereoTone(size_t frames, float left, float right) {
  std::vector<float> samples(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    const float s = static_cast<float>(std::sin(2 * std::numbers::pi * 245.0 * i / kDeviceRate));
    samples[2 * i] = left * s;
    samples[2 * i + 1] = right * s;
  }
  return samples;
}

std::vector<uint8_t> ConvertInChunks(const std::vector<float>& stereo, uint32_t chunk) {
  IoError error;
  auto converter = CaptureConverter::Create(2, kDeviceRate, kCaptureRate, kMaxFrames, error);
  EXPECT_NE(converter, nullptr) << error.description;
  std::vector<uint8_t> out;
  std::vector<uint8_t> buffer(converter->MaxOutputSamples());
  const size_t frames = stereo.size() / 2;
  for (size_t at = 0; at < frames; at += chunk) {
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(chunk, frames - at));
    const uint32_t produced = converter->Convert(stereo.data() + 2 * at, n, buffer.data());
    out.insert(out.end(), buffer.begin(), buffer.begin() + produced);
  }
  return out;
}

// The resampler filters in blocks of its own, so how much it still holds at a given moment
// depends on the chunks it was given (up to about 50 ms at 44.1 kHz); what it has released is
// the same samples whatever the chunking.
TEST(CaptureConverter, GivesTheSameSamplesHoweverTheInputIsChunked) {
  constexpr double kMostHeldBack = 0.1 * kCaptureRate;
  const std::vector<float> tone = StereoTone(44100, 0.8f, 0.4f);
  const std::vector<uint8_t> whole = ConvertInChunks(tone, kMaxFrames);
  // A quarter of the frames, less what the resampler still holds.
  EXPECT_NEAR(static_cast<double>(whole.size()), kCaptureRate, kMostHeldBack);
  for (uint32_t chunk : {1u, 37u, 1102u}) {
    const std::vector<uint8_t> chunked = ConvertInChunks(tone, chunk);
    EXPECT_NEAR(static_cast<double>(chunked.size()), kCaptureRate, kMostHeldBack) << chunk;
    const std::size_t common = std::min(chunked.size(), whole.size());
    EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(common),
                           chunked.begin()))
        << chunk;
  }
}

TEST(CaptureConverter, MixesChannelsToTheirMeanAndKeepsTheLevel) {
  // Mean amplitude 0.6: peaks near 128 +- 76 once the resampler has settled.
  const std::vector<uint8_t> tone = ConvertInChunks(StereoTone(44100, 0.8f, 0.4f), kMaxFrames);
  const auto [low, high] = std::minmax_element(tone.begin() + 1000, tone.end());
  EXPECT_NEAR(*high, 128 + 76, 2);
  EXPECT_NEAR(*low, 128 - 76, 2);
  // Opposite channels cancel: silence.
  for (uint8_t sample : ConvertInChunks(StereoTone(22050, 0.8f, -0.8f), kMaxFrames)) {
    ASSERT_EQ(sample, 128);
  }
}

TEST(CaptureConverter, RefusesImpossibleParameters) {
  IoError error;
  EXPECT_EQ(CaptureConverter::Create(0, kDeviceRate, kCaptureRate, kMaxFrames, error), nullptr);
  EXPECT_EQ(CaptureConverter::Create(1, 1.0, kCaptureRate, kMaxFrames, error), nullptr);
  EXPECT_FALSE(error.description.empty());
}

}  // namespace
}  // namespace brindlemoor
