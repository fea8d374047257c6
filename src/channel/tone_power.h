// The power of the tones in a signal, against which added noise is scaled. Averaging over the
// whole signal would count the silent gaps between symbols and the lead and tail silences as
// signal, understating the noise a receiver really faces during a tone; so only the samples
// where a tone sounds are averaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace brindlemoor {

struct TonePower {
  double meanSquare = 0.0;  // over the tone samples; 0 when there are none
  std::size_t toneSamples = 0;
};

// A sample belongs to a tone when non-zero samples lie within half a fundamental period
// (sampleRate / 245 / 2 samples) before it and after it, itself included on both sides: the
// envelope of a symbol is non-zero there, even where its waveform crosses zero, and the silence
// around a tone is not counted. Exact zeros mark silence; the signal must be the
// clean one, before noise is added.
TonePower MeasureTonePower(std::span<const double> clean, int32_t sampleRate);

}  // namespace brindlemoor
