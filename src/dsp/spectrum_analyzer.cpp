#include "dsp/spectrum_analyzer.h"
