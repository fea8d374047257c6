// How far a sender's onsets fall from a steady rhythm (samples, the median of the last few): large
// for a sender whose gaps jitter, small for a steady one even in a room.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace brindlemoor::robust {

class GapSpread {
 public:
  // An onset found with no rhythm to expect it, `since` samples after the last one; the clock
  // that starts with `spacing` measures these against it.
  void NoteFreeSpacing(int64_t since);
  void Start(double spacing);
  // A clock window closed with its strongest jump this far from where the clock expected it.
  void Follow(double error);
  double Samples() const { return spread; }

 private:
  void Note(double distance);

  static constexpr std::size_t kKept = 7;
  std::array<double, kKept> distances{};
  std::size_t count = 0;  // distances noted so far, of which the last kKept are kept
  std::array<int64_t, kKept> freeSpacings{};
  std::size_t freeCount = 0;
  double spread = 0.0;
};

}  // namespace brindlemoor::robust
