// The calibration sequence's state and the gain tables the bit decision equalises with.
// Entries 0..7 stand for harmonics 2..9 (bits 0..7), entry 8 for their sum.
#pragma once

#include <array>
#include <cstdint>

namespace brindlemoor {

using LevelTable = std::array<int32_t, 9>;

inline constexpr LevelTable kReferenceLevels = {866, 849, 1054, 718, 911, 969, 882, 1332, 7581};

struct CalibrationState {
  int32_t calibrating = 0;         // a sequence is in progress
  int32_t calibrationStep = 0;     // bit expected next while calibrating
  LevelTable calibrationLevels{};  // entries 0..7 start at 0
  LevelTable gainTable = kReferenceLevels;
  LevelTable referenceTable = kReferenceLevels;
  int32_t calibrated = 0;   // DecideByte equalises with gainTable
  int32_t silentTicks = 0;  // consecutive ticks with new blocks and no text
};

// What a calibrated DecideByte multiplies harmonic `bit`'s level by: the reference's share of it
// in the sum over the share the calibration measured. Over 1 where the room cut the harmonic.
inline double EqualisingRatio(const CalibrationState& calibration, int32_t bit) {
  const LevelTable& gain = calibration.gainTable;
  const LevelTable& reference = calibration.referenceTable;
  const int32_t numerator = reference[bit] * gain[8];
  const int32_t denominator = reference[8] * gain[bit];
  return static_cast<double>(numerator) / static_cast<double>(denominator);
}

}  // namespace brindlemoor
