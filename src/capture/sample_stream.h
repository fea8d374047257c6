// A source of capture-format samples (11025 Hz, unsigned 8-bit, mono) read front to back, so a
// recording of any length can be replayed in constant memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace brindlemoor {

class SampleStream {
 public:
  virtual ~SampleStream() = default;
  // Reads up to `count` samples into `out`; returns how many, 0 only at the end.
  virtual std::size_t Read(uint8_t* out, std::size_t count) = 0;
};

// A stream over samples held in memory (tests, synthesised traffic).
class MemorySampleStream : public SampleStream {
 public:
  explicit MemorySampleStream(std::vector<uint8_t> samples) : samples(std::move(samples)) {}
  std::size_t Read(uint8_t* out, std::size_t count) override;

 private:
  std::vector<uint8_t> samples;
  std::size_t position = 0;
};

}  // namespace brindlemoor
