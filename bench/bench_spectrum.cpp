// The analyser's 512-point magnitudes against the same work done three other ways, in one
// binary and one run: the straightforward operation order (the baseline the analyser must equal
// bit for bit), FFTW's real-input transform plus the same magnitudes, and the whole per-symbol
// cost of the receive tick (512 SetInput calls and the analysis). Every variant's result is
// checked before it is timed.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "dsp/spectrum_analyzer.h"
#include "receiver/framing.h"
#include "testing/straightforward_magnitudes.h"

namespace brindlemoor {
namespace {

constexpr uint32_t kSeed = 7031;
constexpr int kSignals = 64;  // inputs cycled through, so no run sees the same input twice in a row

// Signals like the receive tick's: a 45-sample stretch scaled to +-127 and repeated to 512.
std::vector<std::vector<int16_t>> SymbolLikeInputs() {
  std::mt19937 rng(kSeed);
  std::uniform_int_distribution<int> sample(-kNormalisedPeak, kNormalisedPeak);
  std::vector<std::vector<int16_t>> signals(kSignals, std::vector<int16_t>(kSymbolLength));
  for (auto& signal : signals) {
    int16_t period[kSymbolPeriod];
    for (int16_t& s : period) s = static_cast<int16_t>(sample(rng));
    for (int32_t i = 0; i < kSymbolLength; ++i) signal[i] = period[i % kSymbolPeriod];
  }
  return signals;
}

void Load(SpectrumAnalyzer& analyser, const std::vector<int16_t>& signal) {
  for (int32_t i = 0; i < kSymbolLength; ++i) analyser.SetInput(i, signal[i]);
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "bench_spectrum: %s\n", what);
  std::exit(1);
}

// FFTW's fastest plan for one real 512-point transform, with the analyser's magnitude rule.
class FftwMagnitudes {
 public:
  FftwMagnitudes()
      : in(fftw_alloc_real(kSymbolLength)),
        out(fftw_alloc_complex(kSpectrumBins + 1)),
        plan(fftw_plan_dft_r2c_1d(kSymbolLength, in, out, FFTW_MEASURE)),
        scale(std::sqrt(static_cast<double>(kSymbolLength))) {}
  ~FftwMagnitudes() {
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
  }
  void SetInput(const std::vector<int16_t>& signal) {
    for (int32_t i = 0; i < kSymbolLength; ++i) in[i] = signal[i];
  }
  void Compute(int32_t* bins) {
    fftw_execute(plan);
    for (int32_t k = 0; k < kSpectrumBins; ++k) {
      const double re = out[k][0];
      const double im = out[k][1];
      bins[k] = static_cast<int32_t>(std::sqrt(re * re + im * im) / scale);
    }
  }

 private:
  double* in;
  fftw_complex* out;
  fftw_plan plan;
  double scale;
};

// Before anything is timed: the analyser equals the straightforward order bit for bit and FFTW
// within one unit (a magnitude within rounding of an integer may truncate either way).
void CheckResults() {
  const auto signals = SymbolLikeInputs();
  SpectrumAnalyzer analyser;
  analyser.Initialize(kSymbolLength, kWindowRectangular);
  testing::StraightforwardMagnitudes plain(analyser);
  FftwMagnitudes fftw;
  int32_t ours[kSpectrumBins];
  int32_t reference[kSpectrumBins];
  int32_t theirs[kSpectrumBins];
  for (const auto& signal : signals) {
    Load(analyser, signal);
    analyser.ComputeMagnitudes(ours);
    plain.Compute(reference);
    fftw.SetInput(signal);
    fftw.Compute(theirs);
    for (int32_t k = 0; k < kSpectrumBins; ++k) {
      if (ours[k] != reference[k]) Fail("ComputeMagnitudes differs from the straightforward order");
      if (std::abs(ours[k] - theirs[k]) > 1) Fail("ComputeMagnitudes disagrees with FFTW");
    }
  }
}

// The transform's cost does not depend on the data (no branches on values, no subnormals), so
// each variant analyses one fixed input over and over; the input is loaded before timing.
// Argument: the vector path (0 scalar, 1 128-bit, 2 256-bit); the default is what Initialize
// picks on this processor.
void BM_ComputeMagnitudes(benchmark::State& state) {
  SpectrumAnalyzer analyser;
  analyser.Initialize(kSymbolLength, kWindowRectangular);
  if (state.range(0) >= 0 && !analyser.SelectPath(static_cast<VectorPath>(state.range(0)))) {
    state.SkipWithError("this processor cannot run the path");
    return;
  }
  Load(analyser, SymbolLikeInputs().front());
  int32_t bins[kSpectrumBins];
  for (auto _ : state) {
    analyser.ComputeMagnitudes(bins);
    benchmark::DoNotOptimize(bins);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_StraightforwardOrder(benchmark::State& state) {
  SpectrumAnalyzer analyser;
  analyser.Initialize(kSymbolLength, kWindowRectangular);
  Load(analyser, SymbolLikeInputs().front());
  testing::StraightforwardMagnitudes plain(analyser);
  int32_t bins[kSpectrumBins];
  for (auto _ : state) {
    plain.Compute(bins);
    benchmark::DoNotOptimize(bins);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_FftwRealToComplex(benchmark::State& state) {
  FftwMagnitudes fftw;
  fftw.SetInput(SymbolLikeInputs().front());
  int32_t bins[kSpectrumBins];
  for (auto _ : state) {
    fftw.Compute(bins);
    benchmark::DoNotOptimize(bins);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

// What the receive tick pays per symbol: 512 inputs set and one analysis.
void BM_SetInputAndComputeMagnitudes(benchmark::State& state) {
  const auto signals = SymbolLikeInputs();
  SpectrumAnalyzer analyser;
  analyser.Initialize(kSymbolLength, kWindowRectangular);
  int32_t bins[kSpectrumBins];
  int next = 0;
  for (auto _ : state) {
    Load(analyser, signals[next++ % kSignals]);
    analyser.ComputeMagnitudes(bins);
    benchmark::DoNotOptimize(bins);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_ComputeMagnitudes)->Arg(-1)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_StraightforwardOrder);
BENCHMARK(BM_FftwRealToComplex);
BENCHMARK(BM_SetInputAndComputeMagnitudes);

}  // namespace
}  // namespace brindlemoor

int main(int argc, char** argv) {
  brindlemoor::CheckResults();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
