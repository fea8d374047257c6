// A seeded source of white Gaussian noise that gives the same numbers for the same seed on every
// platform: xoshiro256** for the bits (its state seeded through splitmix64) and the polar
// Box-Muller method for the normal deviates. std::normal_distribution is not used because its
// algorithm differs between standard libraries.
#pragma once

#include <array>
#include <cstdint>

namespace brindlemoor {

class NoiseSource {
 public:
  explicit NoiseSource(uint64_t seed);

  // Uniform on [0, 1) with 53 random bits.
  double NextUniform();
  // Standard normal (mean 0, variance 1).
  double NextGaussian();

 private:
  uint64_t NextBits();

  std::array<uint64_t, 4> state{};
  // The polar method makes deviates in pairs; the second waits here.
  double spare = 0.0;
  bool hasSpare = false;
};

}  // namespace brindlemoor
