// The calibration sequence as a sync preamble: a tone of the fundamental alone, then one tone of
// each harmonic 2..9 in turn, all one spacing apart. In a bare room the steps' slow single-harmonic
// rises make almost no onset while the tones' ends do, so the first symbols of a message can be
// framed on a wrong rhythm and the calibration lost at its first step. The sequence is then found
// again in the recent sound by its pattern alone: nine periods at one spacing, each holding much
// of the power of the fundamental and harmonics 2..9 in its own harmonic; the line through where
// those harmonics rise gives the spacing and the start. They frame the calibration's steps anew
// and set the symbol clock. Fixed size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "robust/period_roots.h"
#include "robust/robust_constants.h"
#include "robust/sample_history.h"

namespace brindlemoor::robust {

// A calibration sequence found in the recent sound.
struct PreambleFit {
  bool found = false;
  int64_t start = -1;   // where the 0's tone begins: its fundamental reaches a tenth of its power
  int32_t spacing = 0;  // between the tones' starts (samples)
  // All nine tones' rises, as first measured, lay on the line: a steady sender's. Otherwise some
  // were set aside or looked for again past dips in their tones' tails, which a room's echoes
  // leave; a sender whose gaps jitter leaves its rises off the line too.
  bool steady = false;
};

class PreambleSearch {
 public:
  static constexpr int32_t kTones = 9;  // the 0 and the eight steps
  // Forgets the hops measured: the history starts again.
  void Reset();
  // Looks for a sequence whose 0 began near `zero`, every tone of it at least kAnalysisDelay
  // before the history's end.
  PreambleFit Find(const SampleHistory& history, int64_t zero);

 private:
  static constexpr int32_t kHops = kHistorySamples / kHop;
  // Measures the hops of the stretch searched from `first` on that were not measured before:
  // the same sound gives each hop the same powers, so a hop is measured once while the stretches
  // searched begin one whole number of hops apart.
  void Measure(const SampleHistory& history, int64_t first, int32_t count);
  // Where each tone's harmonic rose, in samples from the stretch's first hop, for the tones of the
  // sequence found at `hop` and `spacing` (samples): walking back from there while it holds a
  // tenth of its power there, past at most `dipHops` hops under that.
  std::array<double, kTones> Rises(int32_t hop, int32_t spacing, int32_t dipHops) const;
  // The ring's slot of the j-th hop of the stretch last measured.
  std::size_t Slot(int32_t j) const {
    const int64_t slot = from % kHops + j;
    return static_cast<std::size_t>(slot < kHops ? slot : slot - kHops);
  }

  PeriodRoots roots;
  // A ring of the hops measured, the hop `anchor + i * kHop` in slot i % kHops; those from `from`
  // to `to` (counted so) are held. For each tone, its harmonic's power in the period beginning
  // at each hop, and its share of the nine harmonics' power there; kept tone by tone, so that
  // the search reads one tone's hops side by side.
  std::array<std::array<float, kHops>, kTones> power{};
  std::array<std::array<float, kHops>, kTones> share{};
  int64_t anchor = 0;
  int64_t from = 0;
  int64_t to = 0;
};

}  // namespace brindlemoor::robust
