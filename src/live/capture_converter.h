// Turns what a sound card delivers at its own rate (32-bit float, interleaved, any number of
// channels) into capture-format samples: mixed to mono (the mean of the channels), resampled to
// the capture rate by the recording reader's resampler, and quantised to unsigned 8-bit with 128
// as silence. Create allocates everything, running silent blocks of the largest size through the
// resampler so that its buffers reach their size (and again on Reset); Convert allocates nothing,
// takes no lock and may run on an audio thread. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "files/io_error.h"

namespace brindlemoor {

class CaptureConverter {
 public:
  // Null with `error` set for no channels, or rates more than 256 times apart.
  static std::unique_ptr<CaptureConverter> Create(int channels, double inputRate, double outputRate,
                                                  uint32_t maxInputFrames, IoError& error);
  ~CaptureConverter();
  CaptureConverter(const CaptureConverter&) = delete;
  CaptureConverter& operator=(const CaptureConverter&) = delete;

  // Converts `frames` interleaved frames (at most MaxInputFrames) and writes the samples that
  // are ready to `out`, which must hold MaxOutputSamples; returns their number. The resampler
  // filters in blocks, so output lags input by up to about 50 ms (depending on the chunks).
  uint32_t Convert(const float* interleaved, uint32_t frames, uint8_t* out);
  // Converts any number of frames in chunks of MaxInputFrames into the converter's own buffer,
  // handing each chunk's samples to `deliver(const uint8_t* samples, uint32_t count)`. Allocates
  // nothing, so a sound card's callback can pass its whole input.
  template <typename Deliver>
  void ConvertAll(const float* interleaved, uint64_t frames, Deliver&& deliver) {
    uint8_t* out = Output();
    while (frames > 0) {
      const uint32_t taken =
          frames < maxInputFrames ? static_cast<uint32_t>(frames) : maxInputFrames;
      deliver(static_cast<const uint8_t*>(out), Convert(interleaved, taken, out));
      interleaved += static_cast<std::size_t>(taken) * static_cast<std::size_t>(channels);
      frames -= taken;
    }
  }
  // Forgets the history, as if freshly created. Allocates: not on the audio thread.
  void Reset();

  uint32_t MaxInputFrames() const { return maxInputFrames; }
  uint32_t MaxOutputSamples() const { return maxOutputSamples; }

 private:
  CaptureConverter() = default;
  void Prime();
  uint8_t* Output();  // MaxOutputSamples

  struct State;
  std::unique_ptr<State> state;
  int channels = 1;
  uint32_t maxInputFrames = 0;
  uint32_t maxOutputSamples = 0;
};

}  // namespace brindlemoor
