// The framing state that survives from one receive tick to the next: Searching (looking for an
// onset) or Collecting (a symbol's samples are partly gathered).
#pragma once

#include <array>
#include <cstdint>

#include "receiver/framing.h"

namespace brindlemoor {

struct SymbolState {
  int32_t searchingOnset = 1;
  std::array<int16_t, kSymbolLength> symbolSamples{};
  int32_t symbolCount = 0;
  int32_t symbolPeak = 0;
  int32_t symbolPeakIndex = 0;
  // Where the symbol being collected was found, for diagnostics only.
  uint32_t onsetBlock = 0;
  uint32_t onsetPosition = 0;
};

}  // namespace brindlemoor
