// The analyser's input for one symbol: one 45-sample period scaled so that its peak is +-127 and
// repeated to 512 samples. Both framings hand their chosen period to the analyser through it.
#pragma once

#include <cstdint>

#include "dsp/spectrum_analyzer.h"

namespace brindlemoor {

// `period` holds 45 samples whose largest magnitude is `peak` (> 0). Sample i of the input is
// (period[i mod 45] * 127) / peak, truncated; fills the 256 bins of `spectrum`.
void AnalyseRepeatedPeriod(const int16_t* period, int32_t peak, SpectrumAnalyzer& analyser,
                           int32_t* spectrum);

}  // namespace brindlemoor
