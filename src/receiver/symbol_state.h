// The framing state that survives from one receive tick to the next: Searching (looking for an
// onset) or Collecting (a symbol's samples are partly gathered).
#pragma once

#include <array>
#include <cstdint>

#include "receiver/framing.h"

namespace brindlemoor {

// The two values of `searchingOnset`. They are 1 and 0, not an enum, because the field's value is
// part of what tests and diagnostics read.
inline constexpr int32_t kSearching = 1;   // the next tick with new blocks searches for an onset
inline constexpr int32_t kCollecting = 0;  // the next tick resumes the symbol being collected

struct SymbolState {
  int32_t searchingOnset = kSearching;
  std::array<int16_t, kSymbolLength> symbolSamples{};
  int32_t symbolCount = 0;
  int32_t symbolPeak = 0;
  int32_t symbolPeakIndex = 0;
  // Where the symbol being collected was found, for diagnostics only.
  uint32_t onsetBlock = 0;
  uint32_t onsetPosition = 0;

  bool Searching() const { return searchingOnset == kSearching; }
  bool Collecting() const { return searchingOnset == kCollecting; }
  void StartSearching() { searchingOnset = kSearching; }
  // The blocks ran out in the middle of a symbol: the next tick continues its collection.
  void SuspendCollection() { searchingOnset = kCollecting; }

  // Forgets the symbol just framed (or none): nothing collected, no peak. `symbolPeakIndex` keeps
  // its value; it is written again as soon as a sample of the next symbol sets the peak.
  void ClearSymbol() {
    symbolCount = 0;
    symbolPeak = 0;
  }

  // As receiving starts: Searching, with nothing collected.
  void Reset() {
    StartSearching();
    ClearSymbol();
  }
};

}  // namespace brindlemoor
