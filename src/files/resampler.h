// Brings mono float samples from a source rate to another, streaming, with libsoxr's 16-bit
// recipe: flat within 0.01 dB to 4.5 kHz and every alias into 0 to 5.5 kHz more than 110 dB down
// at the capture rate (bench/resampler_recipes.cpp measures the recipes). The recording reader
// and the live converter share it. Create allocates; Process and Flush allocate nothing once the
// first block of the largest size has been processed.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "files/io_error.h"

namespace brindlemoor {

class Resampler {
 public:
  // Null with `error` set when the library refuses the rates.
  static std::unique_ptr<Resampler> Create(double inputRate, double outputRate, IoError& error);
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  // Takes up to `count` samples from `in` (how many it took goes to `used`) and writes at most
  // `capacity` resampled samples to `out`; returns how many. Output lags input by the filter's
  // delay, which is removed: the first output sample is the first input sample's instant.
  std::size_t Process(const float* in, std::size_t count, std::size_t& used, float* out,
                      std::size_t capacity);
  // After the last input: writes what the filter still holds, at most `capacity` samples; 0 once
  // drained.
  std::size_t Flush(float* out, std::size_t capacity);
  // Forgets the history, as if freshly created.
  void Reset();

 private:
  Resampler() = default;
  struct State;
  std::unique_ptr<State> state;
};

// Resamples a whole sound at once by `outputRate / inputRate` with the library's high-quality
// recipe (20 bits, flat to 91 % of the lower Nyquist rate), for work that is not real time: the
// sender's playback at a device's rate, the channel simulator's clock offset. Time-aligned, and
// as long as the input times the ratio. False with `error` set when the library refuses.
bool ResampleWhole(const std::vector<float>& in, double inputRate, double outputRate,
                   std::vector<float>& out, IoError& error);

}  // namespace brindlemoor
