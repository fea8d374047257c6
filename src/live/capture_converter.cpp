#include "live/capture_converter.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "capture/eight_bit_quantisers.h"
#include "capture/mix_to_mono.h"
#include "files/resampler.h"

namespace brindlemoor {
namespace {

// Room for the samples the resampler releases from its history on top of frames x ratio.
constexpr uint32_t kOutputSlack = 64;
// Rates further apart than this are not a sound card's.
constexpr double kMaxRatio = 256;

}  // namespace

struct CaptureConverter::State {
  std::unique_ptr<Resampler> resampler;
  std::vector<float> mono;         // maxInputFrames
  std::vector<float> resampled;    // maxOutputSamples
  std::vector<uint8_t> quantized;  // maxOutputSamples, for ConvertAll
};

std::unique_ptr<CaptureConverter> CaptureConverter::Create(int channels, double inputRate,
                                                           double outputRate,
                                                           uint32_t maxInputFrames,
                                                           IoError& error) {
  if (channels < 1 || inputRate <= 0 || outputRate <= 0 || maxInputFrames == 0) {
    error.description = "bad conversion parameters";
    return nullptr;
  }
  const double ratio = outputRate / inputRate;
  if (ratio > kMaxRatio || ratio < 1 / kMaxRatio) {
    error.description = "cannot resample from " + std::to_string(inputRate) + " Hz";
    return nullptr;
  }
  std::unique_ptr<CaptureConverter> converter(new CaptureConverter);
  converter->state = std::make_unique<State>();
  State& state = *converter->state;
  state.resampler = Resampler::Create(inputRate, outputRate, error);
  if (!state.resampler) return nullptr;
  converter->channels = channels;
  converter->maxInputFrames = maxInputFrames;
  converter->maxOutputSamples =
      static_cast<uint32_t>(std::ceil(maxInputFrames * ratio)) + kOutputSlack;
  state.mono.resize(maxInputFrames);
  state.resampled.resize(converter->maxOutputSamples);
  state.quantized.resize(converter->maxOutputSamples);
  converter->Prime();
  return converter;
}

CaptureConverter::~CaptureConverter() = default;

void CaptureConverter::Prime() {
  // The resampler sizes its buffers over its first few blocks: silence of the largest size grows
  // them here rather than on the audio thread. What it still holds of that silence comes out
  // first, a few milliseconds before the sound; what it has ready is drained here, so that no
  // backlog stays between the audio thread's calls.
  constexpr int kPrimingBlocks = 8;
  std::fill(state->mono.begin(), state->mono.end(), 0.0f);
  for (int block = 0; block < kPrimingBlocks; ++block) {
    std::size_t used = 0;
    while (used < maxInputFrames) {
      std::size_t took = 0;
      state->resampler->Process(state->mono.data() + used, maxInputFrames - used, took,
                                state->resampled.data(), maxOutputSamples);
      if (took == 0) break;
      used += took;
    }
  }
  std::size_t unused = 0;
  while (state->resampler->Process(state->mono.data(), 0, unused, state->resampled.data(),
                                   maxOutputSamples) > 0) {
  }
}

uint8_t* CaptureConverter::Output() { return state->quantized.data(); }

void CaptureConverter::Reset() {
  state->resampler->Reset();
  Prime();
}

uint32_t CaptureConverter::Convert(const float* interleaved, uint32_t frames, uint8_t* out) {
  if (frames > maxInputFrames) frames = maxInputFrames;
  float* mono = state->mono.data();
  MixToMono(interleaved, frames, channels, mono);

  // The resampler may stop early when its output fills; feed it until the input is used up.
  uint32_t produced = 0;
  std::size_t used = 0;
  while (used < frames && produced < maxOutputSamples) {
    std::size_t took = 0;
    const std::size_t made =
        state->resampler->Process(mono + used, frames - used, took,
                                  state->resampled.data() + produced, maxOutputSamples - produced);
    used += took;
    produced += static_cast<uint32_t>(made);
    if (took == 0 && made == 0) break;
  }
  for (uint32_t i = 0; i < produced; ++i) out[i] = QuantiseSymmetric(state->resampled[i]);
  return produced;
}

}  // namespace brindlemoor
