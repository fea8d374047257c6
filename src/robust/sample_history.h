// The most recent samples of the captured stream (x - 128), addressed by their position in the
// stream since receiving started; fixed size, so pushing never allocates.
#pragma once

#include <algorithm>
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
  // The sample at stream position `at`. Positions outside the last kHistorySamples (older ones,
  // whose place a newer sample has taken, those before the stream's start, and those still to
  // come) read as silence; kHistorySamples is sized so that the framing reads none of them.
  int32_t At(int64_t at) const {
    const bool kept = at >= 0 && at >= count - kHistorySamples && at < count;
    return kept ? samples[static_cast<std::size_t>(at & kMask)] : 0;
  }
  // The `n` samples from stream position `from` on, as At reads them one by one, into `out`:
  // a run that lies wholly among the kept samples is copied without checking each position.
  template <typename T>
  void Read(int64_t from, int32_t n, T* out) const {
    if (from < 0 || from < count - kHistorySamples || from + n > count) {
      for (int32_t i = 0; i < n; ++i) out[i] = static_cast<T>(At(from + i));
      return;
    }
    const auto first = static_cast<std::size_t>(from & kMask);
    const std::size_t head = std::min(static_cast<std::size_t>(n), samples.size() - first);
    for (std::size_t i = 0; i < head; ++i) out[i] = static_cast<T>(samples[first + i]);
    for (std::size_t i = head; i < static_cast<std::size_t>(n); ++i)
      out[i] = static_cast<T>(samples[i - head]);
  }

 private:
  static constexpr int64_t kMask = kHistorySamples - 1;
  std::array<int16_t, kHistorySamples> samples{};
  int64_t count = 0;
};

}  // namespace brindlemoor::robust
