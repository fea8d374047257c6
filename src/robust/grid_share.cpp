#include "robust/grid_share.h"

#include <cmath>
#include <cstddef>
#include <numbers>

// Not on Windows: there the compiler cannot keep 32-byte vectors on the stack aligned, and the
// aligned moves it emits for them fault.
#if defined(__x86_64__) && !defined(_WIN32) && (defined(__GNUC__) || defined(__clang__))
#define BRINDLEMOOR_GRID_VECTORS 1
#endif

namespace brindlemoor::robust {
namespace {

using States = std::array<double, 4 * kGridQuads>;

// The filters stepped together sample by sample (the same arithmetic per bin as one after the
// other, but independent chains run side by side).
void StepScalar(const GridFilters& filters, const PeriodSamples& a, const PeriodSamples& b,
                States& s1, States& s2) {
  for (const PeriodSamples* half : {&a, &b}) {
    for (const double x : *half) {
      for (std::size_t k = 0; k < static_cast<std::size_t>(kGridBins); ++k) {
        const double s0 = x + filters.coefficients[k] * s1[k] - s2[k];
        s2[k] = s1[k];
        s1[k] = s0;
      }
    }
  }
}

#ifdef BRINDLEMOOR_GRID_VECTORS
// Four bins' filter states in one 256-bit vector: each lane is multiplied, added and subtracted
// on its own, as a bin stepped alone is (no fused multiply-add: the build contracts none).
using Quad = double __attribute__((vector_size(4 * sizeof(double))));

__attribute__((target("avx"))) void StepVector(const GridFilters& filters, const PeriodSamples& a,
                                               const PeriodSamples& b, States& s1, States& s2) {
  std::array<Quad, kGridQuads> c;
  std::array<Quad, kGridQuads> last;
  std::array<Quad, kGridQuads> before;
  for (std::size_t q = 0; q < c.size(); ++q) {
    const double* k = &filters.coefficients[4 * q];
    c[q] = Quad{k[0], k[1], k[2], k[3]};
    last[q] = Quad{0.0, 0.0, 0.0, 0.0};
    before[q] = last[q];
  }
  // Two samples a round: the first's state takes the place of the one two back, and the
  // second's that of the first's predecessor, so that no state is moved.
  std::array<double, 2 * kPeriod> x;
  for (std::size_t i = 0; i < a.size(); ++i) {
    x[i] = a[i];
    x[a.size() + i] = b[i];
  }
  for (std::size_t i = 0; i < x.size(); i += 2) {
    const Quad x0 = {x[i], x[i], x[i], x[i]};
    for (std::size_t q = 0; q < c.size(); ++q) before[q] = x0 + c[q] * last[q] - before[q];
    const Quad x1 = {x[i + 1], x[i + 1], x[i + 1], x[i + 1]};
    for (std::size_t q = 0; q < c.size(); ++q) last[q] = x1 + c[q] * before[q] - last[q];
  }
  for (std::size_t q = 0; q < c.size(); ++q) {
    for (std::size_t lane = 0; lane < 4; ++lane) {
      s1[4 * q + lane] = last[q][lane];
      s2[4 * q + lane] = before[q][lane];
    }
  }
}
#endif

}  // namespace

GridFilters MakeGridFilters(bool vector) {
  GridFilters filters;
  for (int32_t k = 0; k < kGridBins; ++k) {
    filters.coefficients[static_cast<std::size_t>(k)] =
        2.0 * std::cos(2.0 * std::numbers::pi * (kFirstGridBin + k) / (2 * kPeriod));
  }
#ifdef BRINDLEMOOR_GRID_VECTORS
  filters.vector = vector && __builtin_cpu_supports("avx");
#else
  static_cast<void>(vector);
#endif
  return filters;
}

double GridShare(const GridFilters& filters, const PeriodSamples& a, const PeriodSamples& b) {
  States s1{};
  States s2{};
#ifdef BRINDLEMOOR_GRID_VECTORS
  if (filters.vector) {
    StepVector(filters, a, b, s1, s2);
  } else {
    StepScalar(filters, a, b, s1, s2);
  }
#else
  StepScalar(filters, a, b, s1, s2);
#endif
  double onGrid = 0.0;
  double total = 0.0;
  for (std::size_t k = 0; k < static_cast<std::size_t>(kGridBins); ++k) {
    const double c = filters.coefficients[k];
    const double power = s1[k] * s1[k] + s2[k] * s2[k] - c * s1[k] * s2[k];
    total += power;
    if ((kFirstGridBin + static_cast<int32_t>(k)) % 2 == 0) onGrid += power;
  }
  return total > 0.0 ? onGrid / total : 0.0;
}

}  // namespace brindlemoor::robust
