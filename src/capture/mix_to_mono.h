// Interleaved frames of any channel count as mono floats in -1..1 (the mean of the channels), in
// one pass, from libsndfile's 16-bit or float samples. 16-bit samples are scaled by 1/32768 as
// libsndfile scales them to float, so both paths give the same value for the same sample.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brindlemoor {

inline void MixToMono(const float* interleaved, std::size_t frames, int channels, float* mono) {
  if (channels == 1) {
    for (std::size_t i = 0; i < frames; ++i) mono[i] = interleaved[i];
    return;
  }
  const auto count = static_cast<float>(channels);
  for (std::size_t i = 0; i < frames; ++i) {
    const float* frame = interleaved + i * static_cast<std::size_t>(channels);
    float sum = 0.0f;
    for (int c = 0; c < channels; ++c) sum += frame[c];
    mono[i] = sum / count;
  }
}

// The integer sum of up to 512 channels is exact in a float, and so is 32768 x channels: one
// correctly rounded division gives what summing the scaled floats and dividing would.
inline void MixToMono(const int16_t* interleaved, std::size_t frames, int channels, float* mono) {
  constexpr float kScale = 1.0f / 32768.0f;
  // Groups of a fixed size, which the compiler turns into vector instructions.
  constexpr std::size_t kGroup = 8;
  std::size_t i = 0;
  if (channels == 1) {
    for (; i + kGroup <= frames; i += kGroup) {
      for (std::size_t j = 0; j < kGroup; ++j) {
        mono[i + j] = static_cast<float>(interleaved[i + j]) * kScale;
      }
    }
    for (; i < frames; ++i) mono[i] = static_cast<float>(interleaved[i]) * kScale;
    return;
  }
  if (channels == 2) {
    const auto pair = [&](std::size_t k) {
      const int sum = interleaved[2 * k] + interleaved[2 * k + 1];
      mono[k] = static_cast<float>(sum) * (kScale * 0.5f);
    };
    for (; i + kGroup <= frames; i += kGroup) {
      for (std::size_t j = 0; j < kGroup; ++j) pair(i + j);
    }
    for (; i < frames; ++i) pair(i);
    return;
  }
  const float divisor = 32768.0f * static_cast<float>(channels);
  for (std::size_t i = 0; i < frames; ++i) {
    const int16_t* frame = interleaved + i * static_cast<std::size_t>(channels);
    int32_t sum = 0;
    for (int c = 0; c < channels; ++c) sum += frame[c];
    mono[i] = static_cast<float>(sum) / divisor;
  }
}

}  // namespace brindlemoor
