#include "synth/symbol_synth.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <numbers>

#include "capture/capture_format.h"
#include "capture/eight_bit_quantisers.h"
#include "convention/symbol_convention.h"
#include "synth/waveform.h"

namespace brindlemoor {

namespace {

// Every length in SymbolTiming is given at the receiver's rate, where kSymbolPeriod samples make
// one period.
constexpr int32_t kTimingRate = static_cast<int32_t>(kSampleRate);
constexpr int64_t kFundamental = kFundamentalHz;

// The tone's level at sample i of `tone`: a rise from 0 to `kneeLevel` over `knee` samples and on
// to 1 at `rise` (one straight line when `knee` is 0), then a straight fall to 1 - kFallDepth at
// the tone's end. The fall makes every later period weaker than the first full one (by about
// 11 % of full level per period with the default timing), so the receiver's peak, the earliest
// largest sample, lands in the first full-level period even with noise on top, and the period
// analysed from it lies inside the tone. Repeating a period that weakens by 11 % from its start
// to its end adds a sawtooth whose first sidebands hold about 2 % of each harmonic's amplitude
// (11 % / 2 pi), far below every decision threshold.
constexpr double kFallDepth = 0.25;

double Envelope(int64_t i, int64_t knee, double kneeLevel, int64_t rise, int64_t tone) {
  if (i < knee) return kneeLevel * static_cast<double>(i) / static_cast<double>(knee);
  if (i < rise) {
    return kneeLevel +
           (1.0 - kneeLevel) * static_cast<double>(i - knee) / static_cast<double>(rise - knee);
  }
  return 1.0 - kFallDepth * static_cast<double>(i - rise) / static_cast<double>(tone - rise);
}

}  // namespace

const SymbolTiming kDefaultTiming = {
    .toneSamples = 460,
    .riseSamples = 360,
    .gapSamples = 208,
    .leadSamples = 2205,
    .tailSamples = 1102,
    .amplitude = 0.9,
    .levelMargin = 2.0,
    .fundamentalLevel = 0.6,
    .kneeSamples = 90,
    .kneeLevel = 0.55,
};

const SymbolTiming kFastTiming = {
    .toneSamples = 460,
    .riseSamples = 360,
    .gapSamples = 160,
    .leadSamples = 2205,
    .tailSamples = 1102,
    .amplitude = 0.9,
    .levelMargin = 2.0,
    .fundamentalLevel = 0.6,
    .kneeSamples = 90,
    .kneeLevel = 0.55,
};

const SymbolTiming kSafeTiming = {
    .toneSamples = 500,
    .riseSamples = 405,
    .gapSamples = 300,
    .leadSamples = 2205,
    .tailSamples = 1102,
    .amplitude = 0.9,
    .levelMargin = 2.0,
    .fundamentalLevel = 0.6,
    .kneeSamples = 90,
    .kneeLevel = 0.55,
};

const SymbolTiming kRoomTiming = {
    .toneSamples = 240,
    .riseSamples = 180,
    .gapSamples = 1000,
    .leadSamples = 2205,
    .tailSamples = 1102,
    .amplitude = 0.9,
    .levelMargin = 2.0,
    .fundamentalLevel = 0.6,
    .kneeSamples = 20,
    .kneeLevel = 0.55,
    .phases = PhaseSet::kAligned,
    .calibrationRounds = 3,
};

int64_t ScaledSamples(int32_t samples, int32_t sampleRate) {
  return (static_cast<int64_t>(samples) * sampleRate + kTimingRate / 2) / kTimingRate;
}

int64_t SymbolSamples(const SymbolTiming& timing, int32_t sampleRate) {
  return ScaledSamples(timing.toneSamples, sampleRate) +
         ScaledSamples(timing.gapSamples, sampleRate);
}

ComponentAmplitudes SymbolAmplitudes(uint8_t byte, const SymbolTiming& timing) {
  return timing.levelMargin > 0.0
             ? MarginAmplitudes(byte, timing.levelMargin, timing.fundamentalLevel)
             : EqualAmplitudes(byte);
}

void AppendTone(std::vector<double>& out, uint8_t byte, int32_t samples, int32_t sampleRate) {
  AppendTone(out, EqualAmplitudes(byte), samples, sampleRate);
}

void AppendTone(std::vector<double>& out, const ComponentAmplitudes& amplitudes, int32_t samples,
                int32_t sampleRate, PhaseSet phases) {
  assert(samples >= 0);
  assert(sampleRate >= kTimingRate);
  // The largest magnitude within one period at this rate, and where it is: the tone starts
  // there and is scaled by it.
  const int64_t periodSamples = (sampleRate + kFundamental - 1) / kFundamental;
  int64_t peakIndex = 0;
  double peak = 0.0;
  for (int64_t n = 0; n < periodSamples; ++n) {
    const double magnitude = std::fabs(WaveformSample(amplitudes, n, sampleRate, phases));
    if (magnitude > peak) {
      peak = magnitude;
      peakIndex = n;
    }
  }
  assert(peak > 0.0);
  for (int64_t i = 0; i < samples; ++i) {
    out.push_back(WaveformSample(amplitudes, peakIndex + i, sampleRate, phases) / peak);
  }
}

void AppendSymbol(std::vector<double>& out, uint8_t byte, const SymbolTiming& timing,
                  int32_t sampleRate) {
  assert(timing.riseSamples > 0 && timing.riseSamples < timing.toneSamples);
  assert(timing.gapSamples >= 0);
  const int64_t tone = ScaledSamples(timing.toneSamples, sampleRate);
  const int64_t rise = ScaledSamples(timing.riseSamples, sampleRate);
  const std::size_t start = out.size();
  AppendTone(out, SymbolAmplitudes(byte, timing), static_cast<int32_t>(tone), sampleRate,
             timing.phases);
  const int64_t knee = ScaledSamples(timing.kneeSamples, sampleRate);
  for (int64_t i = 0; i < tone; ++i) {
    out[start + i] *= timing.amplitude * Envelope(i, knee, timing.kneeLevel, rise, tone);
  }
  out.resize(out.size() + ScaledSamples(timing.gapSamples, sampleRate), 0.0);
}

std::vector<double> SynthesiseMessage(std::span<const uint8_t> bytes, const SymbolTiming& timing,
                                      int32_t sampleRate) {
  const int64_t symbol = SymbolSamples(timing, sampleRate);
  const int64_t lead = ScaledSamples(timing.leadSamples, sampleRate);
  const int64_t tail = ScaledSamples(timing.tailSamples, sampleRate);
  std::vector<double> out;
  out.reserve(lead + symbol * static_cast<int64_t>(bytes.size()) + tail);
  out.resize(lead, 0.0);
  for (const uint8_t byte : bytes) AppendSymbol(out, byte, timing, sampleRate);
  out.resize(out.size() + tail, 0.0);
  return out;
}

std::vector<uint8_t> QuantiseToU8(std::span<const double> samples) {
  std::vector<uint8_t> out;
  out.reserve(samples.size());
  for (const double x : samples) {
    out.push_back(QuantiseSymmetric(x));
  }
  return out;
}

std::vector<uint8_t> CalibrationSequence(int32_t rounds) {
  assert(rounds >= 1);
  std::vector<uint8_t> sequence;
  for (int32_t round = 0; round < rounds; ++round) {
    sequence.push_back(0);
    for (int32_t bit = 0; bit < kBitCount; ++bit) {
      sequence.push_back(static_cast<uint8_t>(1 << bit));
    }
  }
  return sequence;
}

}  // namespace brindlemoor
