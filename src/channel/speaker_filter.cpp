#include "channel/speaker_filter.h"

#include <cassert>
#include <cmath>
#include <numbers>

namespace brindlemoor {

HighCutFilter::HighCutFilter(double cornerHz, int32_t sampleRate) {
  assert(cornerHz > 0.0 && cornerHz < sampleRate / 2.0);
  // Bilinear transform of H(s) = 1 / (s^2 + sqrt(2) s + 1) with the corner pre-warped:
  // k = tan(pi fc / fs).
  const double k = std::tan(std::numbers::pi * cornerHz / sampleRate);
  const double norm = 1.0 / (1.0 + std::numbers::sqrt2 * k + k * k);
  b0 = k * k * norm;
  b1 = 2.0 * b0;
  b2 = b0;
  a1 = 2.0 * (k * k - 1.0) * norm;
  a2 = (1.0 - std::numbers::sqrt2 * k + k * k) * norm;
}

double HighCutFilter::Next(double x) {
  const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
  x2 = x1;
  x1 = x;
  y2 = y1;
  y1 = y;
  return y;
}

std::vector<double> ApplyHighCut(std::span<const double> in, double cornerHz, int32_t sampleRate) {
  HighCutFilter filter(cornerHz, sampleRate);
  std::vector<double> out(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) out[i] = filter.Next(in[i]);
  return out;
}

}  // namespace brindlemoor
