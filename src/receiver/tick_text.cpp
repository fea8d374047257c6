#include "receiver/tick_text.h"

#include <cassert>
#include <cstdio>

#include "receiver/decide_byte.h"

namespace brindlemoor {
namespace {

constexpr int32_t kCalibrationSteps = 8;
constexpr int32_t kSilentTicksToForget = 10;  // empty ticks after which calibration lapses
// Nine numbers of at most 11 characters, separators and the tail of a failure line.
constexpr int kFlagLineBytes = 192;

void AppendCompletionLine(const LevelTable& levels, TextOutput& files) {
  char line[kFlagLineBytes];
  int n = std::snprintf(line, sizeof line, "%d", levels[0]);
  for (int i = 1; i <= 8; ++i) {
    n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), ", %d", levels[i]);
  }
  n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "\n");
  files.Append(OutputFile::kFlagData, line, static_cast<size_t>(n));
}

void AppendFailureLine(const LevelTable& levels, int32_t step, uint8_t byte, TextOutput& files) {
  char line[kFlagLineBytes];
  const int n = std::snprintf(line, sizeof line, "%d, %d, %d, %d, %d, %d, %d, %d : %d : %d\n",
                              levels[0], levels[1], levels[2], levels[3], levels[4], levels[5],
                              levels[6], levels[7], step, static_cast<int>(byte));
  files.Append(OutputFile::kFlagData, line, static_cast<size_t>(n));
}

}  // namespace

bool RouteByte(uint8_t b, const int32_t* spectrum, CalibrationState& calibration, TickText& text,
               TextOutput& files) {
  if (calibration.calibrating == 0 && b == 0) {
    calibration.calibrating = 1;
    calibration.calibrationStep = 0;
    calibration.calibrationLevels[8] = 0;
  }
  if (calibration.calibrating == 1) {
    if (b == 0) return false;
    const int32_t step = calibration.calibrationStep;
    assert(step >= 0 && step < kCalibrationSteps);
    const int32_t level = HarmonicLevel(spectrum, step);
    calibration.calibrationLevels[step] = level;
    calibration.calibrationLevels[8] += level;
    if ((b & (1u << step)) == 0) {
      calibration.calibrating = 0;
      AppendFailureLine(calibration.calibrationLevels, step, b, files);
      return false;
    }
    calibration.calibrationStep = step + 1;
    if (calibration.calibrationStep == kCalibrationSteps) {
      calibration.calibrating = 0;
      calibration.calibrated = 1;
      AppendCompletionLine(calibration.calibrationLevels, files);
      calibration.gainTable = calibration.calibrationLevels;
    }
    return false;
  }
  assert(text.length < kTickTextLimit);
  text.bytes[static_cast<size_t>(text.length)] = static_cast<char>(b);
  text.length += 1;
  return text.length == kTickTextLimit;
}

void FinishTickText(TickText& text, CalibrationState& calibration, TextOutput& files,
                    TextBox& box) {
  text.bytes[static_cast<size_t>(text.length)] = 0;
  if (text.length > 0) {
    calibration.silentTicks = 0;
    files.Append(OutputFile::kReceiveText, text.bytes.data(), static_cast<size_t>(text.length));
  } else {
    calibration.silentTicks += 1;
    if (calibration.silentTicks == kSilentTicksToForget) calibration.calibrated = 0;
  }
  box.ReplaceText(text.bytes.data(), static_cast<size_t>(text.length));
}

}  // namespace brindlemoor
