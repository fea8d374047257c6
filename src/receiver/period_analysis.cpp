#include "receiver/period_analysis.h"

#include <algorithm>
#include <cassert>

#include "receiver/framing.h"

namespace brindlemoor {

// The 45 distinct quotients are worked out once and then repeated.
void AnalyseRepeatedPeriod(const int16_t* period, int32_t peak, SpectrumAnalyzer& analyser,
                           int32_t* spectrum) {
  assert(peak > 0);
  int16_t scaled[kSymbolPeriod];
  for (int32_t i = 0; i < kSymbolPeriod; ++i) {
    scaled[i] = static_cast<int16_t>(period[i] * kNormalisedPeak / peak);
  }
  for (int32_t first = 0; first < kSymbolLength; first += kSymbolPeriod) {
    const int32_t count = std::min(kSymbolPeriod, kSymbolLength - first);
    analyser.SetInputs(first, scaled, count);
  }
  analyser.ComputeMagnitudes(spectrum);
}

}  // namespace brindlemoor
