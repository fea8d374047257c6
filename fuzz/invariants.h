// Invariants shared by the fuzz targets: what any spectrum, calibration state and tick text may
// look like, and a text output that checks every write.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "receiver/calibration_state.h"
#include "receiver/framing.h"
#include "receiver/text_output.h"

namespace brindlemoor::fuzz {

// The largest bin magnitude the analyser can produce: inputs within +-127 give at most
// 127 * 512 / sqrt(512) = 2873.7.
inline constexpr int32_t kMaxBin = 2873;

inline void CheckBin(int32_t magnitude) { FUZZ_CHECK(magnitude >= 0 && magnitude <= kMaxBin); }

// Text is bytes 1..255: zero starts a calibration and never reaches the text.
inline void CheckTickText(const char* bytes, size_t size) {
  FUZZ_CHECK(size <= static_cast<size_t>(kTickTextLimit));
  for (size_t i = 0; i < size; ++i) FUZZ_CHECK(bytes[i] != 0);
}

inline void CheckCalibration(const CalibrationState& c) {
  FUZZ_CHECK(c.calibrating == 0 || c.calibrating == 1);
  FUZZ_CHECK(c.calibrated == 0 || c.calibrated == 1);
  // The step is the bit expected next while a sequence runs; a completed one leaves it at 8.
  FUZZ_CHECK(c.calibrationStep >= 0 && c.calibrationStep <= 8);
  if (c.calibrating == 1) FUZZ_CHECK(c.calibrationStep <= 7);
  FUZZ_CHECK(c.silentTicks >= 0);
  int32_t sum = 0;
  for (int k = 0; k < 8; ++k) {
    FUZZ_CHECK(c.gainTable[k] > 0);
    sum += c.gainTable[k];
  }
  FUZZ_CHECK(c.gainTable[8] == sum);
  FUZZ_CHECK(c.referenceTable == kReferenceLevels);
}

// receive.txt gets only non-empty tick texts; flag.dat only whole lines.
class CheckingOutput : public TextOutput {
 public:
  bool Append(OutputFile file, const char* data, std::size_t size) override {
    FUZZ_CHECK(size > 0);
    if (file == OutputFile::kReceiveText) {
      CheckTickText(data, size);
    } else {
      FUZZ_CHECK(data[size - 1] == '\n');
      for (size_t i = 0; i + 1 < size; ++i) FUZZ_CHECK(data[i] != '\n' && data[i] != 0);
    }
    return true;
  }
};

}  // namespace brindlemoor::fuzz
