#include "live/portaudio_output.h"

#include <portaudio.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "files/resampler.h"

namespace brindlemoor {
namespace {

constexpr unsigned long kFramesPerWrite = 2048;
constexpr int kMaxChannels = 2;
// Stopping a stream through ALSA's PulseAudio plugin can drop what is still buffered (measured:
// the last 0.37 s, the stream's whole output latency). Silence of that length plus this margin is
// played after the sound, so what gets dropped is silence.
constexpr double kTailMarginSeconds = 0.1;

bool Fail(IoError& error, const std::string& what, PaError result) {
  error.description = what + ": " + PortAudioErrorText(result);
  return false;
}

}  // namespace

bool PlaySamples(const PortAudioSession& session, const std::string& device,
                 std::span<const double> samples, double sampleRate, IoError& error) {
  int index = 0;
  if (!ResolveAudioDevice(session, device, AudioDirection::kOutput, index, error)) return false;
  const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
  if (!info) {
    error.description = "the device vanished";
    return false;
  }

  std::vector<float> mono(samples.begin(), samples.end());
  PaStreamParameters parameters{index, 1, paFloat32, info->defaultHighOutputLatency, nullptr};
  double rate = sampleRate;
  if (Pa_IsFormatSupported(nullptr, &parameters, rate) != 0) {
    parameters.channelCount = std::min(info->maxOutputChannels, kMaxChannels);
    if (Pa_IsFormatSupported(nullptr, &parameters, rate) != 0) {
      rate = info->defaultSampleRate;
      std::vector<float> resampled;
      if (!ResampleWhole(mono, sampleRate, rate, resampled, error)) return false;
      mono.swap(resampled);
    }
  }
  const int channels = parameters.channelCount;
  const std::size_t soundFrames = mono.size();

  PaStream* stream = nullptr;
  PaError result = Pa_OpenStream(&stream, nullptr, &parameters, rate, kFramesPerWrite, paClipOff,
                                 nullptr, nullptr);
  if (result != paNoError) return Fail(error, "cannot open the output", result);
  const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream);
  const double tailSeconds = (streamInfo ? streamInfo->outputLatency : 0.0) + kTailMarginSeconds;
  mono.resize(soundFrames + static_cast<size_t>(std::ceil(tailSeconds * rate)), 0.0f);
  std::vector<float> frames(mono.size() * channels);
  for (size_t i = 0; i < mono.size(); ++i) {
    std::fill_n(frames.begin() + static_cast<std::ptrdiff_t>(i * channels), channels, mono[i]);
  }
  result = Pa_StartStream(stream);
  if (result != paNoError) {
    Pa_CloseStream(stream);
    return Fail(error, "cannot start playing", result);
  }
  for (size_t at = 0; at < mono.size(); at += kFramesPerWrite) {
    const unsigned long count =
        static_cast<unsigned long>(std::min<size_t>(kFramesPerWrite, mono.size() - at));
    result = Pa_WriteStream(stream, frames.data() + at * channels, count);
    // An underflow only means the device briefly ran dry; keep going.
    if (result != paNoError && result != paOutputUnderflowed) break;
    result = paNoError;
  }
  // Pa_StopStream lets what is buffered play out; after a failure, drop it instead.
  const PaError stopped = result == paNoError ? Pa_StopStream(stream) : Pa_AbortStream(stream);
  Pa_CloseStream(stream);
  if (result != paNoError) return Fail(error, "playing failed", result);
  if (stopped != paNoError) return Fail(error, "playing did not finish", stopped);
  return true;
}

}  // namespace brindlemoor
