#include "dsp/spectrum_analyzer.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define BRINDLEMOOR_X86_VECTORS 1
#endif

namespace brindlemoor {

namespace {

// The vector code runs the first two stages on groups of four elements and later stages on
// pairs of positions, so it needs at least three stages.
constexpr int32_t kMinVectorSize = 8;

#ifdef BRINDLEMOOR_X86_VECTORS
// What the vector kernels read and write, taken from the analyser for one call.
struct VectorPlan {
  int32_t size;
  int32_t stageCount;
  double scale;
  const int32_t* bitReverse;
  const double* input;
  const Complex* stage1;
  const Complex* stage2;
  const double* packedTwiddles;
  double* work;  // size complex values, re then im
};

void Compute128(const VectorPlan& plan, int32_t* out);
__attribute__((target("avx"))) void Compute256(const VectorPlan& plan, int32_t* out);
#endif

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

  // The vector twiddles of stages 3 and up: four doubles for each of the 4 + 8 + ... + N/2 =
  // N - 4 positions.
  vectorTwiddles.reset();
  path = VectorPath::kScalar;
  if (n >= kMinVectorSize) {
    vectorTwiddles = std::make_unique<double[]>(static_cast<size_t>(4 * (n - 4)));
    double* packed = vectorTwiddles.get();
    for (int32_t s = 3; s <= stageCount; ++s) {
      const Complex* table = twiddles[s].get();
      for (int32_t position = 0; position < (int32_t{1} << (s - 1)); position += 2, packed += 8) {
        const Complex w0 = table[position];
        const Complex w1 = table[position + 1];
        const double lanes[8] = {w0.re, w0.re, w1.re, w1.re, -w0.im, w0.im, -w1.im, w1.im};
        std::copy(lanes, lanes + 8, packed);
      }
    }
    // The vector code loads element k from input[bitReverse[k]]: the table must be its own
    // inverse, as every bit reversal is.
    for (int32_t i = 0; i < n; ++i) assert(bitReverse[bitReverse[i]] == i);
    if (!SelectPath(VectorPath::kVector256)) SelectPath(VectorPath::kVector128);
  }
}

void SpectrumAnalyzer::ComputeMagnitudes(int32_t* out) {
  assert(size >= 2 && out != nullptr);
#ifdef BRINDLEMOOR_X86_VECTORS
  if (path != VectorPath::kScalar) {
    const VectorPlan plan{.size = size,
                          .stageCount = stageCount,
                          .scale = scale,
                          .bitReverse = bitReverse.get(),
                          .input = input.get(),
                          .stage1 = twiddles[1].get(),
                          .stage2 = twiddles[2].get(),
                          .packedTwiddles = vectorTwiddles.get(),
                          .work = &work[0].re};
    if (path == VectorPath::kVector256) {
      Compute256(plan, out);
    } else {
      Compute128(plan, out);
    }
    return;
  }
#endif
  ComputeScalar(out);
}

void SpectrumAnalyzer::ComputeScalar(int32_t* out) {
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

bool SpectrumAnalyzer::SelectPath(VectorPath wanted) {
  if (wanted == VectorPath::kScalar) {
    path = wanted;
    return true;
  }
#ifdef BRINDLEMOOR_X86_VECTORS
  if (size < kMinVectorSize) return false;
  if (wanted == VectorPath::kVector256 && !__builtin_cpu_supports("avx")) return false;
  path = wanted;
  return true;
#else
  return false;
#endif
}

#ifdef BRINDLEMOOR_X86_VECTORS

// The vector code. Every butterfly is the scalar one: with the twiddle w and the lower input x,
//   T.re = w.re x.re - w.im x.im,  T.im = w.re x.im + w.im x.re,
// and the pair becomes (a + T, a - T). A 128-bit register holds one complex value (re, im), and
// T is formed as (w.re, w.re) * (x.re, x.im) + (-w.im, w.im) * (x.im, x.re). Lane 0 then adds the
// negated product (-w.im) x.im, which is -(w.im x.im) exactly (rounding is symmetric), and IEEE
// arithmetic defines a - b as a + (-b), so it is the scalar T.re to the bit; lane 1 is T.im
// term for term. No multiply is fused with an add (-ffp-contract=off). A 256-bit register holds
// two neighbouring complex values and runs the butterflies of positions j and j + 1 at once.
//
// Only the order in which butterflies run differs from the scalar loops, and butterflies of one
// stage touch disjoint elements, so any order within a stage gives the same values: the first
// two stages run together on each group of four elements, loaded straight from `input` (bit
// reversal is its own inverse, so element k holds input[bitReverse[k]]); later stages take the
// twiddles two positions at a time, still twiddle-major.
//
// Magnitudes: sqrt and division are correctly rounded in both forms, and the truncating
// conversion is the C++ cast for every value a 16-bit input can produce.

namespace {

inline __m128d Twiddled(__m128d wRe, __m128d wIm, __m128d x) {
  return _mm_add_pd(_mm_mul_pd(wRe, x), _mm_mul_pd(wIm, _mm_shuffle_pd(x, x, 1)));
}

// (w.re, w.re) and (-w.im, w.im) of one twiddle.
inline void SplitTwiddle(const Complex& w, __m128d& wRe, __m128d& wIm) {
  wRe = _mm_set1_pd(w.re);
  wIm = _mm_set_pd(w.im, -w.im);
}

inline void Butterfly128(double* a, double* b, __m128d wRe, __m128d wIm) {
  const __m128d t = Twiddled(wRe, wIm, _mm_loadu_pd(b));
  const __m128d x = _mm_loadu_pd(a);
  _mm_storeu_pd(b, _mm_sub_pd(x, t));
  _mm_storeu_pd(a, _mm_add_pd(x, t));
}

// Stages 1 and 2 on every group of four elements, loaded from the input in bit-reversed order.
inline void FirstTwoStages(int32_t size, const int32_t* bitReverse, const double* input,
                           const Complex* stage1, const Complex* stage2, double* work) {
  __m128d w1Re, w1Im, w20Re, w20Im, w21Re, w21Im;
  SplitTwiddle(stage1[0], w1Re, w1Im);
  SplitTwiddle(stage2[0], w20Re, w20Im);
  SplitTwiddle(stage2[1], w21Re, w21Im);
  for (int32_t k = 0; k < size; k += 4) {
    __m128d v0 = _mm_set_pd(0.0, input[bitReverse[k]]);
    __m128d v1 = _mm_set_pd(0.0, input[bitReverse[k + 1]]);
    __m128d v2 = _mm_set_pd(0.0, input[bitReverse[k + 2]]);
    __m128d v3 = _mm_set_pd(0.0, input[bitReverse[k + 3]]);
    __m128d t = Twiddled(w1Re, w1Im, v1);
    v1 = _mm_sub_pd(v0, t);
    v0 = _mm_add_pd(v0, t);
    t = Twiddled(w1Re, w1Im, v3);
    v3 = _mm_sub_pd(v2, t);
    v2 = _mm_add_pd(v2, t);
    t = Twiddled(w20Re, w20Im, v2);
    v2 = _mm_sub_pd(v0, t);
    v0 = _mm_add_pd(v0, t);
    t = Twiddled(w21Re, w21Im, v3);
    v3 = _mm_sub_pd(v1, t);
    v1 = _mm_add_pd(v1, t);
    double* group = work + 2 * k;
    _mm_storeu_pd(group, v0);
    _mm_storeu_pd(group + 2, v1);
    _mm_storeu_pd(group + 4, v2);
    _mm_storeu_pd(group + 6, v3);
  }
}

void Compute128(const VectorPlan& plan, int32_t* out) {
  const int32_t size = plan.size;
  double* w = plan.work;
  FirstTwoStages(size, plan.bitReverse, plan.input, plan.stage1, plan.stage2, w);
  const double* packed = plan.packedTwiddles;
  for (int32_t s = 3; s <= plan.stageCount; ++s) {
    const int32_t half = int32_t{1} << (s - 1);
    const int32_t span = 2 * half;
    for (int32_t j = 0; j < half; j += 2, packed += 8) {
      const __m128d w0Re = _mm_loadu_pd(packed);
      const __m128d w1Re = _mm_loadu_pd(packed + 2);
      const __m128d w0Im = _mm_loadu_pd(packed + 4);
      const __m128d w1Im = _mm_loadu_pd(packed + 6);
      for (int32_t k = j; k < size; k += span) {
        Butterfly128(w + 2 * k, w + 2 * (k + half), w0Re, w0Im);
        Butterfly128(w + 2 * (k + 1), w + 2 * (k + 1 + half), w1Re, w1Im);
      }
    }
  }

  const __m128d divisor = _mm_set1_pd(plan.scale);
  for (int32_t i = 0; i < size / 2; i += 2) {
    const __m128d x0 = _mm_loadu_pd(w + 2 * i);
    const __m128d x1 = _mm_loadu_pd(w + 2 * i + 2);
    const __m128d s0 = _mm_mul_pd(x0, x0);
    const __m128d s1 = _mm_mul_pd(x1, x1);
    // (re0^2 + im0^2, re1^2 + im1^2)
    const __m128d power = _mm_add_pd(_mm_unpacklo_pd(s0, s1), _mm_unpackhi_pd(s0, s1));
    const __m128d magnitude = _mm_div_pd(_mm_sqrt_pd(power), divisor);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_cvttpd_epi32(magnitude));
  }
}

// Two neighbouring twiddles: (re_j, re_j, re_j+1, re_j+1) and (-im_j, im_j, -im_j+1, im_j+1).
struct Twiddle256 {
  __m256d re;
  __m256d im;
};

__attribute__((target("avx"))) inline Twiddle256 LoadTwiddle256(const double* packed) {
  return {_mm256_loadu_pd(packed), _mm256_loadu_pd(packed + 4)};
}

// T = w x for two neighbouring complex values, lane for lane as in Twiddled.
__attribute__((target("avx"))) inline __m256d Twiddled256(const Twiddle256& w, __m256d x) {
  return _mm256_add_pd(_mm256_mul_pd(w.re, x), _mm256_mul_pd(w.im, _mm256_permute_pd(x, 0b0101)));
}

__attribute__((target("avx"))) void Compute256(const VectorPlan& plan, int32_t* out) {
  const int32_t size = plan.size;
  double* w = plan.work;
  FirstTwoStages(size, plan.bitReverse, plan.input, plan.stage1, plan.stage2, w);

  const double* packed = plan.packedTwiddles;
  for (int32_t s = 3; s <= plan.stageCount; ++s) {
    const int32_t half = int32_t{1} << (s - 1);
    const int32_t span = 2 * half;
    for (int32_t j = 0; j < half; j += 2, packed += 8) {
      // Loaded once per position: the stores below could alias the table for all the compiler
      // knows.
      const Twiddle256 wj = LoadTwiddle256(packed);
      for (int32_t k = j; k < size; k += span) {
        double* a = w + 2 * k;
        double* b = w + 2 * (k + half);
        const __m256d t = Twiddled256(wj, _mm256_loadu_pd(b));
        const __m256d y = _mm256_loadu_pd(a);
        _mm256_storeu_pd(b, _mm256_sub_pd(y, t));
        _mm256_storeu_pd(a, _mm256_add_pd(y, t));
      }
    }
  }

  const __m256d divisor = _mm256_set1_pd(plan.scale);
  for (int32_t i = 0; i < size / 2; i += 4) {
    const __m256d x0 = _mm256_loadu_pd(w + 2 * i);
    const __m256d x1 = _mm256_loadu_pd(w + 2 * i + 4);
    // hadd gives (|x_i|^2, |x_i+2|^2, |x_i+1|^2, |x_i+3|^2).
    const __m256d power = _mm256_hadd_pd(_mm256_mul_pd(x0, x0), _mm256_mul_pd(x1, x1));
    const __m256d magnitude = _mm256_div_pd(_mm256_sqrt_pd(power), divisor);
    const __m128i bins = _mm256_cvttpd_epi32(magnitude);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_shuffle_epi32(bins, _MM_SHUFFLE(3, 1, 2, 0)));
  }
}

}  // namespace

#endif  // BRINDLEMOOR_X86_VECTORS

}  // namespace brindlemoor
