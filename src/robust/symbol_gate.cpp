#include "robust/symbol_gate.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "robust/robust_constants.h"

namespace brindlemoor::robust {

bool SymbolGate::RunAgrees(int64_t onset, double energy) const {
  if (held < kRunLength - 1) return false;
  int64_t least = onset - Onset(held - 1);
  int64_t most = least;
  double quietest = energy;
  double loudest = energy;
  for (int32_t i = held - kRunLength + 1; i < held; ++i) {
    quietest = std::min(quietest, symbols[static_cast<std::size_t>(i)].energy);
    loudest = std::max(loudest, symbols[static_cast<std::size_t>(i)].energy);
    if (i + 1 == held) break;
    least = std::min(least, Onset(i + 1) - Onset(i));
    most = std::max(most, Onset(i + 1) - Onset(i));
  }
  return static_cast<double>(most - least) <= kRunSpread * static_cast<double>(least) &&
         quietest >= kLoneEcho * loudest;
}

bool SymbolGate::CalibrationBegins(uint8_t byte) const {
  if (held < kRunLength - 1 || byte != 1u << (kRunLength - 2)) return false;
  const int32_t first = held - kRunLength + 1;
  for (int32_t i = first; i < held; ++i) {
    const uint32_t step = i == first ? 0u : 1u << (i - first - 1);
    if (symbols[static_cast<std::size_t>(i)].byte != step) return false;
  }
  return true;
}

bool SymbolGate::LooselySpaced() const {
  std::array<int64_t, kMostHeld> spacings{};
  int32_t count = 0;
  int64_t previous = -1;
  for (int32_t i = 0; i < held; ++i) {
    if (symbols[static_cast<std::size_t>(i)].echo) continue;
    if (previous >= 0) spacings[static_cast<std::size_t>(count++)] = Onset(i) - previous;
    previous = Onset(i);
  }
  if (count == 0) return false;
  std::array<int64_t, kMostHeld> sorted = spacings;
  std::nth_element(sorted.begin(), sorted.begin() + count / 2, sorted.begin() + count);
  const double median = static_cast<double>(sorted[static_cast<std::size_t>(count / 2)]);
  for (int32_t i = 0; i < count; ++i) {
    const double spacing = static_cast<double>(spacings[static_cast<std::size_t>(i)]);
    if (spacing < (1.0 - kLooseSpread) * median || spacing > (1.0 + kLooseSpread) * median)
      return false;
  }
  return true;
}

int32_t SymbolGate::StepBefore(int32_t first, int32_t from, double runSpacing) const {
  const uint8_t byte = symbols[static_cast<std::size_t>(first)].byte;
  if (!std::has_single_bit(byte)) return -1;
  const auto before = static_cast<uint8_t>(byte >> 1);
  for (int32_t i = from; i >= 0; --i) {
    const double gap = static_cast<double>(Onset(first) - Onset(i));
    if (gap > kJoinFarthest * runSpacing) break;
    if (gap >= kJoinNearest * runSpacing && symbols[static_cast<std::size_t>(i)].byte == before)
      return i;
  }
  return -1;
}

template <typename Keep>
int32_t SymbolGate::KeepHeld(Keep keep) {
  int32_t kept = 0;
  for (int32_t i = 0; i < held; ++i) {
    if (!keep(i)) continue;
    if (kept != i) symbols[static_cast<std::size_t>(kept)] = symbols[static_cast<std::size_t>(i)];
    ++kept;
  }
  const int32_t gone = held - kept;
  held = kept;
  return gone;
}

void SymbolGate::KeepRun(double runSpacing, bool joinEarlier) {
  // From the run's first symbol back: one a spacing or two earlier joins, one closer is dropped.
  int32_t first = held - kRunLength + 1;
  std::array<bool, kMostHeld> joins{};
  for (int32_t i = first; i < held; ++i) joins[static_cast<std::size_t>(i)] = true;
  for (int32_t i = first - 1; i >= 0 && joinEarlier; --i) {
    const double gap = static_cast<double>(Onset(first) - Onset(i));
    if (gap > kJoinFarthest * runSpacing) break;
    if (gap < kJoinNearest * runSpacing) continue;
    // A calibration step in reach that comes before the first one joins instead of whatever
    // lies between them: an echo or a tone's end heard between the sender's tones.
    const int32_t step = StepBefore(first, i, runSpacing);
    if (step >= 0) i = step;
    joins[static_cast<std::size_t>(i)] = true;
    first = i;
  }
  dropped += KeepHeld([&joins](int32_t i) { return joins[static_cast<std::size_t>(i)]; });
}

void SymbolGate::NoteSound(int64_t onset, double energy) {
  lastSound = onset;
  lastSoundEnergy = energy;
  if (held > 0) afterEnergy = std::max(afterEnergy, energy);
}

void SymbolGate::BeginFound(int64_t from, double foundSpacing, int64_t last) {
  dropped = 0;
  if (InMessage()) return;
  double level = 0.0;
  for (int32_t i = 0; i < held; ++i) {
    if (Onset(i) >= from) level += symbols[static_cast<std::size_t>(i)].energy;
  }
  dropped = KeepHeld([this, from](int32_t i) { return Onset(i) < from; });
  if (dropped == 0) return;
  messageLevel = level / dropped;
  spacing = foundSpacing;
  lastPassed = last;
  lastAccepted = std::max(lastAccepted, last);
}

LoneVerdict SymbolGate::Expire(int64_t now, bool sharpEnd) {
  if (held == 0 || now - Onset(held - 1) < kLoneQuiet) return LoneVerdict::kWaiting;
  double loudest = 0.0;
  for (int32_t i = 0; i < held; ++i)
    loudest = std::max(loudest, symbols[static_cast<std::size_t>(i)].energy);
  int32_t tones = 0;
  bool steady = true;
  bool zero = false;
  for (int32_t i = 0; i < held; ++i) {
    HeldSymbol& symbol = symbols[static_cast<std::size_t>(i)];
    symbol.echo = symbol.energy < kLoneEcho * loudest;
    if (symbol.echo) continue;
    ++tones;
    steady = steady && symbol.steady;
    zero = zero || symbol.byte == 0;
  }
  LoneVerdict verdict = LoneVerdict::kReleased;
  if (tones >= kRunLength) {
    if (!steady || !LooselySpaced()) verdict = LoneVerdict::kTooMany;
  } else if (std::max(beforeEnergy, afterEnergy) >= kLoneQuietLevel * loudest) {
    verdict = LoneVerdict::kNoQuiet;
  } else if (zero) {
    verdict = LoneVerdict::kLoneZero;
  } else if (!steady) {
    verdict = LoneVerdict::kNotSteady;
  } else if (!sharpEnd) {
    verdict = LoneVerdict::kFades;
  }
  dropped = verdict == LoneVerdict::kReleased ? held - tones : held;
  return verdict;
}

GateVerdict SymbolGate::Offer(int64_t onset, uint8_t byte, const int32_t* spectrum, bool steady,
                              double energy, bool jumped) {
  dropped = 0;
  const int64_t previous = lastAccepted;
  lastAccepted = onset;
  const bool wasAside = asideHeld;
  asideHeld = false;
  asideReleased = false;
  if (lastPassed >= 0 && onset - lastPassed <= kMessageGap * spacing) {
    if (energy < kLoneEcho * messageLevel) {
      if (jumped) {
        aside.onset = onset;
        asideGap = onset - lastPassed;
        aside.byte = byte;
        aside.energy = energy;
        std::memcpy(aside.spectrum.data(), spectrum, sizeof(int32_t) * aside.spectrum.size());
        asideHeld = true;
      }
      return GateVerdict::kEcho;
    }
    // Within a spacing's reach at most: a weak tone long after the last one waits no longer for
    // the next, so that the live text shows it on time.
    const double reach = kAsideReach * std::min(static_cast<double>(asideGap), spacing);
    asideReleased = wasAside && static_cast<double>(onset - aside.onset) <= reach;
    if (asideReleased) messageLevel += kMessageLevelRate * (aside.energy - messageLevel);
    messageLevel += kMessageLevelRate * (energy - messageLevel);
    lastPassed = onset;
    return GateVerdict::kPassed;
  }
  lastPassed = -1;
  if (held > 0 && onset - Onset(held - 1) > kLongestSpacing) {
    dropped = held;
    held = 0;
  }
  const bool steadyRun = RunAgrees(onset, energy);
  if (steadyRun || CalibrationBegins(byte)) {
    spacing = static_cast<double>(onset - Onset(held - kRunLength + 1)) / (kRunLength - 1);
    // Nothing before a calibration's 0 belongs to the message it begins.
    KeepRun(spacing, steadyRun);
    messageLevel = energy;
    for (int32_t i = 0; i < held; ++i) messageLevel += symbols[static_cast<std::size_t>(i)].energy;
    messageLevel /= held + 1;
    lastPassed = onset;
    return GateVerdict::kReleased;
  }
  if (held == kMostHeld) {
    std::move(symbols.begin() + 1, symbols.end(), symbols.begin());
    --held;
    ++dropped;
  }
  if (held == 0) {
    // A symbol shortly before always breaks the silence; a rejected sound when loud enough.
    beforeEnergy = 0.0;
    afterEnergy = 0.0;
    if (previous >= 0 && onset - previous < kLoneQuiet) beforeEnergy = 1e300;
    if (lastSound >= 0 && onset - lastSound < kLoneQuiet)
      beforeEnergy = std::max(beforeEnergy, lastSoundEnergy);
  }
  HeldSymbol& symbol = symbols[static_cast<std::size_t>(held)];
  symbol.steady = steady;
  symbol.energy = energy;
  symbol.onset = onset;
  symbol.byte = byte;
  std::memcpy(symbol.spectrum.data(), spectrum, sizeof(int32_t) * symbol.spectrum.size());
  ++held;
  return GateVerdict::kHeld;
}

}  // namespace brindlemoor::robust
