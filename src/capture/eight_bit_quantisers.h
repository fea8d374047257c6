// How a sample in -1..1 becomes an unsigned 8-bit one, one quantiser per purpose. They differ on
// purpose and every recording's bytes depend on them: change none without meaning to.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "capture/capture_format.h"

namespace brindlemoor {

// Sound made here (the sender) or read from a sound card's float stream: 128 + round(127 x), ties
// to even, clamped. 127 puts +1 and -1 on 255 and 1, symmetric about silence, so a full-scale tone
// never clips. (A float's 127 x is exact and only ties at +-0.5 and beyond +-1.5, where every
// rounding gives the same byte.)
inline uint8_t QuantiseSymmetric(double x) {
  const long level = kSilence + std::lrint(127.0 * x);
  return static_cast<uint8_t>(std::clamp(level, 0L, 255L));
}

// A recording's samples: 128 + round(128 x), ties to even, clamped; NaN is silence. 128 because
// the file reader gives an n-bit sample k as k / 2^(n-1), so 8-bit recordings come back byte for
// byte. Rounded by adding and taking away 1.5 x 2^23 after clamping just beyond the byte's range
// (which changes no result): in [2^23, 2^24) a float's step is 1, so the sum is lrint's value in
// the default rounding mode, without a call per sample.
inline uint8_t QuantiseRecorded(float x) {
  constexpr float kRoundingShift = 12582912.0f;
  const float scaled = x * 128.0f;
  if (std::isnan(scaled)) return kSilence;
  const float bounded = std::clamp(scaled, -129.0f, 128.0f);
  const auto rounded = static_cast<int>((bounded + kRoundingShift) - kRoundingShift);
  return static_cast<uint8_t>(std::clamp(128 + rounded, 0, 255));
}

// The channel simulator's 8-bit converter, kept as a level: x on the grid k / 128, k = -128..127,
// ties to even. The scale of a recording's 8-bit samples, which it models; NaN passes through.
inline double QuantiseConverterLevel(double x) {
  return std::clamp(std::nearbyint(x * 128.0), -128.0, 127.0) / 128.0;
}

}  // namespace brindlemoor
