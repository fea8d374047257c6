// The symbol waveform itself: a sum of sines at the fundamental (245 Hz) and its harmonics with
// one of two fixed sets of phases.
#pragma once

#include <cstdint>

#include "synth/harmonic_levels.h"

namespace brindlemoor {

// kLowCrest: phases that keep every byte's peak low against its power (loud for a given peak).
// kAligned: every component a cosine, so all of them peak together once per period: a high, narrow
// peak against the power, which a reverberant tail (of random phase) cannot match.
enum class PhaseSet { kLowCrest, kAligned };

// Sample n of the waveform at `sampleRate` with the components at `amplitudes`. The phase of
// harmonic h after n samples is 245 h n / sampleRate cycles; its whole cycles are dropped in
// integer arithmetic, so the waveform repeats bit for bit whenever sampleRate / 245 is a whole
// number of samples (45 at 11025 Hz).
double WaveformSample(const ComponentAmplitudes& amplitudes, int64_t n, int32_t sampleRate,
                      PhaseSet phases = PhaseSet::kLowCrest);

}  // namespace brindlemoor
