// How much of the sound of two periods, between 200 and 2500 Hz, lies on the harmonic grid of
// 245 Hz: the share that tells a symbol from noise and music. Stepped four bins at a time where
// the processor has 256-bit vectors, with the same arithmetic per bin as one bin at a time.
#pragma once

#include <array>
#include <cstdint>

#include "robust/robust_constants.h"

namespace brindlemoor::robust {

// The band's bins of a 90-point DFT (122.5 Hz apart), from 245 to 2450 Hz; one more, never
// summed, makes them come in fours.
inline constexpr int32_t kFirstGridBin = 2;
inline constexpr int32_t kGridBins = 19;
inline constexpr int32_t kGridQuads = (kGridBins + 3) / 4;

// One Goertzel filter per bin: their coefficients, and whether the vector path runs here.
struct GridFilters {
  std::array<double, 4 * kGridQuads> coefficients{};
  bool vector = false;
};
// `vector`: use the vector path where the processor runs it.
GridFilters MakeGridFilters(bool vector = true);

// The power of the even bins over that of all bins in the band, of the two periods `a` then
// `b`. Noise and music, whatever their low rumble, share it out evenly; a symbol puts nearly all
// of it on the grid.
double GridShare(const GridFilters& filters, const PeriodSamples& a, const PeriodSamples& b);

}  // namespace brindlemoor::robust
