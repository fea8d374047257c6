#include "synth/symbol_synth.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <numbers>

#include "capture/capture_format.h"

namespace brindlemoor {

namespace {

// Every length in SymbolTiming is given at this rate; 45 samples make one period.
constexpr int32_t kTimingRate = 11025;
constexpr int64_t kFundamentalHz = 245;
constexpr int32_t kHighestHarmonic = 9;   // bit 7
constexpr int32_t kFirstBitHarmonic = 2;  // bit 0
constexpr int32_t kBitCount = 8;
// An 8-bit sample of x is kSilence + 127 x: full scale is one step short of the format's ends.
constexpr double kU8Scale = 127.0;

// Phase of harmonic h (index h; index 0 unused), in radians. Found once by a random search that
// minimised the worst crest factor (peak / RMS) over all 256 bytes of the continuous waveform,
// so no byte is much peakier than another: the worst is about 2.6 (a single sine has 1.41),
// against 3.2 with all phases zero. Changing them changes every synthesised recording.
constexpr std::array<double, kHighestHarmonic + 1> kPhases = {
    0.0, 0.0, 1.1505, 5.5919, 1.4576, 0.7337, 4.0359, 5.5859, 3.9961, 4.2837};

// Sample n of the unnormalised waveform at `sampleRate`: a unit sine at the fundamental and at
// harmonic k + 2 for every set bit k. The phase of harmonic h after n samples is 245 h n /
// sampleRate cycles; its whole cycles are dropped in integer arithmetic, so the waveform repeats
// bit for bit whenever sampleRate / 245 is a whole number of samples (45 at 11025 Hz).
double RawSample(uint8_t byte, int64_t n, int32_t sampleRate) {
  const auto term = [&](int32_t harmonic) {
    const int64_t cycleFraction = (kFundamentalHz * harmonic * n) % sampleRate;
    return std::sin(2.0 * std::numbers::pi * static_cast<double>(cycleFraction) / sampleRate +
                    kPhases[harmonic]);
  };
  double value = term(1);
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    if ((byte >> bit) & 1) value += term(bit + kFirstBitHarmonic);
  }
  return value;
}

// A length given at 11025 Hz, at `sampleRate`, rounded to the nearest sample.
int64_t ScaledLength(int32_t samples, int32_t sampleRate) {
  return (static_cast<int64_t>(samples) * sampleRate + kTimingRate / 2) / kTimingRate;
}

// The tone's level at sample i of `tone`: a straight rise from 0 to 1 over `rise` samples, then a
// straight fall to 1 - kFallDepth at the tone's end. The fall makes every later period weaker
// than the first full one (by about 6 % of full level per period with the default timing), so the
// receiver's peak, the earliest largest sample, lands in the first full-level period even with
// noise on top, and the period analysed from it lies inside the tone. Repeating a period that
// weakens by 6 % from its start to its end adds a sawtooth whose first sidebands hold about 1 %
// of each harmonic's amplitude (6 % / 2 pi), far below every decision threshold.
constexpr double kFallDepth = 0.25;

double Envelope(int64_t i, int64_t rise, int64_t tone) {
  if (i < rise) return static_cast<double>(i) / static_cast<double>(rise);
  return 1.0 - kFallDepth * static_cast<double>(i - rise) / static_cast<double>(tone - rise);
}

}  // namespace

// 16.5 symbols per second at 11025 Hz (668 samples each). The receiver finds an onset in a
// window whose peak rises by 2 or more, collects 512 samples after it and then scans for the next
// rise, and every scan's first window (the first of every tick, too) only sets the reference:
// - The earliest onset window ends about 12 samples into the tone (the level passes the search's
//   floor of 5 out of 114 there), so the next scan starts at least 524 samples after the tone's
//   start, when the 460-sample tone is over: a window cut short at a block's end in the tone's
//   tail can never fake an onset.
// - The rise of 270 samples, six whole periods, ends on the waveform's largest sample and spans
//   six windows, so a tick that begins mid-rise still sees a later window 2 above its first.
// - The re-sync scan after a symbol found at half level starts close to the next tone's start.
// Replayed with every lead silence from 0 to 1101 samples (all 255 text bytes in three orders,
// 843,030 symbols), not one symbol was lost or wrong. With every fifth lead silence, tones of 400
// to 540 samples, rises of 225 to 315 and symbols down to 630 samples (17.5 per second) lost none
// either; 610-sample symbols or a 180-sample rise lose some.
const SymbolTiming kDefaultTiming = {
    .toneSamples = 460,
    .riseSamples = 270,
    .gapSamples = 208,
    .leadSamples = 2205,
    .tailSamples = 1102,
    .amplitude = 0.9,
};

void AppendTone(std::vector<double>& out, uint8_t byte, int32_t samples, int32_t sampleRate) {
  assert(samples >= 0);
  assert(sampleRate >= kTimingRate);
  // The largest magnitude within one period at this rate, and where it is: the tone starts
  // there and is scaled by it.
  const int64_t periodSamples = (sampleRate + kFundamentalHz - 1) / kFundamentalHz;
  int64_t peakIndex = 0;
  double peak = 0.0;
  for (int64_t n = 0; n < periodSamples; ++n) {
    const double magnitude = std::fabs(RawSample(byte, n, sampleRate));
    if (magnitude > peak) {
      peak = magnitude;
      peakIndex = n;
    }
  }
  assert(peak > 0.0);
  for (int64_t i = 0; i < samples; ++i) {
    out.push_back(RawSample(byte, peakIndex + i, sampleRate) / peak);
  }
}

void AppendSymbol(std::vector<double>& out, uint8_t byte, const SymbolTiming& timing,
                  int32_t sampleRate) {
  assert(timing.riseSamples > 0 && timing.riseSamples < timing.toneSamples);
  assert(timing.gapSamples >= 0);
  const int64_t tone = ScaledLength(timing.toneSamples, sampleRate);
  const int64_t rise = ScaledLength(timing.riseSamples, sampleRate);
  const std::size_t start = out.size();
  AppendTone(out, byte, static_cast<int32_t>(tone), sampleRate);
  for (int64_t i = 0; i < tone; ++i) out[start + i] *= timing.amplitude * Envelope(i, rise, tone);
  out.resize(out.size() + ScaledLength(timing.gapSamples, sampleRate), 0.0);
}

std::vector<double> SynthesizeMessage(std::span<const uint8_t> bytes, const SymbolTiming& timing,
                                      int32_t sampleRate) {
  const int64_t symbol =
      ScaledLength(timing.toneSamples, sampleRate) + ScaledLength(timing.gapSamples, sampleRate);
  const int64_t lead = ScaledLength(timing.leadSamples, sampleRate);
  const int64_t tail = ScaledLength(timing.tailSamples, sampleRate);
  std::vector<double> out;
  out.reserve(lead + symbol * static_cast<int64_t>(bytes.size()) + tail);
  out.resize(lead, 0.0);
  for (const uint8_t byte : bytes) AppendSymbol(out, byte, timing, sampleRate);
  out.resize(out.size() + tail, 0.0);
  return out;
}

std::vector<uint8_t> QuantizeToU8(std::span<const double> samples) {
  std::vector<uint8_t> out;
  out.reserve(samples.size());
  for (const double x : samples) {
    const long level = kSilence + std::lrint(kU8Scale * x);
    out.push_back(static_cast<uint8_t>(std::clamp(level, 0L, 255L)));
  }
  return out;
}

std::vector<uint8_t> CalibrationSequence() {
  std::vector<uint8_t> sequence = {0};
  for (int32_t bit = 0; bit < kBitCount; ++bit) sequence.push_back(static_cast<uint8_t>(1 << bit));
  return sequence;
}

}  // namespace brindlemoor
