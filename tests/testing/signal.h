// Hand-made captured sound for framing tests: silence, windows with a chosen peak, and tones of
// period 45 whose largest magnitude is exactly the value asked for.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <numbers>
#include <vector>

#include "capture/capture_format.h"

namespace brindlemoor::testing {

// One period of the fundamental plus harmonic k + 2 for each set bit k, scaled and rounded so
// that its largest magnitude is exactly `peak`, reached by one sample only.
inline std::vector<int> TonePeriod(uint8_t byte, int peak) {
  std::vector<double> period(45, 0.0);
  for (int h = 1; h <= 9; ++h) {
    if (h > 1 && !(byte & (1 << (h - 2)))) continue;
    for (int i = 0; i < 45; ++i)
      period[static_cast<size_t>(i)] += std::sin(2 * std::numbers::pi * h * i / 45.0 + 0.3 * h);
  }
  double largest = 0;
  for (double v : period) largest = std::fmax(largest, std::fabs(v));
  std::vector<int> out;
  bool peakTaken = false;
  for (double v : period) {
    int value = static_cast<int>(std::lround(v / largest * peak));
    if (std::abs(value) >= peak) {
      if (peakTaken) value = value > 0 ? peak - 1 : 1 - peak;
      peakTaken = true;
    }
    out.push_back(value);
  }
  return out;
}

// A stream of captured bytes built front to back.
class Stream {
 public:
  Stream& Silence(size_t n) {
    std::fill_n(std::back_inserter(bytes), n, kSilence);
    return *this;
  }
  // `n` samples repeating the period; each sample is 128 + value.
  Stream& Tone(const std::vector<int>& period, size_t n) {
    for (size_t i = 0; i < n; ++i)
      bytes.push_back(static_cast<uint8_t>(128 + period[i % period.size()]));
    return *this;
  }
  // A window's worth of silence whose single sample `at` has magnitude `peak`.
  Stream& Spike(size_t n, size_t at, int peak) {
    for (size_t i = 0; i < n; ++i)
      bytes.push_back(static_cast<uint8_t>(i == at ? 128 + peak : 128));
    return *this;
  }
  Stream& PadToBlocks() {
    while (bytes.size() % kBlockSamples) bytes.push_back(kSilence);
    return *this;
  }
  size_t Size() const { return bytes.size(); }
  std::vector<uint8_t> bytes;
};

}  // namespace brindlemoor::testing
