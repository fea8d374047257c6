#include "synth/wav_writer.h"
