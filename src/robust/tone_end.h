// Follows the level of a held symbol's tone after its onset, one period's energy every hop, to
// tell a sender's tone, which keeps its level and then stops, from a note or a vowel, which
// fades. Fixed size.
#pragma once

#include <cstdint>

#include "robust/sample_history.h"

namespace brindlemoor::robust {

// A tone ends sharply when its level falls from kEndHigh of the symbol's to kEndLow of it within
// kEndFall samples: a sender's tone in a furnished room does, a decaying note does not.
inline constexpr double kEndHigh = 0.5;
inline constexpr double kEndLow = 0.05;
inline constexpr int64_t kEndFall = 450;

class ToneEnd {
 public:
  // Follows the tone from `onset` on, `level` the energy of the symbol's analysed period; the
  // history must still hold the samples from the onset on.
  void Start(const SampleHistory& history, int64_t onset, double level);
  // Measures the period that ends at the history's last sample; call every kHop samples.
  void Step(const SampleHistory& history);
  void Stop() { following = false; }
  bool Following() const { return following; }
  double Level() const { return reference; }
  // Whether the tone has fallen from kEndHigh to kEndLow within kEndFall.
  bool Sharp() const { return fallenAt >= 0 && fallenAt - lastHigh <= kEndFall; }

 private:
  void Measure(const SampleHistory& history, int64_t end);

  bool following = false;
  double reference = 0.0;
  int64_t lastHigh = -1;  // where a period last kept kEndHigh of the level
  int64_t fallenAt = -1;  // where a period first fell below kEndLow after it; -1: not yet
};

}  // namespace brindlemoor::robust
