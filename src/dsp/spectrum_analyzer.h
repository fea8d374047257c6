// SpectrumAnalyzer: a radix-2 decimation-in-time FFT of N real samples that reports the N/2
// integer magnitudes |X[k]| / sqrt(N), truncated toward zero. Window, bit-reversal table and the
// per-stage twiddle tables are computed once in Initialize; each analysis then only multiplies,
// adds and takes N/2 square roots. The analyser owns every table; the output array belongs to the
// caller. Used from one thread only.
//
// Every double operation and its operands are fixed (results are compared bit for bit): the
// butterflies are those of the twiddle-major radix-2 order, and where the x86 vector units run
// them the lanes compute exactly the scalar operations (see spectrum_analyzer.cpp).
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

// Which code runs the butterflies and magnitudes: the scalar loops, or x86 vectors of 128 or
// 256 bits. All give the same bits; they differ only in speed.
enum class VectorPath : uint8_t { kScalar, kVector128, kVector256 };

class SpectrumAnalyzer {
 public:
  // `size` must be a power of two of at least 2 (asserted). May be called again: the tables of
  // the previous size are released and every field, `input` included, is set afresh. Picks the
  // widest vector code the processor runs.
  void Initialize(int32_t size, WindowType windowType);
  // input[index] := sample * window[index]. index in 0 .. size-1 (asserted). Inline: the
  // receive tick calls it 512 times per symbol.
  void SetInput(int32_t index, int16_t sample) {
    assert(index >= 0 && index < size);
    input[index] = static_cast<double>(sample) * window[index];
  }
  // SetInput for the `count` samples from `first` on (the run asserted within 0 .. size-1), in
  // one loop.
  void SetInputs(int32_t first, const int16_t* samples, int32_t count) {
    assert(first >= 0 && count >= 0 && first + count <= size);
    double* to = input.get() + first;
    const double* weights = window.get() + first;
    for (int32_t i = 0; i < count; ++i) to[i] = static_cast<double>(samples[i]) * weights[i];
  }
  // Writes out[0 .. size/2 - 1], the magnitudes of bins 0 .. N/2 - 1 (Nyquist not reported).
  // Reads `input`, which it leaves unchanged, so inputs not set again keep their value.
  // Allocates nothing.
  void ComputeMagnitudes(int32_t* out);

  // The path Initialize picked, and a way to pick another (for tests and benchmarks). False,
  // changing nothing, when this processor or this size cannot run `wanted` (vectors need x86
  // and N >= 8; 256 bits need AVX).
  VectorPath Path() const { return path; }
  bool SelectPath(VectorPath wanted);

  int32_t Size() const { return size; }
  int32_t StageCount() const { return stageCount; }
  double Scale() const { return scale; }
  const int32_t* BitReverse() const { return bitReverse.get(); }
  const double* Window() const { return window.get(); }
  const double* Input() const { return input.get(); }
  // The unnormalised transform left by the last ComputeMagnitudes (N complex values).
  const Complex* Work() const { return work.get(); }
  // Stage s in 1 .. StageCount(): N entries, entry j = e^(-2*pi*i*j / 2^s).
  const Complex* Twiddles(int32_t stage) const {
    assert(stage >= 1 && stage <= stageCount);
    return twiddles[stage].get();
  }

 private:
  void ComputeScalar(int32_t* out);

  int32_t size = 0;
  int32_t stageCount = 0;  // log2 N
  double scale = 0.0;      // sqrt(N)
  std::unique_ptr<int32_t[]> bitReverse;
  std::unique_ptr<Complex[]> work;
  // stageCount + 1 tables; entry 0 is unused so that entry s belongs to stage s.
  std::unique_ptr<std::unique_ptr<Complex[]>[]> twiddles;
  std::unique_ptr<double[]> input;
  std::unique_ptr<double[]> window;
  // The twiddles of stages 3 .. stageCount laid out for the vector butterflies: for each pair
  // of positions j, j + 1 the eight doubles re_j, re_j, re_j+1, re_j+1, -im_j, im_j, -im_j+1,
  // im_j+1, copied (and negated, which is exact) from `twiddles`. Empty when unused.
  std::unique_ptr<double[]> vectorTwiddles;
  VectorPath path = VectorPath::kScalar;
};

}  // namespace brindlemoor
