// Constants of the robust framing, in samples at the receiver's 11025 Hz, named once.
#pragma once

#include <array>
#include <cstdint>

#include "convention/symbol_convention.h"

namespace brindlemoor::robust {

inline constexpr int32_t kPeriod = kSymbolPeriod;  // one period of every symbol
inline constexpr int32_t kHop = 15;                // the envelope is measured every kHop samples
inline constexpr int32_t kEnvelopeHops = 16;       // envelope values kept
// Candidate analysed periods start from the onset's window on, every kHop, up to this far.
inline constexpr int32_t kCandidateSpan = 270;
inline constexpr int32_t kAveragedPeriods = 2;  // periods averaged into the analysed one
// Samples after the onset's window that must have arrived before the symbol is analysed.
inline constexpr int32_t kAnalysisDelay = kCandidateSpan + kAveragedPeriods * kPeriod;
// The learned spacing never falls below this (so at most one symbol is pending) or above this.
inline constexpr int32_t kShortestSpacing = kAnalysisDelay + kPeriod + kHop;
inline constexpr int32_t kLongestSpacing = 3000;
// A window where the next onset is looked for closes at the latest this long after the last
// onset, however widely a sender's gaps seem to spread: further than any sender's jitter reaches,
// and short enough that the onset found there is still kept.
inline constexpr int32_t kLatestWindow = 5 * kLongestSpacing;

// The recent sound kept; a power of two. The oldest sound the framing reads: an onset found as
// late as its window closes, decoded once the samples after it have arrived (kAnalysisDelay
// holds the hops an onset takes to judge), and the two periods before it, whose tail is taken
// out. The calibration preamble search reads as far back as is kept.
inline constexpr int32_t kLongestLookBack = kLatestWindow + kAnalysisDelay + 2 * kPeriod;
inline constexpr int32_t kHistorySamples = 16384;
static_assert(kHistorySamples >= kLongestLookBack, "the history keeps what the framing reads");
static_assert((kHistorySamples & (kHistorySamples - 1)) == 0, "the history is a power of two");

// One period of samples as the analysis computes with them.
using PeriodSamples = std::array<double, kPeriod>;

}  // namespace brindlemoor::robust
