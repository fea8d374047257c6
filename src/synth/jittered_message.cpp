#include "synth/jittered_message.h"

#include <algorithm>

namespace brindlemoor {

std::vector<double> JitteredMessage(std::span<const uint8_t> bytes, const SymbolTiming& timing,
                                    int32_t sampleRate, int32_t jitter, uint64_t seed) {
  if (jitter == 0) return SynthesiseMessage(bytes, timing, sampleRate);
  std::vector<double> out(static_cast<std::size_t>(ScaledSamples(timing.leadSamples, sampleRate)));
  uint64_t state = seed;
  for (const uint8_t byte : bytes) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const auto draw = static_cast<int32_t>((state >> 33) % static_cast<uint64_t>(2 * jitter + 1));
    SymbolTiming symbol = timing;
    symbol.gapSamples = std::max(0, timing.gapSamples + draw - jitter);
    AppendSymbol(out, byte, symbol, sampleRate);
  }
  out.resize(out.size() + static_cast<std::size_t>(ScaledSamples(timing.tailSamples, sampleRate)));
  return out;
}

}  // namespace brindlemoor
