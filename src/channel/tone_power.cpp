#include "channel/tone_power.h"

#include <algorithm>
#include <cassert>
#include <vector>

#include "convention/symbol_convention.h"

namespace brindlemoor {

TonePower MeasureTonePower(std::span<const double> clean, int32_t sampleRate) {
  ToneMeter meter(sampleRate);
  meter.Add(clean);
  return meter.Finish();
}

ToneMeter::ToneMeter(int32_t sampleRate)
    : reach(static_cast<std::size_t>(sampleRate / kFundamentalHz / 2)), recent(reach + 1) {
  assert(sampleRate >= kFundamentalHz);
}

void ToneMeter::Add(std::span<const double> block) {
  for (const double x : block) {
    // Inside a tone: something sounds within reach before and within reach after (each side
    // including the sample itself). So zero crossings count, the silences around a tone don't.
    if (x != 0.0) lastSound = seen + 1;
    recent[seen % recent.size()] = {x, lastSound > 0 && lastSound + reach > seen};
    ++seen;
    if (seen > reach) Judge(seen - reach - 1);
  }
}

void ToneMeter::Judge(std::size_t index) {
  const Sample& sample = recent[index % recent.size()];
  ++judged;
  // Every sample up to index + reach has been seen (or the signal ended before).
  if (!sample.soundBefore || lastSound <= index) return;
  sum += sample.value * sample.value;
  ++power.toneSamples;
}

TonePower ToneMeter::Finish() {
  while (judged < seen) Judge(judged);
  if (power.toneSamples > 0) power.meanSquare = sum / static_cast<double>(power.toneSamples);
  return power;
}

}  // namespace brindlemoor
