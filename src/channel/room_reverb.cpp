#include "channel/room_reverb.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "channel/noise_source.h"

namespace brindlemoor {

namespace {

// 60 dB of decay in amplitude is a factor of 10^3.
constexpr double kDecayDecades = 3.0;

constexpr RoomSettings kMildRoom = {
    .preDelaySeconds = 0.002,
    .decaySeconds = 0.25,
    .directToReverbDb = 10.0,
    .echoesPerSecond = 1000.0,
    .seed = 0x6d696c64,
};

constexpr RoomSettings kStrongRoom = {
    .preDelaySeconds = 0.005,
    .decaySeconds = 0.6,
    .directToReverbDb = 0.0,
    .echoesPerSecond = 1000.0,
    .seed = 0x7374726f,
};

}  // namespace

RoomSettings RoomPreset(RoomKind kind) {
  switch (kind) {
    case RoomKind::kMild:
      return kMildRoom;
    case RoomKind::kStrong:
      return kStrongRoom;
    case RoomKind::kNone:
      break;
  }
  return {.preDelaySeconds = 0.0,
          .decaySeconds = 0.0,
          .directToReverbDb = 0.0,
          .echoesPerSecond = 0.0,
          .seed = 0};
}

std::string_view RoomName(RoomKind kind) {
  switch (kind) {
    case RoomKind::kMild:
      return "mild";
    case RoomKind::kStrong:
      return "strong";
    case RoomKind::kNone:
      break;
  }
  return "off";
}

std::vector<Echo> RoomEchoes(const RoomSettings& settings, int32_t sampleRate) {
  assert(sampleRate > 0 && settings.decaySeconds >= 0.0 && settings.preDelaySeconds >= 0.0);
  const auto count = static_cast<std::size_t>(settings.echoesPerSecond * settings.decaySeconds);
  std::vector<Echo> echoes;
  if (count == 0) return echoes;

  NoiseSource random(settings.seed);
  double energy = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    const double after = random.NextUniform() * settings.decaySeconds;
    const double sign = random.NextUniform() < 0.5 ? -1.0 : 1.0;
    const double delaySeconds = settings.preDelaySeconds + after;
    const auto delay = std::max<int64_t>(1, std::llround(delaySeconds * sampleRate));
    const double gain = sign * std::pow(10.0, -kDecayDecades * after / settings.decaySeconds);
    echoes.push_back({delay, gain});
    energy += gain * gain;
  }
  const double scale = std::sqrt(std::pow(10.0, -settings.directToReverbDb / 10.0) / energy);
  for (Echo& echo : echoes) echo.gain *= scale;
  std::sort(echoes.begin(), echoes.end(),
            [](const Echo& a, const Echo& b) { return a.delay < b.delay; });
  return echoes;
}

double PowerKeepingScale(std::span<const Echo> echoes) {
  double echoEnergy = 0.0;
  for (const Echo& echo : echoes) echoEnergy += echo.gain * echo.gain;
  return 1.0 / std::sqrt(1.0 + echoEnergy);
}

std::vector<double> ApplyRoom(std::span<const double> in, std::span<const Echo> echoes) {
  const int64_t tail = echoes.empty() ? 0 : echoes.back().delay;
  std::vector<double> out(in.size() + static_cast<std::size_t>(tail), 0.0);
  std::copy(in.begin(), in.end(), out.begin());
  for (const Echo& echo : echoes) {
    double* shifted = out.data() + echo.delay;
    for (std::size_t i = 0; i < in.size(); ++i) shifted[i] += echo.gain * in[i];
  }
  return out;
}

}  // namespace brindlemoor
