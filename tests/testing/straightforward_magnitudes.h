// The analyser's transform written in its plainest order: bit-reversed load, then stage by stage
// with the twiddle loop outermost, then one magnitude per bin. It reads the analyser's own tables
// and input, so any faster arrangement of ComputeMagnitudes must match it bit for bit. Shared by
// the bit-identity test and the benchmark that measures the speed-up.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/spectrum_analyzer.h"

namespace brindlemoor::testing {

class StraightforwardMagnitudes {
 public:
  explicit StraightforwardMagnitudes(const SpectrumAnalyzer& analyser)
      : analyser(analyser), work(static_cast<size_t>(analyser.Size())) {}

  void Compute(int32_t* out) {
    const int32_t size = analyser.Size();
    const double* input = analyser.Input();
    const int32_t* bitReverse = analyser.BitReverse();
    for (int32_t i = 0; i < size; ++i) {
      work[static_cast<size_t>(bitReverse[i])] = Complex{input[i], 0.0};
    }
    for (int32_t s = 1; s <= analyser.StageCount(); ++s) {
      const int32_t half = int32_t{1} << (s - 1);
      const int32_t span = 2 * half;
      const Complex* table = analyser.Twiddles(s);
      for (int32_t j = 0; j < half; ++j) {
        const Complex w = table[j];
        for (int32_t k = j; k < size; k += span) {
          Complex& a = work[static_cast<size_t>(k)];
          Complex& b = work[static_cast<size_t>(k + half)];
          const Complex t{w.re * b.re - w.im * b.im, w.re * b.im + w.im * b.re};
          b = Complex{a.re - t.re, a.im - t.im};
          a = Complex{a.re + t.re, a.im + t.im};
        }
      }
    }
    for (int32_t i = 0; i < size / 2; ++i) {
      const Complex x = work[static_cast<size_t>(i)];
      out[i] = static_cast<int32_t>(std::sqrt(x.re * x.re + x.im * x.im) / analyser.Scale());
    }
  }

  // The transform the last Compute left.
  const std::vector<Complex>& Work() const { return work; }

 private:
  const SpectrumAnalyzer& analyser;
  std::vector<Complex> work;
};

}  // namespace brindlemoor::testing
