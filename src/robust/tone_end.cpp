#include "robust/tone_end.h"

#include "robust/robust_constants.h"

namespace brindlemoor::robust {

void ToneEnd::Start(const SampleHistory& history, int64_t onset, double level) {
  following = true;
  reference = level;
  lastHigh = -1;
  fallenAt = -1;
  for (int64_t end = onset + kPeriod; end <= history.Count(); end += kHop) Measure(history, end);
}

void ToneEnd::Step(const SampleHistory& history) {
  if (following) Measure(history, history.Count());
}

void ToneEnd::Measure(const SampleHistory& history, int64_t end) {
  double energy = 0.0;
  for (int64_t at = end - kPeriod; at < end; ++at) {
    const double x = history.At(at);
    energy += x * x;
  }
  if (energy >= kEndHigh * reference) {
    lastHigh = end;
    fallenAt = -1;
  } else if (energy <= kEndLow * reference && lastHigh >= 0 && fallenAt < 0) {
    fallenAt = end;
  }
}

}  // namespace brindlemoor::robust
