// SpectrumAnalyzer: a radix-2 decimation-in-time FFT of N real samples that reports the N/2
// integer magnitudes |X[k]| / sqrt(N), truncated toward zero. Window, bit-reversal table and the
// per-stage twiddle tables are computed once in Initialize; each analysis then only multiplies,
// adds and takes N/2 square roots. The analyser owns every table; the output array belongs to the
// caller. Used from one thread only.
//
// The order of every double operation is fixed (results are compared bit for bit), so the
// butterflies run twiddle-major within each stage exactly as written in ComputeMagnitudes.
#pragma once

#include <cassert>
#include <cstdint>
#include <memory>

namespace brindlemoor {

// 1 Hann, 2 Hamming, 3 Blackman, any other value rectangular. The cosines use the denominator N
// (a periodic window), not N - 1.
using WindowType = int32_t;
inline constexpr WindowType kWindowRectangular = 0;
inline constexpr WindowType kWindowHann = 1;
inline constexpr WindowType kWindowHamming = 2;
inline constexpr WindowType kWindowBlackman = 3;

struct Complex {
  double re;
  double im;
};

class SpectrumAnalyzer {
 public:
  // `size` must be a power of two of at least 2 (asserted). May be called again: the tables of
  // the previous size are released and every field, `input` included, is set afresh.
  void Initialize(int32_t size, WindowType windowType);
  // input[index] := sample * window[index]. index in 0 .. size-1 (asserted).
  void SetInput(int32_t index, int16_t sample);
  // Writes out[0 .. size/2 - 1], the magnitudes of bins 0 .. N/2 - 1 (Nyquist not reported).
  // Reads `input`, which it leaves unchanged, so inputs not set again keep their value.
  // Allocates nothing.
  void ComputeMagnitudes(int32_t* out);

  int32_t Size() const { return size; }
  int32_t StageCount() const { return stageCount; }
  double Scale() const { return scale; }
  const int32_t* BitReverse() const { return bitReverse.get(); }
  const double* Window() const { return window.get(); }
  const double* Input() const { return input.get(); }
  // Stage s in 1 .. StageCount(): N entries, entry j = e^(-2*pi*i*j / 2^s).
  const Complex* Twiddles(int32_t stage) const {
    assert(stage >= 1 && stage <= stageCount);
    return twiddles[stage].get();
  }

 private:
  int32_t size = 0;
  int32_t stageCount = 0;  // log2 N
  double scale = 0.0;      // sqrt(N)
  std::unique_ptr<int32_t[]> bitReverse;
  std::unique_ptr<Complex[]> work;
  // stageCount + 1 tables; entry 0 is unused so that entry s belongs to stage s.
  std::unique_ptr<std::unique_ptr<Complex[]>[]> twiddles;
  std::unique_ptr<double[]> input;
  std::unique_ptr<double[]> window;
};

}  // namespace brindlemoor
