#include "channel/speaker_filter.h"

#include <cassert>
#include <cmath>
#include <numbers>

namespace brindlemoor {

std::vector<double> ApplyHighCut(std::span<const double> in, double cornerHz, int32_t sampleRate) {
  assert(cornerHz > 0.0 && cornerHz < sampleRate / 2.0);
  // Bilinear transform of H(s) = 1 / (s^2 + sqrt(2) s + 1) with the corner pre-warped:
  // k = tan(pi fc / fs).
  const double k = std::tan(std::numbers::pi * cornerHz / sampleRate);
  const double norm = 1.0 / (1.0 + std::numbers::sqrt2 * k + k * k);
  const double b0 = k * k * norm;
  const double b1 = 2.0 * b0;
  const double b2 = b0;
  const double a1 = 2.0 * (k * k - 1.0) * norm;
  const double a2 = (1.0 - std::numbers::sqrt2 * k + k * k) * norm;

  std::vector<double> out(in.size());
  double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const double y = b0 * in[i] + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = in[i];
    y2 = y1;
    y1 = y;
    out[i] = y;
  }
  return out;
}

}  // namespace brindlemoor
