// Synthesises symbols as a sender plays them: for each byte a waveform that repeats every 45
// samples at 11025 Hz (245 Hz fundamental) with harmonic k + 2 for every set bit k, shaped by an
// envelope, followed by a silent gap.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace brindlemoor {

// Lengths in samples at 11025 Hz; they scale with the output rate.
struct SymbolTiming {
  int32_t toneSamples;
  int32_t riseSamples;   // the level rises over these first samples of the tone
  int32_t gapSamples;
  int32_t leadSamples;   // silence before the first symbol
  int32_t tailSamples;   // silence after the last symbol
  double amplitude;      // largest sample, full scale = 1.0
};

extern const SymbolTiming kDefaultTiming;

// One period-45 tone for `byte`, `samples` long at `sampleRate`, without envelope, each
// harmonic of equal amplitude and the sum scaled to peak 1.0.
void AppendTone(std::vector<double>& out, uint8_t byte, int32_t samples, int32_t sampleRate);

// Appends one shaped symbol and its gap.
void AppendSymbol(std::vector<double>& out, uint8_t byte, const SymbolTiming& timing,
                  int32_t sampleRate);

// Lead silence, one symbol per byte, tail silence.
std::vector<double> SynthesizeMessage(std::span<const uint8_t> bytes, const SymbolTiming& timing,
                                      int32_t sampleRate);

// 128 + round(127 x), clamped: the capture format.
std::vector<uint8_t> QuantizeToU8(std::span<const double> samples);

// The calibration sequence a sender may send: 0, 1, 2, 4, ..., 128.
std::vector<uint8_t> CalibrationSequence();

}  // namespace brindlemoor
