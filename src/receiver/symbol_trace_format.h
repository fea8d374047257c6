// One line of text per framed symbol, for diagnosing a room where nothing decodes: where the
// onset was, the symbol's peak, the eight harmonic levels and their thresholds, and the byte or
// the reason it was rejected. Formats into a caller's buffer, so it allocates nothing.
#pragma once

#include <cstddef>

#include "receiver/receive_tick.h"

namespace brindlemoor {

// Room for the longest line with its terminating zero.
inline constexpr std::size_t kSymbolTraceLineBytes = 512;

// Writes the line, ending in a line feed, to `out` (at least kSymbolTraceLineBytes); returns its
// length. `calibrated` marks lines whose levels the decision equalised before comparing.
std::size_t FormatSymbolTrace(const SymbolTrace& trace, bool calibrated, char* out);

}  // namespace brindlemoor
