// Constants of symbol framing and decision, named once.
#pragma once

#include <cstdint>

#include "convention/symbol_convention.h"

namespace brindlemoor {

// The onset search's window is one period long: sampleRate / kWindowDivisor samples.
inline constexpr uint32_t kWindowDivisor = static_cast<uint32_t>(kFundamentalHz);
inline constexpr int32_t kPeakSentinel = 9999;   // previous window peak at a scan's start
inline constexpr int32_t kOnsetFloor = 5;        // an onset window's peak must exceed it
inline constexpr int32_t kNormalisedPeak = 127;  // the peak sample becomes +-127
inline constexpr int32_t kSpectrumBins = kSymbolLength / 2;
inline constexpr int32_t kTickTextLimit = 127;  // characters per tick
inline constexpr int32_t kTickTextBytes = kTickTextLimit + 1;

}  // namespace brindlemoor
