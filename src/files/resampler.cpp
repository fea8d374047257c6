#include "files/resampler.h"

#include <soxr.h>

#include <cmath>

namespace brindlemoor {

struct Resampler::State {
  soxr_t soxr = nullptr;
  ~State() {
    if (soxr) soxr_delete(soxr);
  }
};

std::unique_ptr<Resampler> Resampler::Create(double inputRate, double outputRate, IoError& error) {
  // The 16-bit recipe with its small rolloff: the low-quality recipe droops 3.4 dB at 4.5 kHz,
  // the medium one 0.12 dB at 48 kHz; this one is flat there and costs about the same.
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_16_BITQ, 0);
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  soxr_error_t problem = nullptr;
  soxr_t soxr = soxr_create(inputRate, outputRate, 1, &problem, &io, &quality, &runtime);
  if (!soxr) {
    error.description = std::string("cannot start the resampler: ") + (problem ? problem : "");
    return nullptr;
  }
  std::unique_ptr<Resampler> resampler(new Resampler);
  resampler->state = std::make_unique<State>();
  resampler->state->soxr = soxr;
  return resampler;
}

Resampler::~Resampler() = default;

std::size_t Resampler::Process(const float* in, std::size_t count, std::size_t& used, float* out,
                               std::size_t capacity) {
  std::size_t made = 0;
  used = 0;
  // Never a null input here: that would tell the library the input has ended.
  const float nothing = 0.0f;
  if (soxr_process(state->soxr, count ? in : &nothing, count, &used, out, capacity, &made) !=
      nullptr) {
    used = count;  // cannot happen once created; drop the input rather than spin
    return 0;
  }
  return made;
}

std::size_t Resampler::Flush(float* out, std::size_t capacity) {
  std::size_t made = 0;
  if (soxr_process(state->soxr, nullptr, 0, nullptr, out, capacity, &made) != nullptr) return 0;
  return made;
}

void Resampler::Reset() { soxr_clear(state->soxr); }

bool ResampleWhole(const std::vector<float>& in, double inputRate, double outputRate,
                   std::vector<float>& out, IoError& error) {
  out.assign(static_cast<std::size_t>(std::ceil(in.size() * outputRate / inputRate)) + 1, 0.0f);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  std::size_t made = 0;
  const soxr_error_t problem =
      soxr_oneshot(inputRate, outputRate, 1, in.data(), in.size(), nullptr, out.data(), out.size(),
                   &made, nullptr, &quality, nullptr);
  if (problem) {
    error.description = std::string("cannot resample: ") + problem;
    return false;
  }
  out.resize(made);
  return true;
}

}  // namespace brindlemoor
