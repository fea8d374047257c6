// How strongly each component of a symbol is sent. The receiver repeats one 45-sample period to
// 512 samples, measures harmonic levels in bins of that 512-point spectrum, and compares each
// with a fraction of the strongest bin P, bits 4..7 after a factor that grows with the bits 0..3
// set (convention/symbol_convention.h). A sender that knows these rules can put each harmonic a
// chosen ratio above the level its bit needs for this very byte, instead of sending all at one
// amplitude.
#pragma once

#include <array>
#include <cstdint>

#include "convention/symbol_convention.h"

namespace brindlemoor {

// Index h (1..9) holds the amplitude of harmonic h (1 = the fundamental); index 0 is unused.
// Only ratios matter: the tone is scaled afterwards.
using ComponentAmplitudes = std::array<double, kHighestHarmonic + 1>;

// Magnitude in spectrum bin `bin` of a unit-amplitude sine at harmonic h, as the receiver
// analyses it: a period of 45 samples repeated over 512 puts harmonic h at bin position
// p = 512 h / 45, and a rectangular 512-sample window gives |sin(pi d) / sin(pi d / 512)| / 2
// at distance d = p - bin, divided by sqrt(512) like the analyser's magnitudes.
double BinGain(int32_t harmonic, int32_t bin);
// Level per unit amplitude of the harmonic of bit k as the decision measures it (its one bin or
// the sum of its two bins), and that of the fundamental's test (bins 11 + 12).
double LevelGain(int32_t harmonic);
// The largest single-bin magnitude of a unit-amplitude harmonic.
double PeakBinGain(int32_t harmonic);

// All present components at amplitude 1: the fundamental and harmonic k + 2 for each set bit k.
ComponentAmplitudes EqualAmplitudes(uint8_t byte);

// Amplitudes that put the level of every set bit k at `margin` times its threshold (capped at
// the strongest bin), measured against the strongest bin P of this byte's spectrum. P is
// harmonic 2 when bit 0 is set (its bin 23 holds more of its energy than the fundamental's bin
// 11 does), otherwise the fundamental; the fundamental, when it is not P, is sent at
// `fundamentalLevel` of P (its test needs more than P / 10). Harmonic 4 is never the strongest
// component: it sits halfway between bins 45 and 46 (45.51), and a strongest bin at 45 makes
// the receiver reject the symbol. A byte with a single bit set, a calibration step, gets
// EqualAmplitudes (see the definition for why).
ComponentAmplitudes MarginAmplitudes(uint8_t byte, double margin, double fundamentalLevel);

}  // namespace brindlemoor
