// The roots of unity of the symbol period, e^(2 pi i m / kPeriod), built once: a harmonic of the
// 245 Hz fundamental is measured in a period, or taken out of it, with its phases looked up rather
// than computed sample by sample. Positions count samples in the stream (or in the period), so
// periods measured at different places agree on each harmonic's phase. Fixed size; inline, as
// the analyses run these loops for every harmonic of every candidate period.
#pragma once

#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <numbers>

#include "robust/robust_constants.h"

namespace brindlemoor::robust {

class PeriodRoots {
 public:
  PeriodRoots() {
    for (int32_t m = 0; m < kPeriod; ++m)
      roots[static_cast<std::size_t>(m)] = std::polar(1.0, 2.0 * std::numbers::pi * m / kPeriod);
    for (int32_t h = 0; h < kTabled; ++h) {
      for (int32_t t = 0; t < 2 * kPeriod; ++t) {
        const std::complex<double>& root = roots[static_cast<std::size_t>(Root(h, t))];
        const auto at = static_cast<std::size_t>(h * 2 * kPeriod + t);
        real[at] = root.real();
        imag[at] = root.imag();
      }
    }
  }

  // The component of `harmonic` in `period`, whose first sample lies at `position`: the sum of
  // x(t) e^(-2 pi i harmonic t / kPeriod), kPeriod / 2 times the harmonic's amplitude.
  std::complex<double> Measure(const PeriodSamples& period, int64_t harmonic,
                               int64_t position = 0) const {
    // Summed apart, not as one complex sum, the two parts stay in registers.
    double re = 0.0;
    double im = 0.0;
    if (harmonic >= 0 && harmonic < kTabled) {
      const std::size_t first = Tabled(harmonic, position);
      for (std::size_t t = 0; t < period.size(); ++t) {
        re += period[t] * real[first + t];
        im += period[t] * -imag[first + t];
      }
      return {re, im};
    }
    const int64_t step = Root(harmonic, 1);
    int64_t m = Root(harmonic, position);
    for (const double x : period) {
      const std::complex<double>& root = roots[static_cast<std::size_t>(m)];
      re += x * root.real();
      im += x * -root.imag();
      m = Next(m, step);
    }
    return {re, im};
  }

  // Takes Re(component e^(2 pi i harmonic t / kPeriod)) out of each sample x(t) of `period`,
  // whose first sample lies at `position`.
  void Subtract(std::complex<double> component, int64_t harmonic, int64_t position,
                PeriodSamples& period) const {
    if (harmonic >= 0 && harmonic < kTabled) {
      const std::size_t first = Tabled(harmonic, position);
      for (std::size_t t = 0; t < period.size(); ++t)
        period[t] -= component.real() * real[first + t] - component.imag() * imag[first + t];
      return;
    }
    const int64_t step = Root(harmonic, 1);
    int64_t m = Root(harmonic, position);
    for (double& x : period) {
      const std::complex<double>& root = roots[static_cast<std::size_t>(m)];
      x -= component.real() * root.real() - component.imag() * root.imag();
      m = Next(m, step);
    }
  }

 private:
  // Harmonics up to the period's highest are also held as runs of their roots sample by sample,
  // two periods long, so that a period's loop reads one run from wherever it starts.
  static constexpr int32_t kTabled = kPeriod / 2 + 1;

  // The root of harmonic `harmonic` at `position`: harmonic * position modulo kPeriod; each
  // later sample moves it on by Root(harmonic, 1).
  static int64_t Root(int64_t harmonic, int64_t position) {
    const int64_t m = harmonic * position % kPeriod;
    return m < 0 ? m + kPeriod : m;
  }
  static int64_t Next(int64_t m, int64_t step) {
    return m + step >= kPeriod ? m + step - kPeriod : m + step;
  }
  // Where a tabled harmonic's run for a period starting at `position` begins: the roots repeat
  // every kPeriod samples, whatever the harmonic.
  static std::size_t Tabled(int64_t harmonic, int64_t position) {
    const int64_t phase = position % kPeriod;
    return static_cast<std::size_t>(harmonic * 2 * kPeriod + (phase < 0 ? phase + kPeriod : phase));
  }

  std::array<std::complex<double>, kPeriod> roots{};
  std::array<double, kTabled * 2 * kPeriod> real{};
  std::array<double, kTabled * 2 * kPeriod> imag{};
};

}  // namespace brindlemoor::robust
