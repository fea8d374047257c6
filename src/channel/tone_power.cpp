#include "channel/tone_power.h"

#include <algorithm>
#include <cassert>
#include <vector>

namespace brindlemoor {

namespace {

constexpr int32_t kFundamentalHz = 245;

}  // namespace

TonePower MeasureTonePower(std::span<const double> clean, int32_t sampleRate) {
  assert(sampleRate >= kFundamentalHz);
  const std::size_t reach = static_cast<std::size_t>(sampleRate / kFundamentalHz / 2);
  const std::size_t n = clean.size();
  // nonZeroBefore[i]: non-zero samples among clean[0 .. i - 1], so any window's count is one
  // subtraction.
  std::vector<std::size_t> nonZeroBefore(n + 1, 0);
  for (std::size_t i = 0; i < n; ++i) nonZeroBefore[i + 1] = nonZeroBefore[i] + (clean[i] != 0.0);

  TonePower power;
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    // Inside a tone: something sounds within reach before and within reach after (each side
    // including the sample itself). So zero crossings count, the silences around a tone don't.
    const std::size_t first = i >= reach ? i - reach : 0;
    const std::size_t end = std::min(n, i + reach + 1);
    const bool soundBefore = nonZeroBefore[i + 1] != nonZeroBefore[first];
    const bool soundAfter = nonZeroBefore[end] != nonZeroBefore[i];
    if (!soundBefore || !soundAfter) continue;
    sum += clean[i] * clean[i];
    ++power.toneSamples;
  }
  if (power.toneSamples > 0) power.meanSquare = sum / static_cast<double>(power.toneSamples);
  return power;
}

}  // namespace brindlemoor
