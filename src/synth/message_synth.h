// Produces a message's samples (lead silence, one symbol per byte, tail silence) front to back
// in chunks of any size, so a send of any length is written or played in constant memory. The
// samples are exactly those of SynthesiseMessage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "synth/symbol_synth.h"

namespace brindlemoor {

class MessageSynthesiser {
 public:
  // `sampleRate` at least 11025; the bytes are copied.
  MessageSynthesiser(std::span<const uint8_t> bytes, const SymbolTiming& timing,
                     int32_t sampleRate);

  // Samples of the whole message.
  int64_t TotalSamples() const { return total; }
  // Samples of a message of `byteCount` bytes, without making it.
  static int64_t SamplesFor(std::size_t byteCount, const SymbolTiming& timing, int32_t sampleRate);
  // Symbols whose samples have all been produced.
  std::size_t SymbolsDone() const { return symbolsDone; }
  std::size_t SymbolCount() const { return bytes.size(); }

  // Fills `out` with the next samples; returns how many, fewer than out.size() only at the end.
  std::size_t Next(std::span<double> out);

 private:
  // Refills `pending` with the next stretch: the lead, a symbol or the tail. False at the end.
  bool Refill();

  std::vector<uint8_t> bytes;
  SymbolTiming timing;
  int32_t sampleRate;
  int64_t total = 0;
  std::vector<double> pending;  // the current stretch
  std::size_t pendingAt = 0;    // next sample of it to hand out
  // 0: lead next; 1 + i: symbol i next; 1 + bytes.size(): tail next; beyond: done.
  std::size_t stage = 0;
  std::size_t symbolsDone = 0;
};

}  // namespace brindlemoor
