// A room the robust framing was never tuned on: an image-source model of a shoebox room (5 by 4
// by 2.7 m, the same absorption on every wall, set for a reverberation time by Sabine's formula)
// with the microphone at a given distance from the loudspeaker. The bench keeps it for a held-out
// measurement; the sound goes through its impulse response by SoX's `fir` effect.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brindlemoor::bench {

struct ShoeboxRoom {
  double rt60Seconds = 0.6;
  double distanceMetres = 1.0;
  std::string Name() const;  // "box0.6s1m"
};

// The impulse response at `sampleRate`, scaled so that the direct sound has gain 1, cut off at
// half a second.
std::vector<double> ShoeboxImpulse(const ShoeboxRoom& room, int32_t sampleRate);

// `in` through the room; `scratch` is a path prefix for temporary files. False with `error` set
// when sox fails.
bool ApplyShoeboxRoom(std::span<const double> in, int32_t sampleRate, const ShoeboxRoom& room,
                      const std::string& scratch, std::vector<double>& out, std::string& error);

}  // namespace brindlemoor::bench
