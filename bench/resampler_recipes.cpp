// resampler-recipes: measures libsoxr recipes for bringing recordings to the capture rate. For
// each recipe and source rate it prints the passband's worst deviation from 0 dB over 50 Hz to
// PASSBAND_HZ, the strongest alias that a tone above 5525 Hz leaves in the output (all of the
// output is 0 to 5512 Hz, so whatever power comes out is alias), and the CPU time to convert an
// hour of mono float input. The receiver's recipe is the cheapest one that keeps the passband
// within 0.1 dB to 4.5 kHz and every alias 90 dB down.
//
//   resampler-recipes [PASSBAND_HZ]      (default 4500)

#include <soxr.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kOutputRate = 11025.0;
constexpr double kToneSeconds = 1.0;
constexpr double kSettleSeconds = 0.2;  // skipped at each end of a tone's output
constexpr double kAliasFrom = 5525.0;

struct Recipe {
  const char* name;
  soxr_quality_spec_t quality;
};

soxr_quality_spec_t Custom(double precision, double passbandEnd, double stopbandBegin) {
  soxr_quality_spec_t quality = soxr_quality_spec(SOXR_16_BITQ, 0);  // rolloff <= 0.01 dB
  quality.precision = precision;
  quality.passband_end = passbandEnd;
  quality.stopband_begin = stopbandBegin;
  return quality;
}

std::vector<float> Resample(const std::vector<float>& in, double rate, const Recipe& recipe) {
  std::vector<float> out(static_cast<std::size_t>(in.size() * kOutputRate / rate) + 64);
  std::size_t done = 0;
  soxr_error_t error = soxr_oneshot(rate, kOutputRate, 1, in.data(), in.size(), nullptr, out.data(),
                                    out.size(), &done, nullptr, &recipe.quality, nullptr);
  if (error) {
    std::fprintf(stderr, "resampler-recipes: %s\n", error);
    std::exit(1);
  }
  out.resize(done);
  return out;
}

std::vector<float> Tone(double frequency, double rate) {
  std::vector<float> tone(static_cast<std::size_t>(kToneSeconds * rate));
  for (std::size_t i = 0; i < tone.size(); ++i) {
    tone[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * frequency * i / rate));
  }
  return tone;
}

// Mean power of the steady part of `signal`.
double Power(const std::vector<float>& signal, double rate) {
  const auto skip = static_cast<std::size_t>(kSettleSeconds * rate);
  double sum = 0;
  std::size_t n = 0;
  for (std::size_t i = skip; i + skip < signal.size(); ++i, ++n)
    sum += double{signal[i]} * signal[i];
  return n ? sum / static_cast<double>(n) : 0;
}

double GainDb(double frequency, double rate, const Recipe& recipe) {
  const std::vector<float> tone = Tone(frequency, rate);
  return 10 *
         std::log10(Power(Resample(tone, rate, recipe), kOutputRate) / Power(tone, rate) + 1e-30);
}

// CPU seconds to stream an hour of input through the recipe, from a minute scaled by 60.
double HourSeconds(double rate, const Recipe& recipe) {
  constexpr std::size_t kChunk = 32768;
  std::vector<float> in(kChunk);
  uint32_t state = 1;
  for (float& x : in) {
    state = state * 1664525u + 1013904223u;
    x = static_cast<float>(static_cast<int32_t>(state) / 4294967296.0);
  }
  std::vector<float> out(kChunk);
  soxr_error_t error = nullptr;
  soxr_t resampler = soxr_create(rate, kOutputRate, 1, &error, nullptr, &recipe.quality, nullptr);
  if (!resampler) return -1;
  const auto total = static_cast<std::size_t>(60 * rate);
  const std::clock_t start = std::clock();
  for (std::size_t fed = 0; fed < total; fed += kChunk) {
    std::size_t used = 0;
    std::size_t made = 0;
    soxr_process(resampler, in.data(), kChunk, &used, out.data(), out.size(), &made);
  }
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  soxr_delete(resampler);
  return 60 * seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const double passbandHz = argc > 1 ? std::atof(argv[1]) : 4500.0;
  if (argc > 2 || passbandHz <= 0 || passbandHz >= kOutputRate / 2) {
    std::fprintf(stderr, "Usage: resampler-recipes [PASSBAND_HZ]   (below 5512.5)\n");
    return 2;
  }
  const Recipe recipes[] = {
      {"LQ", soxr_quality_spec(SOXR_LQ, 0)},
      {"MQ", soxr_quality_spec(SOXR_MQ, 0)},
      {"HQ", soxr_quality_spec(SOXR_HQ, 0)},
      {"16-bit recipe", soxr_quality_spec(SOXR_16_BITQ, 0)},
      {"16 bit, 0.83 .. 1.0", Custom(16, 0.83, 1.0)},
      {"16 bit, 0.88 .. 1.0", Custom(16, 0.88, 1.0)},
  };
  std::printf("%-22s %7s %16s %8s %12s %8s %14s\n", "recipe", "rate", "passband dev dB", "at Hz",
              "worst alias", "at Hz", "CPU s / hour");
  for (const Recipe& recipe : recipes) {
    for (const double rate : {22050.0, 44100.0, 48000.0}) {
      double worstPass = 0;
      double worstPassAt = 0;
      for (double f = 50; f <= passbandHz; f += 50) {
        if (const double dev = std::fabs(GainDb(f, rate, recipe)); dev > worstPass) {
          worstPass = dev;
          worstPassAt = f;
        }
      }
      double worstAlias = -400;
      double worstAt = 0;
      for (double f = kAliasFrom; f < rate / 2 - 50; f += f < 7000 ? 25 : 250) {
        const double alias = GainDb(f, rate, recipe);
        if (alias > worstAlias) {
          worstAlias = alias;
          worstAt = f;
        }
      }
      std::printf("%-22s %7.0f %16.4f %8.0f %9.1f dB %8.0f %14.3f\n", recipe.name, rate, worstPass,
                  worstPassAt, worstAlias, worstAt, HourSeconds(rate, recipe));
    }
  }
  return 0;
}
