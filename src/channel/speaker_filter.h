// A loudspeaker or microphone that passes high frequencies less well: a second-order
// Butterworth low-pass filter (a biquad, bilinear transform), -3 dB at the corner frequency and
// falling 12 dB per octave beyond it. With the corner near the middle harmonics it weakens
// harmonics 6 to 9 of a symbol against harmonics 2 to 5, the kind of colouring a calibration
// measures and undoes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace brindlemoor {

// `cornerHz` above 0 and below half of `sampleRate`.
std::vector<double> ApplyHighCut(std::span<const double> in, double cornerHz, int32_t sampleRate);

}  // namespace brindlemoor
