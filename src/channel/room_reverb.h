// A simple room: the direct sound followed by a cloud of echoes whose amplitudes decay
// exponentially, 60 dB over the room's reverberation time (RT60). It is an impulse response
// made of sparse taps, so applying it costs one multiply-add per echo and sample, and it shapes
// the sound in both ways that matter to the receiver: the steady part of a tone meets a
// frequency response that lifts some harmonics and cuts others (what a calibration can undo),
// and each symbol's echoes spill into the symbols after it (what only timing can avoid).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace brindlemoor {

enum class RoomKind { kNone, kMild, kStrong };

struct RoomSettings {
  double preDelaySeconds;   // the first echo's earliest arrival after the direct sound
  double decaySeconds;      // RT60: echoes arriving this long after the first are 60 dB down
  double directToReverbDb;  // energy of the direct sound over the energy of all echoes
  double echoesPerSecond;   // density of the echo cloud over the decay time
  uint64_t seed;            // delays and signs of the echoes
};

// Mild: a furnished room (RT60 0.25 s) with sender and receiver about 30 cm apart, the direct
// sound 10 dB above the echoes. Strong: a bare room (RT60 0.6 s) with the devices about a
// metre apart, near the distance where echoes carry as much energy as the direct sound (0 dB).
// kNone has no echoes.
RoomSettings RoomPreset(RoomKind kind);
std::string_view RoomName(RoomKind kind);

struct Echo {
  int64_t delay;  // samples after the direct sound, >= 1
  double gain;
};

// The echoes of `settings` at `sampleRate`, by increasing delay. Their delays are uniform over
// [preDelay, preDelay + decay], their signs random, their amplitudes 10^(-3 t / decay) at t
// seconds after the pre-delay, all scaled so that the sum of their squares is
// 10^(-directToReverbDb / 10) (the direct sound has gain 1). Deterministic in the seed.
std::vector<Echo> RoomEchoes(const RoomSettings& settings, int32_t sampleRate);

// The factor on direct sound and echoes alike that keeps the sound's power: 1 / sqrt(1 + the
// echoes' energy).
double PowerKeepingScale(std::span<const Echo> echoes);

// `in` through the room: the direct sound plus every echo. The result is longer than `in` by the
// last echo's delay, so the reverberant tail is kept.
std::vector<double> ApplyRoom(std::span<const double> in, std::span<const Echo> echoes);

}  // namespace brindlemoor
