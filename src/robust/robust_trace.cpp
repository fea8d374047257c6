#include "robust/robust_trace.h"

#include <array>

namespace brindlemoor::robust {

SymbolTrace TraceAt(const ReceiveContext& context, int64_t onset, int32_t peak, int32_t peakIndex,
                    const int32_t* spectrum, const ByteDecision& decision) {
  const uint32_t blockSamples = context.capture.samplesPerBlock;
  return SymbolTrace{static_cast<uint32_t>(onset / blockSamples),
                     static_cast<uint32_t>(onset % blockSamples),
                     peak,
                     peakIndex,
                     spectrum,
                     decision};
}

void ReportDecidedAgain(ReceiveContext& context, int64_t onset, int32_t peak, int32_t peakIndex,
                        const int32_t* spectrum, const ByteDecision& decision,
                        const ThresholdShares& shares, const HarmonicBalance& balance,
                        const char* why) {
  if (context.observer == nullptr) return;
  SymbolTrace trace = TraceAt(context, onset, peak, peakIndex, spectrum, decision);
  trace.thresholdShares = &shares;
  const std::array<double, kBitCount> gains = balance.Gains();
  trace.harmonicGains = &gains;
  trace.decidedAgain = why;
  context.observer->OnSymbol(trace);
}

}  // namespace brindlemoor::robust
