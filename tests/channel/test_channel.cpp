// The channel simulator: seeded noise that repeats, SNR measured over the tones only, a clock
// offset that moves pitch and length, rooms whose echo energy and decay are as stated, and the
// converter's levels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "channel/channel.h"
#include "channel/clock_offset.h"
#include "channel/noise_source.h"
#include "channel/room_reverb.h"
#include "channel/speaker_filter.h"
#include "channel/tone_power.h"

namespace brindlemoor {
namespace {

constexpr int32_t kRate = 44100;

// `silence` zeros, a sine of `amplitude` at `hz` for `samples`, then `silence` zeros again.
std::vector<double> ToneBetweenSilences(double hz, double amplitude, size_t samples,
                                        size_t silence) {
  std::vector<double> out(silence, 0.0);
  for (size_t i = 0; i < samples; ++i)
    out.push_back(amplitude * std::sin(2.0 * std::numbers::pi * hz * i / kRate));
  out.resize(out.size() + silence, 0.0);
  return out;
}

TEST(NoiseSourceTest, SeedDecidesTheStreamAndDeviatesAreStandardNormal) {
  NoiseSource a(7);
  NoiseSource b(7);
  NoiseSource c(8);
  int differences = 0;
  double sum = 0.0;
  double squares = 0.0;
  constexpr int kCount = 200000;
  for (int i = 0; i < kCount; ++i) {
    const double x = a.NextGaussian();
    EXPECT_EQ(x, b.NextGaussian());
    differences += x != c.NextGaussian();
    sum += x;
    squares += x * x;
  }
  EXPECT_GT(differences, kCount - 10);
  // Standard errors: 1 / sqrt(n) = 0.0022 for the mean, about 0.003 for the variance.
  EXPECT_NEAR(sum / kCount, 0.0, 0.01);
  EXPECT_NEAR(squares / kCount, 1.0, 0.015);
}

TEST(TonePowerTest, AveragesOverTheTonesOnlyAndKeepsTheirZeroCrossings) {
  // 0.5 s of a 490 Hz sine of amplitude 0.8 (power 0.32) between 2 s silences: over the whole
  // signal the power would be 0.036.
  const std::vector<double> signal = ToneBetweenSilences(490.0, 0.8, 22050, 88200);
  const TonePower power = MeasureTonePower(signal, kRate);
  EXPECT_NEAR(power.meanSquare, 0.32 * 22050 / power.toneSamples, 1e-9);
  EXPECT_NEAR(power.meanSquare, 0.32, 0.0002);
  // The tone with its zero crossings, but its first sample, sin(0) = 0, opens no tone.
  EXPECT_EQ(power.toneSamples, 22049u);
  EXPECT_EQ(MeasureTonePower(std::vector<double>(1000, 0.0), kRate).toneSamples, 0u);
}

TEST(ChannelTest, NoiseSitsAtTheRequestedSnrBelowTheTones) {
  const std::vector<double> sent = ToneBetweenSilences(735.0, 0.5, 44100, 44100);
  for (const double snr : {30.0, 10.0, 0.0, -5.0}) {
    ChannelSettings settings;
    settings.microphone.snrDb = snr;
    settings.microphone.noiseSeed = 3;
    std::vector<double> received;
    std::string error;
    ASSERT_TRUE(ApplyChannel(sent, kRate, settings, received, error)) << error;
    ASSERT_EQ(received.size(), sent.size());
    double noise = 0.0;
    for (size_t i = 0; i < sent.size(); ++i) noise += std::pow(received[i] - sent[i], 2);
    noise /= static_cast<double>(sent.size());
    // White over 0 .. 22050 Hz: a quarter of it lies in the receiver's 0 .. 5512.5 Hz.
    const double measured = 10.0 * std::log10(0.125 / (noise / 4));
    EXPECT_NEAR(measured, snr, 0.05) << "SNR " << snr;
  }
}

// Counts upward zero crossings over the stretch well inside the tone.
double MeasuredHz(const std::vector<double>& x, size_t from, size_t to) {
  size_t first = 0;
  size_t last = 0;
  int crossings = 0;
  for (size_t i = from + 1; i < to; ++i) {
    if (x[i - 1] < 0.0 && x[i] >= 0.0) {
      if (crossings == 0) first = i;
      last = i;
      ++crossings;
    }
  }
  return (crossings - 1) * static_cast<double>(kRate) / static_cast<double>(last - first);
}

TEST(ClockOffsetTest, FastSenderRaisesPitchAndShortensTheSound) {
  const std::vector<double> sent = ToneBetweenSilences(1000.0, 0.5, 88200, 0);
  for (const double percent : {2.0, 0.5, -0.5, -2.0}) {
    std::vector<double> out;
    std::string error;
    ASSERT_TRUE(ApplyClockOffset(sent, percent, out, error)) << error;
    const double expectedLength = sent.size() / (1.0 + percent / 100.0);
    EXPECT_NEAR(static_cast<double>(out.size()), expectedLength, 2.0) << percent;
    EXPECT_NEAR(MeasuredHz(out, 1000, out.size() - 1000), 1000.0 * (1.0 + percent / 100.0), 0.2)
        << percent;
  }
}

TEST(RoomTest, EchoesCarryTheStatedEnergyAndDecay) {
  for (const RoomKind kind : {RoomKind::kMild, RoomKind::kStrong}) {
    const RoomSettings room = RoomPreset(kind);
    const std::vector<Echo> echoes = RoomEchoes(room, kRate);
    ASSERT_FALSE(echoes.empty());
    double energy = 0.0;
    double lateEnergy = 0.0;  // of echoes in the second half of the decay
    const double halfway = (room.preDelaySeconds + room.decaySeconds / 2) * kRate;
    for (const Echo& echo : echoes) {
      energy += echo.gain * echo.gain;
      if (echo.delay > halfway) lateEnergy += echo.gain * echo.gain;
      EXPECT_GE(echo.delay, std::llround(room.preDelaySeconds * kRate));
      EXPECT_LE(echo.delay, std::llround((room.preDelaySeconds + room.decaySeconds) * kRate));
    }
    EXPECT_NEAR(10.0 * std::log10(1.0 / energy), room.directToReverbDb, 1e-9);
    // Half the decay is 30 dB down in energy: the second half holds about 1/1000 of it.
    EXPECT_LT(lateEnergy / energy, 0.003) << RoomName(kind);

    // An impulse comes back as the impulse response: 1, then the echoes.
    std::vector<double> impulse(10, 0.0);
    impulse[0] = 1.0;
    const std::vector<double> response = ApplyRoom(impulse, echoes);
    ASSERT_EQ(response.size(), impulse.size() + static_cast<size_t>(echoes.back().delay));
    double responseEnergy = 0.0;
    for (size_t i = 1; i < response.size(); ++i) responseEnergy += response[i] * response[i];
    EXPECT_EQ(response[0], 1.0);
    EXPECT_NEAR(responseEnergy, energy, energy * 0.5);  // taps at one delay may add or cancel
    EXPECT_EQ(RoomEchoes(room, kRate)[7].gain, echoes[7].gain);  // deterministic
  }
  EXPECT_TRUE(RoomEchoes(RoomPreset(RoomKind::kNone), kRate).empty());
}

// A second-order Butterworth low-pass: |H(f)|^2 = 1 / (1 + (f / fc)^4).
TEST(SpeakerFilterTest, HighCutFollowsTheButterworthResponse) {
  constexpr double kCornerHz = 1500.0;
  for (const double hz : {245.0, 1000.0, 1500.0, 2205.0, 3000.0}) {
    const std::vector<double> in = ToneBetweenSilences(hz, 0.5, 44100, 0);
    const std::vector<double> out = ApplyHighCut(in, kCornerHz, kRate);
    double largest = 0.0;  // over the second half, once the filter has settled
    for (size_t i = out.size() / 2; i < out.size(); ++i)
      largest = std::max(largest, std::fabs(out[i]));
    const double expected = 0.5 / std::sqrt(1.0 + std::pow(hz / kCornerHz, 4));
    EXPECT_NEAR(largest, expected, 0.005) << hz << " Hz";
  }
}

TEST(ChannelTest, DcOffsetGainAndEightBitLevels) {
  const std::vector<double> sent = {0.0, 0.3, -0.3, 0.9, -0.9, 0.004};
  ChannelSettings settings;
  settings.path.gain = 2.0;
  settings.microphone.dcOffset = 0.1;
  settings.microphone.quantise8Bit = true;
  std::vector<double> received;
  std::string error;
  ASSERT_TRUE(ApplyChannel(sent, kRate, settings, received, error));
  // 2x + 0.1 rounded to k / 128 and clipped to -1 .. 127 / 128.
  const std::vector<double> expected = {13.0 / 128,  90.0 / 128, -64.0 / 128,
                                        127.0 / 128, -1.0,       14.0 / 128};
  ASSERT_EQ(received.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_DOUBLE_EQ(received[i], expected[i]) << i;
}

}  // namespace
}  // namespace brindlemoor
