#include "synth/message_synth.h"

#include <algorithm>
#include <cassert>

namespace brindlemoor {

MessageSynthesiser::MessageSynthesiser(std::span<const uint8_t> bytes, const SymbolTiming& timing,
                                       int32_t sampleRate)
    : bytes(bytes.begin(), bytes.end()),
      timing(timing),
      sampleRate(sampleRate),
      total(SamplesFor(bytes.size(), timing, sampleRate)) {}

int64_t MessageSynthesiser::SamplesFor(std::size_t byteCount, const SymbolTiming& timing,
                                       int32_t sampleRate) {
  return ScaledSamples(timing.leadSamples, sampleRate) +
         SymbolSamples(timing, sampleRate) * static_cast<int64_t>(byteCount) +
         ScaledSamples(timing.tailSamples, sampleRate);
}

bool MessageSynthesiser::Refill() {
  pending.clear();
  pendingAt = 0;
  if (stage > bytes.size() + 1) return false;
  if (stage == 0) {
    pending.resize(ScaledSamples(timing.leadSamples, sampleRate), 0.0);
  } else if (stage <= bytes.size()) {
    if (stage > 1) symbolsDone = stage - 1;
    AppendSymbol(pending, bytes[stage - 1], timing, sampleRate);
  } else {
    symbolsDone = bytes.size();
    pending.resize(ScaledSamples(timing.tailSamples, sampleRate), 0.0);
  }
  ++stage;
  return true;
}

std::size_t MessageSynthesiser::Next(std::span<double> out) {
  std::size_t written = 0;
  while (written < out.size()) {
    if (pendingAt == pending.size() && !Refill()) break;
    const std::size_t count = std::min(out.size() - written, pending.size() - pendingAt);
    std::copy_n(pending.begin() + static_cast<std::ptrdiff_t>(pendingAt), count,
                out.begin() + static_cast<std::ptrdiff_t>(written));
    pendingAt += count;
    written += count;
  }
  return written;
}

}  // namespace brindlemoor
