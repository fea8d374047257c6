// A message as a sender whose gaps jitter plays it, for the robustness bench and tests: each gap
// drawn uniformly within +-jitter samples of the timing's by a fixed generator.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "synth/symbol_synth.h"

namespace brindlemoor {

// As SynthesiseMessage, but each gap drawn within +-`jitter` samples (at 11025 Hz) of the
// timing's, never below 0, by a 64-bit LCG seeded with `seed`. `jitter` 0 is SynthesiseMessage.
std::vector<double> JitteredMessage(std::span<const uint8_t> bytes, const SymbolTiming& timing,
                                    int32_t sampleRate, int32_t jitter, uint64_t seed = 12345);

}  // namespace brindlemoor
