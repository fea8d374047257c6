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

// The filter sample by sample, for sound that comes in blocks.
class HighCutFilter {
 public:
  // `cornerHz` above 0 and below half of `sampleRate`.
  HighCutFilter(double cornerHz, int32_t sampleRate);
  double Next(double x);

 private:
  double b0, b1, b2, a1, a2;
  double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
};

// `cornerHz` above 0 and below half of `sampleRate`.
std::vector<double> ApplyHighCut(std::span<const double> in, double cornerHz, int32_t sampleRate);

}  // namespace brindlemoor
