// How the robust framing's decisions reach --trace: each symbol placed by its onset, counted in
// samples from the start of the capture.
#pragma once

#include <cstdint>

#include "receiver/decide_byte.h"
#include "receiver/receive_tick.h"
#include "robust/harmonic_balance.h"

namespace brindlemoor::robust {

// The trace of the symbol that began `onset` samples into the capture: the block that holds its
// onset and the place in that block, its analysed period's peak, spectrum and decision.
SymbolTrace TraceAt(const ReceiveContext& context, int64_t onset, int32_t peak, int32_t peakIndex,
                    const int32_t* spectrum, const ByteDecision& decision);

// Traces a symbol decided again after its first decision (`why`), with the thresholds and the
// harmonic gains it was decided with this time.
void ReportDecidedAgain(ReceiveContext& context, int64_t onset, int32_t peak, int32_t peakIndex,
                        const int32_t* spectrum, const ByteDecision& decision,
                        const ThresholdShares& shares, const HarmonicBalance& balance,
                        const char* why);

}  // namespace brindlemoor::robust
