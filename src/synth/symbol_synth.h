// Synthesises symbols as a sender plays them: for each byte a waveform that repeats every 45
// samples at 11025 Hz (245 Hz fundamental) with harmonic k + 2 for every set bit k, shaped by an
// envelope, followed by a silent gap. Tests and the example generator build their recordings
// with it. Everything here is deterministic: the same arguments give the same samples.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "synth/harmonic_levels.h"
#include "synth/waveform.h"

namespace brindlemoor {

// Lengths in samples at 11025 Hz; at a higher rate each is scaled by rate / 11025 and rounded.
// A symbol is a tone of `toneSamples` followed by `gapSamples` of silence. The tone's level rises
// from 0 over `riseSamples` (in a straight line, or bent at a knee), reaching full level on the
// waveform's largest sample, then falls gently (by a quarter over the rest of the tone), so the
// earliest largest sample of the symbol lies in its first full-level period. Why the presets
// have the lengths they have is explained in docs/sender-timings.md.
struct SymbolTiming {
  int32_t toneSamples;
  int32_t riseSamples;  // 0 < riseSamples < toneSamples
  int32_t gapSamples;
  int32_t leadSamples;  // silence before the first symbol
  int32_t tailSamples;  // silence after the last symbol
  double amplitude;     // largest sample, full scale = 1.0
  // 0: every present component at one amplitude; above 0: MarginAmplitudes with this margin.
  double levelMargin = 0.0;
  double fundamentalLevel = 0.0;  // for MarginAmplitudes
  // The rise may bend: from 0 to `kneeLevel` over the first `kneeSamples`, then on to full level
  // at `riseSamples`. 0: one straight line.
  int32_t kneeSamples = 0;
  double kneeLevel = 0.0;
  PhaseSet phases = PhaseSet::kLowCrest;
  // How many times a sender sends the calibration sequence in a row. A receiver keeps the gains
  // of the last sequence that completed, so a second one gives a step spoilt by echoes another
  // chance; a failed first one leaves at most its last seven steps as text.
  int32_t calibrationRounds = 1;
};

// 668 samples, 16.5 symbols per second; framed and decided correctly wherever the receiver's
// block and tick boundaries fall.
extern const SymbolTiming kDefaultTiming;
// 620 samples, 17.8 symbols per second, for short distances and quiet rooms.
extern const SymbolTiming kFastTiming;
// 800 samples, 13.8 symbols per second: a later analysed period and more time for echoes.
extern const SymbolTiming kSafeTiming;
// 1240 samples, 8.9 symbols per second, for bare, reverberant rooms: a short tone with aligned
// phases, so that less of it is left ringing when the receiver looks for the next onset, and the
// calibration sent three times.
extern const SymbolTiming kRoomTiming;

// A length given in samples at 11025 Hz, at `sampleRate`, rounded to the nearest sample.
int64_t ScaledSamples(int32_t samples, int32_t sampleRate);
// One symbol, tone and gap, at `sampleRate`.
int64_t SymbolSamples(const SymbolTiming& timing, int32_t sampleRate);

// Appends one tone for `byte`, `samples` long at `sampleRate` (11025 or higher), without
// envelope: equal-amplitude sines at 245 Hz and at harmonic k + 2 for each set bit k, with fixed
// phases, scaled so that the largest magnitude among the samples of one period is 1.0. The tone
// starts on that largest sample. At rates that are whole multiples of 245 Hz (11025, 44100) it
// repeats exactly, sample for sample.
void AppendTone(std::vector<double>& out, uint8_t byte, int32_t samples, int32_t sampleRate);
// The same with the components at `amplitudes` and `phases`.
void AppendTone(std::vector<double>& out, const ComponentAmplitudes& amplitudes, int32_t samples,
                int32_t sampleRate, PhaseSet phases = PhaseSet::kLowCrest);
// The amplitudes `timing` gives `byte`'s components.
ComponentAmplitudes SymbolAmplitudes(uint8_t byte, const SymbolTiming& timing);

// Appends one shaped symbol and its gap.
void AppendSymbol(std::vector<double>& out, uint8_t byte, const SymbolTiming& timing,
                  int32_t sampleRate);

// Lead silence, one symbol per byte, tail silence.
std::vector<double> SynthesiseMessage(std::span<const uint8_t> bytes, const SymbolTiming& timing,
                                      int32_t sampleRate);

// The capture format's unsigned 8-bit samples: 128 + lrint(127 x) (ties to even), clamped to
// 0..255. Silence is 128 and -1.0 .. 1.0 maps symmetrically onto 1 .. 255.
std::vector<uint8_t> QuantiseToU8(std::span<const double> samples);

// The calibration sequence a sender may send: 0, then 1, 2, 4, ..., 128 (one harmonic each),
// `rounds` times in a row.
std::vector<uint8_t> CalibrationSequence(int32_t rounds = 1);

}  // namespace brindlemoor
