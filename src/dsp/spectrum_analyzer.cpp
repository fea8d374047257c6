#include "dsp/spectrum_analyzer.h"

#include <cmath>

namespace brindlemoor {

namespace {

// Periodic windows over N points: the cosine argument runs over a full turn at i = N.
double WindowCoefficient(WindowType windowType, double pi, int32_t i, int32_t n) {
  const double di = static_cast<double>(i);
  const double dn = static_cast<double>(n);
  switch (windowType) {
    case kWindowHann:
      return 0.5 - 0.5 * std::cos(2.0 * pi * di / dn);
    case kWindowHamming:
      return 0.54 - 0.46 * std::cos(2.0 * pi * di / dn);
    case kWindowBlackman:
      return 0.42 - 0.5 * std::cos(2.0 * pi * di / dn) + 0.08 * std::cos(4.0 * pi * di / dn);
    default:
      return 1.0;
  }
}

}  // namespace

void SpectrumAnalyzer::Initialize(int32_t n, WindowType windowType) {
  // Smaller sizes never finish counting stages; other sizes would make the butterflies run past
  // the end of `work`.
  assert(n >= 2 && (n & (n - 1)) == 0);

  const double pi = 2.0 * std::asin(1.0);
  size = n;

  // make_unique value-initialises: every input starts at 0.0.
  input = std::make_unique<double[]>(n);
  window = std::make_unique<double[]>(n);

  // The bit length of N - 1, which is log2 N for a power of two.
  stageCount = 0;
  scale = std::sqrt(static_cast<double>(n));
  for (int32_t v = n - 1; v != 0; v >>= 1) {
    ++stageCount;
  }

  bitReverse = std::make_unique<int32_t[]>(n);
  work = std::make_unique<Complex[]>(n);
  twiddles = std::make_unique<std::unique_ptr<Complex[]>[]>(stageCount + 1);

  // Every stage stores all N entries although stage s reads only the first 2^(s-1). The angle is
  // evaluated as ((2 * pi) * j) / m, in that order.
  for (int32_t s = 1; s <= stageCount; ++s) {
    const double m = static_cast<double>(int32_t{1} << s);
    std::unique_ptr<Complex[]> table = std::make_unique<Complex[]>(n);
    for (int32_t j = 0; j < n; ++j) {
      const double angle = 2.0 * pi * static_cast<double>(j) / m;
      table[j] = Complex{std::cos(angle), -std::sin(angle)};
    }
    twiddles[s] = std::move(table);
  }

  for (int32_t i = 0; i < n; ++i) {
    window[i] = WindowCoefficient(windowType, pi, i, n);
  }

  // A counter that increments from its top bit down: adding N/2 with the carry running toward
  // the low bits yields the bit-reversed sequence 0, N/2, N/4, 3N/4, ... The counter stops at
  // N - 2; the last entry, all ones, is its own reversal.
  int32_t j = 0;
  for (int32_t i = 0; i < n - 1; ++i) {
    bitReverse[i] = j;
    int32_t k = n / 2;
    while (j >= k) {
      j -= k;
      k /= 2;
    }
    j += k;
  }
  bitReverse[n - 1] = n - 1;
}

void SpectrumAnalyzer::SetInput(int32_t index, int16_t sample) {
  assert(index >= 0 && index < size);
  input[index] = static_cast<double>(sample) * window[index];
}

void SpectrumAnalyzer::ComputeMagnitudes(int32_t* out) {
  assert(size >= 2 && out != nullptr);

  for (int32_t i = 0; i < size; ++i) {
    work[bitReverse[i]] = Complex{input[i], 0.0};
  }

  // Stage s combines pairs of transforms of length n = 2^(s-1) into transforms of length m = 2n.
  // The twiddle loop is outermost: each twiddle is loaded once per stage and applied to every
  // butterfly at its position.
  for (int32_t s = 1; s <= stageCount; ++s) {
    const int32_t half = int32_t{1} << (s - 1);
    const int32_t span = 2 * half;
    const Complex* table = twiddles[s].get();
    for (int32_t j = 0; j < half; ++j) {
      const Complex w = table[j];
      for (int32_t k = j; k < size; k += span) {
        const Complex x = work[k + half];
        const Complex t{w.re * x.re - w.im * x.im, w.re * x.im + w.im * x.re};
        work[k + half] = Complex{work[k].re - t.re, work[k].im - t.im};
        work[k] = Complex{work[k].re + t.re, work[k].im + t.im};
      }
    }
  }

  // Only bins 0 .. N/2 - 1: for real input the upper half mirrors the lower.
  const int32_t bins = size / 2;
  for (int32_t i = 0; i < bins; ++i) {
    const double re = work[i].re;
    const double im = work[i].im;
    out[i] = static_cast<int32_t>(std::sqrt(re * re + im * im) / scale);
  }
}

}  // namespace brindlemoor
