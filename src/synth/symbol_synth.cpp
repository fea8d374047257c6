#include "synth/symbol_synth.h"
