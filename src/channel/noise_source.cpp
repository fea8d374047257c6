#include "channel/noise_source.h"

#include <cmath>

namespace brindlemoor {

namespace {

// splitmix64: spreads one 64-bit seed over xoshiro's 256-bit state, so that nearby seeds give
// unrelated streams and the state is never all zero.
uint64_t SplitMix(uint64_t& x) {
  x += 0x9e3779b97f4a7c15ull;
  uint64_t z = x;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

uint64_t RotateLeft(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

NoiseSource::NoiseSource(uint64_t seed) {
  for (uint64_t& word : state) word = SplitMix(seed);
}

uint64_t NoiseSource::NextBits() {
  const uint64_t result = RotateLeft(state[1] * 5, 7) * 9;
  const uint64_t t = state[1] << 17;
  state[2] ^= state[0];
  state[3] ^= state[1];
  state[1] ^= state[2];
  state[0] ^= state[3];
  state[2] ^= t;
  state[3] = RotateLeft(state[3], 45);
  return result;
}

double NoiseSource::NextUniform() {
  // The top 53 bits, scaled by 2^-53: every double in [0, 1) on that grid is equally likely.
  return static_cast<double>(NextBits() >> 11) * 0x1.0p-53;
}

double NoiseSource::NextGaussian() {
  if (hasSpare) {
    hasSpare = false;
    return spare;
  }
  // Polar method: a point uniform in the unit disc (rejecting the corners of the square and the
  // origin) gives two independent normal deviates u f and v f.
  double u = 0.0;
  double v = 0.0;
  double s = 0.0;
  do {
    u = 2.0 * NextUniform() - 1.0;
    v = 2.0 * NextUniform() - 1.0;
    s = u * u + v * v;
  } while (s >= 1.0 || s == 0.0);
  const double f = std::sqrt(-2.0 * std::log(s) / s);
  spare = v * f;
  hasSpare = true;
  return u * f;
}

}  // namespace brindlemoor
