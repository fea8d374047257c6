// Constants of symbol framing and decision, named once.
#pragma once

#include <cstdint>

namespace brindlemoor {

inline constexpr uint32_t kWindowDivisor = 245;  // window length = sampleRate / 245
inline constexpr int32_t kSymbolPeriod = 45;     // samples in one period, fixed
inline constexpr int32_t kSymbolLength = 512;    // samples collected per symbol
inline constexpr int32_t kPeakSentinel = 9999;   // previous window peak at a scan's start
inline constexpr int32_t kOnsetFloor = 5;        // an onset window's peak must exceed it
inline constexpr int32_t kNormalisedPeak = 127;  // the peak sample becomes +-127
inline constexpr int32_t kSpectrumBins = kSymbolLength / 2;
inline constexpr int32_t kTickTextLimit = 127;  // characters per tick
inline constexpr int32_t kTickTextBytes = kTickTextLimit + 1;

}  // namespace brindlemoor
