// Tests of SpectrumAnalyzer: worked examples with exact numbers, a bit-for-bit comparison with a
// plain reimplementation of the same operation order, and an accuracy check against a direct DFT.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "dsp/spectrum_analyzer.h"
#include "testing/straightforward_magnitudes.h"

namespace brindlemoor {
namespace {

constexpr int32_t kPoints = 512;
constexpr uint32_t kSeed = 20240613;

std::vector<int32_t> Analyse(SpectrumAnalyzer& analyser, const std::vector<int16_t>& samples) {
  for (int32_t i = 0; i < static_cast<int32_t>(samples.size()); ++i) {
    analyser.SetInput(i, samples[i]);
  }
  std::vector<int32_t> out(samples.size() / 2, -1);
  analyser.ComputeMagnitudes(out.data());
  return out;
}

int32_t ReverseBits(int32_t value, int32_t bits) {
  int32_t reversed = 0;
  for (int32_t b = 0; b < bits; ++b) {
    reversed = (reversed << 1) | ((value >> b) & 1);
  }
  return reversed;
}

// The same transform written as plainly as possible: bits reversed directly, window and twiddles
// evaluated where they are used, but every double operation in the same order as the analyser.
std::vector<int32_t> ReferenceMagnitudes(const std::vector<int16_t>& samples,
                                         WindowType windowType) {
  const int32_t n = static_cast<int32_t>(samples.size());
  const double pi = 2.0 * std::asin(1.0);
  int32_t bits = 0;
  while ((1 << bits) < n) {
    ++bits;
  }
  std::vector<double> re(n);
  std::vector<double> im(n, 0.0);
  for (int32_t i = 0; i < n; ++i) {
    const double c1 = std::cos(2.0 * pi * i / n);
    double w = 1.0;
    if (windowType == 1) w = 0.5 - 0.5 * c1;
    if (windowType == 2) w = 0.54 - 0.46 * c1;
    if (windowType == 3) w = 0.42 - 0.5 * c1 + 0.08 * std::cos(4.0 * pi * i / n);
    re[ReverseBits(i, bits)] = samples[i] * w;
  }
  for (int32_t m = 2; m <= n; m *= 2) {
    const int32_t h = m / 2;
    for (int32_t j = 0; j < h; ++j) {
      const double wr = std::cos(2.0 * pi * j / m);
      const double wi = -std::sin(2.0 * pi * j / m);
      for (int32_t k = j; k < n; k += m) {
        const double tr = wr * re[k + h] - wi * im[k + h];
        const double ti = wr * im[k + h] + wi * re[k + h];
        re[k + h] = re[k] - tr;
        im[k + h] = im[k] - ti;
        re[k] = re[k] + tr;
        im[k] = im[k] + ti;
      }
    }
  }
  std::vector<int32_t> out(n / 2);
  for (int32_t i = 0; i < n / 2; ++i) {
    out[i] = static_cast<int32_t>(std::sqrt(re[i] * re[i] + im[i] * im[i]) / std::sqrt(n));
  }
  return out;
}

std::vector<int16_t> RandomSamples(std::mt19937& rng, int32_t n, int16_t amplitude) {
  std::uniform_int_distribution<int> dist(-amplitude, amplitude);
  std::vector<int16_t> samples(n);
  for (int16_t& s : samples) {
    s = static_cast<int16_t>(dist(rng));
  }
  return samples;
}

TEST(SpectrumAnalyzerTables, GeometryOfWorkedSizes) {
  struct Case {
    int32_t size;
    int32_t stageCount;
    double scale;
    std::vector<int32_t> bitReversePrefix;
  };
  const Case cases[] = {
      {2, 1, 1.4142135623730951, {0, 1}},
      {8, 3, 2.8284271247461903, {0, 4, 2, 6, 1, 5, 3, 7}},
      {kPoints, 9, 22.627416997969522, {0, 256, 128, 384}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    SpectrumAnalyzer analyser;
    analyser.Initialize(c.size, kWindowRectangular);
    EXPECT_EQ(analyser.Size(), c.size);
    EXPECT_EQ(analyser.StageCount(), c.stageCount);
    EXPECT_EQ(analyser.Scale(), c.scale);
    const std::vector<int32_t> prefix(analyser.BitReverse(),
                                      analyser.BitReverse() + c.bitReversePrefix.size());
    EXPECT_EQ(prefix, c.bitReversePrefix);
    EXPECT_EQ(analyser.BitReverse()[c.size - 1], c.size - 1);
  }
}

TEST(SpectrumAnalyzerTables, BitReverseIsTheBitReversalForEverySize) {
  for (int32_t bits = 1; bits <= 12; ++bits) {
    const int32_t n = 1 << bits;
    SpectrumAnalyzer analyser;
    analyser.Initialize(n, kWindowRectangular);
    for (int32_t i = 0; i < n; ++i) {
      ASSERT_EQ(analyser.BitReverse()[i], ReverseBits(i, bits)) << "n=" << n << " i=" << i;
    }
  }
}

TEST(SpectrumAnalyzerTables, EveryStageStoresAllEntriesOfItsRootOfUnity) {
  SpectrumAnalyzer analyser;
  analyser.Initialize(kPoints, kWindowRectangular);
  // Entry j of stage s is e^(-2 pi i j / 2^s): periodic in 2^s, so the entries past the half the
  // butterflies read must be stored too.
  for (int32_t s = 1; s <= analyser.StageCount(); ++s) {
    const Complex* table = analyser.Twiddles(s);
    EXPECT_EQ(table[0].re, 1.0);
    EXPECT_EQ(table[0].im, -0.0);
    const int32_t m = 1 << s;
    EXPECT_NEAR(table[kPoints - 1].re, std::cos(2.0 * std::numbers::pi * (kPoints - 1) / m), 1e-12);
    EXPECT_NEAR(table[kPoints - 1].im, -std::sin(2.0 * std::numbers::pi * (kPoints - 1) / m),
                1e-12);
  }
  EXPECT_EQ(analyser.Twiddles(1)[1].re, -1.0);  // cos(pi)
}

TEST(SpectrumAnalyzerWindow, CoefficientsAndStoredInputs) {
  struct Case {
    WindowType type;
    int32_t index;
    double coefficient;
  };
  const Case cases[] = {
      {kWindowRectangular, 0, 1.0},
      {kWindowRectangular, 137, 1.0},
      {4, 0, 1.0},
      {4, 511, 1.0},
      {-1, 0, 1.0},
      {-1, 300, 1.0},
      {kWindowHann, 0, 0.0},
      {kWindowHann, kPoints / 2, 1.0},
      {kWindowHamming, 0, 0.54 - 0.46},
      {kWindowHamming, kPoints / 2, 1.0},
      {kWindowBlackman, kPoints / 2, 0.42 + 0.5 + 0.08},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << c.type << " index " << c.index);
    SpectrumAnalyzer analyser;
    analyser.Initialize(kPoints, c.type);
    EXPECT_EQ(analyser.Window()[c.index], c.coefficient);
    analyser.SetInput(c.index, -1234);
    EXPECT_EQ(analyser.Input()[c.index], -1234.0 * c.coefficient);
  }
  SpectrumAnalyzer blackman;
  blackman.Initialize(kPoints, kWindowBlackman);
  EXPECT_NEAR(blackman.Window()[0], 0.0, 1e-15);
}

TEST(SpectrumAnalyzerMagnitudes, WorkedSignals) {
  struct Case {
    std::string name;
    std::function<int16_t(int32_t)> sample;
    std::map<int32_t, int32_t> nonzeroBins;
  };
  const Case cases[] = {
      // 512 / sqrt(512) = 22.63.
      {"constant one", [](int32_t) { return int16_t{1}; }, {{0, 22}}},
      // Cosine at a quarter of the sample rate: 127 * sqrt(512) / 2 = 1436.84.
      {"quarter-rate cosine",
       [](int32_t i) {
         return static_cast<int16_t>(i % 4 == 0 ? 127 : i % 4 == 2 ? -127 : 0);
       },
       {{128, 1436}}},
      // a, a, -a, -a: |X[128]| = 256 * sqrt(2) * a, exactly 16a after dividing by sqrt(512), but
      // the rounded quotient lies just below 48 for a = 3 and truncates to 47. For a = 9 it is
      // exactly 144, which multiplying by a rounded 1 / sqrt(512) would turn into 143.
      {"quarter-rate square 3",
       [](int32_t i) { return static_cast<int16_t>(i % 4 < 2 ? 3 : -3); },
       {{128, 47}}},
      {"quarter-rate square 9",
       [](int32_t i) { return static_cast<int16_t>(i % 4 < 2 ? 9 : -9); },
       {{128, 144}}},
      // All the energy sits in the Nyquist bin, which is not reported.
      {"alternating 100", [](int32_t i) { return static_cast<int16_t>(i % 2 ? -100 : 100); }, {}},
      {"silence", [](int32_t) { return int16_t{0}; }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int16_t> samples(kPoints);
    for (int32_t i = 0; i < kPoints; ++i) {
      samples[i] = c.sample(i);
    }
    SpectrumAnalyzer analyser;
    analyser.Initialize(kPoints, kWindowRectangular);
    const std::vector<int32_t> out = Analyse(analyser, samples);
    for (int32_t k = 0; k < kPoints / 2; ++k) {
      const auto it = c.nonzeroBins.find(k);
      EXPECT_EQ(out[k], it == c.nonzeroBins.end() ? 0 : it->second) << "bin " << k;
    }
  }
}

TEST(SpectrumAnalyzerMagnitudes, InputsSurviveAnalysisAndKeepTheirValue) {
  std::mt19937 rng(kSeed);
  const std::vector<int16_t> samples = RandomSamples(rng, kPoints, 127);
  SpectrumAnalyzer analyser;
  analyser.Initialize(kPoints, kWindowHann);
  const std::vector<int32_t> first = Analyse(analyser, samples);
  const std::vector<double> inputs(analyser.Input(), analyser.Input() + kPoints);

  std::vector<int32_t> again(kPoints / 2);
  analyser.ComputeMagnitudes(again.data());
  EXPECT_EQ(again, first);
  EXPECT_EQ(std::vector<double>(analyser.Input(), analyser.Input() + kPoints), inputs);

  // Setting only the first half leaves the second half as it was.
  std::vector<int16_t> changed = samples;
  for (int32_t i = 0; i < kPoints / 2; ++i) {
    changed[i] = static_cast<int16_t>(-samples[i]);
    analyser.SetInput(i, changed[i]);
  }
  analyser.ComputeMagnitudes(again.data());
  EXPECT_EQ(again, ReferenceMagnitudes(changed, kWindowHann));
}

TEST(SpectrumAnalyzerMagnitudes, ReinitialisationStartsAfresh) {
  std::mt19937 rng(kSeed);
  SpectrumAnalyzer analyser;
  analyser.Initialize(kPoints, kWindowBlackman);
  Analyse(analyser, RandomSamples(rng, kPoints, 3000));

  const int32_t sizes[] = {8, 1024, kPoints};
  for (const int32_t n : sizes) {
    SCOPED_TRACE(n);
    analyser.Initialize(n, kWindowHamming);
    EXPECT_EQ(analyser.Size(), n);
    for (int32_t i = 0; i < n; ++i) {
      ASSERT_EQ(analyser.Input()[i], 0.0);
    }
    const std::vector<int16_t> samples = RandomSamples(rng, n, 3000);
    EXPECT_EQ(Analyse(analyser, samples), ReferenceMagnitudes(samples, kWindowHamming));
  }
}

// Bit-for-bit agreement with the plain reimplementation over seeded random inputs: 6 sizes x 5
// window types x 10 signals, half of them at the receiver's +-127, half at full scale.
TEST(SpectrumAnalyzerMagnitudes, MatchesPlainImplementationBitForBit) {
  std::mt19937 rng(kSeed);
  const int32_t sizes[] = {2, 4, 16, 128, kPoints, 2048};
  const WindowType types[] = {kWindowRectangular, kWindowHann, kWindowHamming, kWindowBlackman, 7};
  int32_t compared = 0;
  for (const int32_t n : sizes) {
    for (const WindowType type : types) {
      SpectrumAnalyzer analyser;
      analyser.Initialize(n, type);
      for (int32_t trial = 0; trial < 10; ++trial) {
        const int16_t amplitude = trial % 2 ? int16_t{32767} : int16_t{127};
        const std::vector<int16_t> samples = RandomSamples(rng, n, amplitude);
        ASSERT_EQ(Analyse(analyser, samples), ReferenceMagnitudes(samples, type))
            << "n=" << n << " window=" << type << " trial=" << trial;
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 300);
}

// Every vector path against the straightforward order, comparing the whole double transform
// bit for bit (not just the truncated bins, which would hide a last-bit difference): random
// inputs at the receiver's +-127 and at full scale, symbol-like repeated periods, and inputs
// that probe signed zeros and extremes.
class SpectrumAnalyzerPathTest : public ::testing::TestWithParam<VectorPath> {};

TEST_P(SpectrumAnalyzerPathTest, TransformEqualsStraightforwardOrderBitForBit) {
  const VectorPath wanted = GetParam();
  std::mt19937 rng(kSeed + 2);
  const int32_t sizes[] = {8, 16, 64, kPoints, 4096};
  const WindowType types[] = {kWindowRectangular, kWindowHann, kWindowBlackman};
  const std::vector<std::function<int16_t(int32_t)>> shapes = {
      [](int32_t) { return int16_t{0}; },
      [](int32_t) { return int16_t{-32768}; },
      [](int32_t) { return int16_t{32767}; },
      [](int32_t i) { return static_cast<int16_t>(i == 0 ? 1 : 0); },
      [](int32_t i) { return static_cast<int16_t>(i % 2 ? -127 : 127); },
  };
  int32_t compared = 0;
  for (const int32_t n : sizes) {
    for (const WindowType type : types) {
      SpectrumAnalyzer analyser;
      analyser.Initialize(n, type);
      if (!analyser.SelectPath(wanted)) GTEST_SKIP() << "this processor cannot run the path";
      ASSERT_EQ(analyser.Path(), wanted);
      testing::StraightforwardMagnitudes plain(analyser);
      std::vector<int32_t> ours(n / 2);
      std::vector<int32_t> theirs(n / 2);
      const int32_t trials = n == kPoints ? 400 : 40;
      for (int32_t trial = 0; trial < trials + static_cast<int32_t>(shapes.size()); ++trial) {
        std::vector<int16_t> samples;
        if (trial < static_cast<int32_t>(shapes.size())) {
          for (int32_t i = 0; i < n; ++i) samples.push_back(shapes[trial](i));
        } else if (trial % 3 == 0) {
          const std::vector<int16_t> period = RandomSamples(rng, 45, 127);
          for (int32_t i = 0; i < n; ++i) samples.push_back(period[i % 45]);
        } else {
          samples = RandomSamples(rng, n, trial % 3 == 1 ? int16_t{127} : int16_t{32767});
        }
        for (int32_t i = 0; i < n; ++i) analyser.SetInput(i, samples[i]);
        analyser.ComputeMagnitudes(ours.data());
        plain.Compute(theirs.data());
        ASSERT_EQ(std::memcmp(analyser.Work(), plain.Work().data(), n * sizeof(Complex)), 0)
            << "n=" << n << " window=" << type << " trial=" << trial;
        ASSERT_EQ(ours, theirs) << "n=" << n << " window=" << type << " trial=" << trial;
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 3 * (4 * 40 + 400 + 5 * 5));
}

std::string PathName(const ::testing::TestParamInfo<VectorPath>& info) {
  switch (info.param) {
    case VectorPath::kVector128:
      return "Vector128";
    case VectorPath::kVector256:
      return "Vector256";
    default:
      return "Scalar";
  }
}

INSTANTIATE_TEST_SUITE_P(AllPaths, SpectrumAnalyzerPathTest,
                         ::testing::Values(VectorPath::kScalar, VectorPath::kVector128,
                                           VectorPath::kVector256),
                         PathName);

TEST(SpectrumAnalyzerPaths, InitializePicksAVectorPathWhereOneRuns) {
  SpectrumAnalyzer analyser;
  analyser.Initialize(4, kWindowRectangular);
  EXPECT_EQ(analyser.Path(), VectorPath::kScalar);  // too small for the vector code
  EXPECT_FALSE(analyser.SelectPath(VectorPath::kVector128));
  analyser.Initialize(kPoints, kWindowRectangular);
#if defined(__x86_64__)
  EXPECT_NE(analyser.Path(), VectorPath::kScalar);
#endif
  EXPECT_TRUE(analyser.SelectPath(VectorPath::kScalar));
  EXPECT_EQ(analyser.Path(), VectorPath::kScalar);
}

TEST(SpectrumAnalyzerMagnitudes, AgreesWithDirectDftWithinOne) {
  std::mt19937 rng(kSeed + 1);
  const WindowType types[] = {kWindowRectangular, kWindowHann, kWindowHamming, kWindowBlackman};
  for (const WindowType type : types) {
    SpectrumAnalyzer analyser;
    analyser.Initialize(kPoints, type);
    for (int32_t trial = 0; trial < 3; ++trial) {
      const std::vector<int16_t> samples = RandomSamples(rng, kPoints, 32767);
      const std::vector<int32_t> out = Analyse(analyser, samples);
      for (int32_t k = 0; k < kPoints / 2; ++k) {
        long double re = 0.0L;
        long double im = 0.0L;
        for (int32_t i = 0; i < kPoints; ++i) {
          const long double x = samples[i] * static_cast<long double>(analyser.Window()[i]);
          // Reduce n*k modulo N first so the angle stays small and exact.
          const long double angle =
              2.0L * std::numbers::pi_v<long double> * ((i * k) % kPoints) / kPoints;
          re += x * std::cos(angle);
          im -= x * std::sin(angle);
        }
        const double exact = static_cast<double>(std::sqrt(re * re + im * im) / std::sqrt(512.0L));
        ASSERT_NEAR(out[k], exact, 1.0) << "window=" << type << " bin " << k;
      }
    }
  }
}

TEST(SpectrumAnalyzerDeathTest, MisuseIsAsserted) {
#ifdef NDEBUG
  GTEST_SKIP() << "assertions are compiled out";
#else
  const int32_t badSizes[] = {0, -8, 1, 3, 12, 513};
  for (const int32_t n : badSizes) {
    SpectrumAnalyzer analyser;
    EXPECT_DEATH(analyser.Initialize(n, kWindowRectangular), "") << n;
  }
  SpectrumAnalyzer analyser;
  analyser.Initialize(8, kWindowRectangular);
  EXPECT_DEATH(analyser.SetInput(-1, 0), "");
  EXPECT_DEATH(analyser.SetInput(8, 0), "");
  SpectrumAnalyzer uninitialised;
  EXPECT_DEATH(uninitialised.SetInput(0, 0), "");
#endif
}

}  // namespace
}  // namespace brindlemoor
