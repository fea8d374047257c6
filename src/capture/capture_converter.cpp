#include "capture/capture_converter.h"

#include <samplerate.h>

#include <cmath>
#include <vector>

namespace brindlemoor {
namespace {

// Sinc quality is wasted on symbols sampled at 11025 Hz; the fastest sinc still keeps the
// harmonics up to 2.2 kHz clean and costs little when listening around the clock.
constexpr int kConverterType = SRC_SINC_FASTEST;
// Room for the samples the resampler releases from its history on top of frames x ratio.
constexpr uint32_t kOutputSlack = 64;

}  // namespace

struct CaptureConverter::State {
  SRC_STATE* resampler = nullptr;
  std::vector<float> mono;       // maxInputFrames
  std::vector<float> resampled;  // maxOutputSamples
  ~State() {
    if (resampler) src_delete(resampler);
  }
};

uint8_t QuantizeSample(float x) {
  const long value = 128 + std::lround(127.0 * static_cast<double>(x));
  return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

std::unique_ptr<CaptureConverter> CaptureConverter::Create(int channels, double inputRate,
                                                           double outputRate,
                                                           uint32_t maxInputFrames,
                                                           IoError& error) {
  if (channels < 1 || inputRate <= 0 || outputRate <= 0 || maxInputFrames == 0) {
    error.description = "bad conversion parameters";
    return nullptr;
  }
  const double ratio = outputRate / inputRate;
  if (!src_is_valid_ratio(ratio)) {
    error.description = "cannot resample from " + std::to_string(inputRate) + " Hz";
    return nullptr;
  }
  std::unique_ptr<CaptureConverter> converter(new CaptureConverter);
  converter->state = std::make_unique<State>();
  int result = 0;
  converter->state->resampler = src_new(kConverterType, 1, &result);
  if (!converter->state->resampler) {
    error.description = src_strerror(result);
    return nullptr;
  }
  converter->channels = channels;
  converter->ratio = ratio;
  converter->maxInputFrames = maxInputFrames;
  converter->maxOutputSamples =
      static_cast<uint32_t>(std::ceil(maxInputFrames * ratio)) + kOutputSlack;
  converter->state->mono.resize(maxInputFrames);
  converter->state->resampled.resize(converter->maxOutputSamples);
  return converter;
}

CaptureConverter::~CaptureConverter() = default;

void CaptureConverter::Reset() { src_reset(state->resampler); }

uint32_t CaptureConverter::Convert(const float* interleaved, uint32_t frames, uint8_t* out) {
  if (frames > maxInputFrames) frames = maxInputFrames;
  float* mono = state->mono.data();
  for (uint32_t i = 0; i < frames; ++i) {
    float sum = 0;
    for (int c = 0; c < channels; ++c) sum += interleaved[i * channels + c];
    mono[i] = sum / static_cast<float>(channels);
  }

  // src_process may stop early when its output fills; feed it until the input is used up.
  uint32_t produced = 0;
  long used = 0;
  while (used < static_cast<long>(frames) && produced < maxOutputSamples) {
    SRC_DATA data{};
    data.data_in = mono + used;
    data.input_frames = static_cast<long>(frames) - used;
    data.data_out = state->resampled.data() + produced;
    data.output_frames = static_cast<long>(maxOutputSamples - produced);
    data.src_ratio = ratio;
    data.end_of_input = 0;
    if (src_process(state->resampler, &data) != 0) break;
    used += data.input_frames_used;
    produced += static_cast<uint32_t>(data.output_frames_gen);
    if (data.input_frames_used == 0 && data.output_frames_gen == 0) break;
  }
  for (uint32_t i = 0; i < produced; ++i) out[i] = QuantizeSample(state->resampled[i]);
  return produced;
}

}  // namespace brindlemoor
