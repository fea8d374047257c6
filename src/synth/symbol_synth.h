// Synthesises symbols as a sender plays them: for each byte a waveform that repeats every 45
// samples at 11025 Hz (245 Hz fundamental) with harmonic k + 2 for every set bit k, shaped by an
// envelope, followed by a silent gap. Tests and the example generator build their recordings
// with it. Everything here is deterministic: the same arguments give the same samples.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace brindlemoor {

// Lengths in samples at 11025 Hz; at a higher rate each is scaled by rate / 11025 and rounded.
// A symbol is a tone of `toneSamples` followed by `gapSamples` of silence. The tone's level rises
// in a straight line from 0 over `riseSamples`, reaching full level on the waveform's largest
// sample, then falls gently (by a quarter over the rest of the tone), so the earliest largest
// sample of the symbol lies in its first full-level period.
struct SymbolTiming {
  int32_t toneSamples;
  int32_t riseSamples;  // 0 < riseSamples < toneSamples
  int32_t gapSamples;
  int32_t leadSamples;  // silence before the first symbol
  int32_t tailSamples;  // silence after the last symbol
  double amplitude;     // largest sample, full scale = 1.0
};

// About 16.5 symbols per second; framed and decided correctly wherever the receiver's block and
// tick boundaries fall.
extern const SymbolTiming kDefaultTiming;

// Appends one tone for `byte`, `samples` long at `sampleRate` (11025 or higher), without
// envelope: equal-amplitude sines at 245 Hz and at harmonic k + 2 for each set bit k, with fixed
// phases, scaled so that the largest magnitude among the samples of one period is 1.0. The tone
// starts on that largest sample. At rates that are whole multiples of 245 Hz (11025, 44100) it
// repeats exactly, sample for sample.
void AppendTone(std::vector<double>& out, uint8_t byte, int32_t samples, int32_t sampleRate);

// Appends one shaped symbol and its gap.
void AppendSymbol(std::vector<double>& out, uint8_t byte, const SymbolTiming& timing,
                  int32_t sampleRate);

// Lead silence, one symbol per byte, tail silence.
std::vector<double> SynthesizeMessage(std::span<const uint8_t> bytes, const SymbolTiming& timing,
                                      int32_t sampleRate);

// The capture format's unsigned 8-bit samples: 128 + lrint(127 x) (ties to even), clamped to
// 0..255. Silence is 128 and -1.0 .. 1.0 maps symmetrically onto 1 .. 255.
std::vector<uint8_t> QuantizeToU8(std::span<const double> samples);

// The calibration sequence a sender may send: 0, then 1, 2, 4, ..., 128 (one harmonic each).
std::vector<uint8_t> CalibrationSequence();

}  // namespace brindlemoor
