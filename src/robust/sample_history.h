// The most recent samples of the captured stream (x - 128), addressed by their position in the
// stream since receiving started; fixed size, so pushing never allocates.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "robust/robust_constants.h"

namespace brindlemoor::robust {

class SampleHistory {
 public:
  void Reset() {
    samples.fill(0);
    count = 0;
  }
  void Push(int16_t sample) {
    samples[static_cast<std::size_t>(count & kMask)] = sample;
    ++count;
  }
  // Samples pushed so far; the next one gets this position.
  int64_t Count() const { return count; }
  // The sample at stream position `at`, which must lie among the last kHistorySamples; positions
  // before the stream's start read as silence.
  int32_t At(int64_t at) const {
    return at < 0 ? 0 : samples[static_cast<std::size_t>(at & kMask)];
  }

 private:
  static constexpr int64_t kMask = kHistorySamples - 1;
  std::array<int16_t, kHistorySamples> samples{};
  int64_t count = 0;
};

}  // namespace brindlemoor::robust
