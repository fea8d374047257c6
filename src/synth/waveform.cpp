#include "synth/waveform.h"

#include <array>
#include <cassert>
#include <cmath>
#include <numbers>

#include "convention/symbol_convention.h"

namespace brindlemoor {

namespace {

// Phase of harmonic h (index h; index 0 unused), in radians. Found once by a random search that
// minimised the worst crest factor (peak / RMS) over all 256 bytes of the continuous waveform
// with equal amplitudes, so no byte is much peakier than another: the worst is about 2.6 (a
// single sine has 1.41), against 3.2 with all phases zero. Changing them changes every
// synthesised recording.
constexpr std::array<double, kHighestHarmonic + 1> kPhases = {
    0.0, 0.0, 1.1505, 5.5919, 1.4576, 0.7337, 4.0359, 5.5859, 3.9961, 4.2837};
// sin(x + pi / 2) = cos(x): every component at its crest on sample 0.
constexpr double kCosinePhase = std::numbers::pi / 2;

}  // namespace

double WaveformSample(const ComponentAmplitudes& amplitudes, int64_t n, int32_t sampleRate,
                      PhaseSet phases) {
  double value = 0.0;
  for (int32_t harmonic = 1; harmonic <= kHighestHarmonic; ++harmonic) {
    if (amplitudes[harmonic] == 0.0) continue;
    const int64_t cycleFraction =
        (static_cast<int64_t>(kFundamentalHz) * harmonic * n) % sampleRate;
    value += amplitudes[harmonic] *
             std::sin(2.0 * std::numbers::pi * static_cast<double>(cycleFraction) / sampleRate +
                      (phases == PhaseSet::kAligned ? kCosinePhase : kPhases[harmonic]));
  }
  return value;
}

}  // namespace brindlemoor
