#include "robust/calibration_step.h"

#include <algorithm>

#include "convention/symbol_convention.h"
#include "receiver/decide_byte.h"
#include "receiver/framing.h"

namespace brindlemoor::robust {
namespace {

// The awaited harmonic must reach this share of the strongest bin (its fixed threshold is a
// half for the first steps): the 0 that starts a calibration holds its harmonics under a
// twentieth, a first step behind a settling suppressor still holds nearly two fifths.
constexpr double kLeastStepShare = 0.25;
// ...and this many times every other harmonic: a step is a single harmonic, so a symbol with
// two harmonics of note is no step. The first steps through the suppressor stood 16 times over.
// The earlier steps' harmonics need only stay under it: their tails ring on into this step. In
// short, close development rooms a tail that a resonance lifted held 0.75 of the awaited
// harmonic (harmonic 2 at 193 under harmonic 3 at 258), and the step read as 0 failed the
// calibration.
constexpr int32_t kStandsOut = 8;

}  // namespace

int32_t StepReadFromZero(uint8_t b, const int32_t* spectrum, const CalibrationState& calibration) {
  if (b != 0 || calibration.calibrating == 0) return -1;
  const int32_t step = calibration.calibrationStep;
  const int32_t awaited = HarmonicLevel(spectrum, step);
  int32_t peak = 0;
  for (int32_t bin = 1; bin < kSpectrumBins; ++bin) peak = std::max(peak, spectrum[bin]);
  if (awaited <= 0 || awaited < kLeastStepShare * peak) return -1;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const int32_t level = HarmonicLevel(spectrum, bit);
    if (bit < step ? level >= awaited : bit > step && level * kStandsOut > awaited) return -1;
  }
  return step;
}

}  // namespace brindlemoor::robust
