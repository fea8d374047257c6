#include "robust/symbol_gate.h"

#include <algorithm>
#include <cstring>

#include "robust/robust_constants.h"

namespace brindlemoor::robust {

bool SymbolGate::RunAgrees(int64_t onset) const {
  if (held < kRunLength - 1) return false;
  int64_t least = onset - Onset(held - 1);
  int64_t most = least;
  for (int32_t i = held - kRunLength + 1; i + 1 < held; ++i) {
    least = std::min(least, Onset(i + 1) - Onset(i));
    most = std::max(most, Onset(i + 1) - Onset(i));
  }
  return static_cast<double>(most - least) <= kRunSpread * static_cast<double>(least);
}

void SymbolGate::KeepRun(double runSpacing) {
  // From the run's first symbol back: one a spacing or two earlier joins, one closer is dropped.
  int32_t first = held - kRunLength + 1;
  std::array<bool, kMostHeld> joins{};
  for (int32_t i = first; i < held; ++i) joins[static_cast<std::size_t>(i)] = true;
  for (int32_t i = first - 1; i >= 0; --i) {
    const double gap = static_cast<double>(Onset(first) - Onset(i));
    if (gap > kJoinFarthest * runSpacing) break;
    if (gap >= kJoinNearest * runSpacing) {
      joins[static_cast<std::size_t>(i)] = true;
      first = i;
    }
  }
  int32_t kept = 0;
  for (int32_t i = 0; i < held; ++i) {
    if (!joins[static_cast<std::size_t>(i)]) continue;
    if (kept != i) symbols[static_cast<std::size_t>(kept)] = symbols[static_cast<std::size_t>(i)];
    ++kept;
  }
  dropped += held - kept;
  held = kept;
}

GateVerdict SymbolGate::Offer(int64_t onset, uint8_t byte, const int32_t* spectrum) {
  dropped = 0;
  if (lastPassed >= 0 && onset - lastPassed <= kMessageGap * spacing) {
    lastPassed = onset;
    return GateVerdict::kPassed;
  }
  lastPassed = -1;
  if (held > 0 && onset - Onset(held - 1) > kLongestSpacing) {
    dropped = held;
    held = 0;
  }
  if (RunAgrees(onset)) {
    spacing = static_cast<double>(onset - Onset(held - kRunLength + 1)) / (kRunLength - 1);
    KeepRun(spacing);
    lastPassed = onset;
    return GateVerdict::kReleased;
  }
  if (held == kMostHeld) {
    std::move(symbols.begin() + 1, symbols.end(), symbols.begin());
    --held;
    ++dropped;
  }
  HeldSymbol& symbol = symbols[static_cast<std::size_t>(held)];
  symbol.onset = onset;
  symbol.byte = byte;
  std::memcpy(symbol.spectrum.data(), spectrum, sizeof(int32_t) * symbol.spectrum.size());
  ++held;
  return GateVerdict::kHeld;
}

}  // namespace brindlemoor::robust
