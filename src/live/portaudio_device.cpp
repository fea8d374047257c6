#include "live/portaudio_device.h"

#include <algorithm>
#include <cstring>

namespace brindlemoor {
namespace {

// One callback per 100 ms of sound: few wake-ups while listening, well inside the 500 ms tick.
constexpr double kCallbacksPerSecond = 10.0;
constexpr int kMaxConvertedChannels = 2;

unsigned long FramesPerCallback(double rate) {
  return std::max(1ul, static_cast<unsigned long>(rate / kCallbacksPerSecond));
}

}  // namespace

PortAudioDevice::PortAudioDevice(const PortAudioSession& session, Options options)
    : session(session), options(std::move(options)) {}

PortAudioDevice::~PortAudioDevice() {
  if (stream) {
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);
  }
}

WaveResult PortAudioDevice::Fail(WaveResult result, std::string text) {
  lastError = std::move(text);
  return result;
}

WaveResult PortAudioDevice::FailPa(WaveResult result, int paError, const char* what) {
  return Fail(result, std::string(what) + ": " + PortAudioErrorText(paError));
}

std::string PortAudioDevice::ErrorText() const { return lastError; }

WaveResult PortAudioDevice::Open(const WaveFormat& format, WaveInCallback cb, void* inst) {
  if (open) return Fail(kWaveError, "the device is already open");
  if (format.formatTag != kWaveFormatPcm || format.channels != 1 || format.bitsPerSample != 8 ||
      format.samplesPerSec == 0) {
    return Fail(kWaveError, "only 8-bit mono PCM can be recorded");
  }
  if (const WaveResult result = OpenStream(format); result != kWaveOk) return result;
  open = true;
  openFormat = format;
  buffers.Connect(*this, cb, inst);
  samplesCaptured.store(0, std::memory_order_relaxed);
  samplesDropped.store(0, std::memory_order_relaxed);
  lastError.clear();
  buffers.Notify(kWimOpen);
  return kWaveOk;
}

WaveResult PortAudioDevice::OpenStream(const WaveFormat& format) {
  int index = 0;
  IoError error;
  if (!ResolveAudioDevice(session, options.device, AudioDirection::kInput, index, error)) {
    return Fail(kWaveBadDevice, error.description);
  }
  const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
  if (!info) return Fail(kWaveBadDevice, "the device vanished");
  const double captureRate = format.samplesPerSec;

  PaStreamParameters direct{index, 1, paUInt8, info->defaultHighInputLatency, nullptr};
  const bool takesCaptureFormat =
      !options.forceConversion && Pa_IsFormatSupported(&direct, nullptr, captureRate) == 0;

  PaStreamParameters parameters = direct;
  double rate = captureRate;
  std::unique_ptr<CaptureConverter> newConverter;
  if (!takesCaptureFormat) {
    rate = info->defaultSampleRate;
    parameters.sampleFormat = paFloat32;
    // Mono if the device offers it, otherwise its first channels mixed down.
    if (Pa_IsFormatSupported(&parameters, nullptr, rate) != 0) {
      parameters.channelCount = std::min(info->maxInputChannels, kMaxConvertedChannels);
    }
    newConverter = CaptureConverter::Create(parameters.channelCount, rate, captureRate,
                                            FramesPerCallback(rate), error);
    if (!newConverter) return Fail(kWaveBadDevice, error.description);
  }

  PaStream* newStream = nullptr;
  const PaError result = Pa_OpenStream(&newStream, &parameters, nullptr, rate,
                                       FramesPerCallback(rate), paNoFlag, &StreamCallback, this);
  if (result != paNoError) return FailPa(kWaveBadDevice, result, "cannot open the input");

  stream = newStream;
  converter = std::move(newConverter);
  deviceName = info->name ? info->name : "";
  streamRate = rate;
  return kWaveOk;
}

WaveResult PortAudioDevice::Reopen() {
  if (!open) return Fail(kWaveError, "the device is not open");
  if (stream) {
    AbortStream();
    Pa_CloseStream(stream);
    stream = nullptr;
  }
  RefreshAudioDevices(session);
  if (const WaveResult result = OpenStream(openFormat); result != kWaveOk) return result;
  const PaError result = Pa_StartStream(stream);
  if (result != paNoError) return FailPa(kWaveError, result, "cannot start recording");
  return kWaveOk;
}

WaveResult PortAudioDevice::PrepareHeader(WaveHeader& header) {
  if (!open) return Fail(kWaveError, "the device is not open");
  if (!header.data && header.bufferLength) return Fail(kWaveError, "a buffer without memory");
  return buffers.Prepare(header);
}

WaveResult PortAudioDevice::AddBuffer(WaveHeader& header) {
  if (!open) return Fail(kWaveError, "the device is not open");
  const WaveResult result = buffers.Add(header);
  return result == kWaveOk ? result : Fail(result, buffers.Refusal());
}

WaveResult PortAudioDevice::Start() {
  if (!open) return Fail(kWaveError, "the device is not open");
  if (!stream) return Fail(kWaveError, "the input has no stream (being reopened)");
  if (Pa_IsStreamActive(stream) == 1) return kWaveOk;
  // A stopped stream must not glue the resampler's old history to new sound.
  if (converter) converter->Reset();
  const PaError result = Pa_StartStream(stream);
  if (result != paNoError) return FailPa(kWaveError, result, "cannot start recording");
  return kWaveOk;
}

void PortAudioDevice::AbortStream() {
  // Pa_AbortStream discards what is pending and returns once the callback thread has ended;
  // unlike Pa_StopStream it does not wait for a device that has stopped delivering.
  if (stream && Pa_IsStreamStopped(stream) == 0) Pa_AbortStream(stream);
}

WaveResult PortAudioDevice::Stop() {
  if (!open) return Fail(kWaveError, "the device is not open");
  AbortStream();
  const WaveHeader* oldest = buffers.Oldest();
  if (oldest && oldest->bytesRecorded > 0) buffers.ReturnOldest();
  return kWaveOk;
}

WaveResult PortAudioDevice::Reset() {
  if (!open) return Fail(kWaveError, "the device is not open");
  AbortStream();
  buffers.ReturnAll();
  return kWaveOk;
}

WaveResult PortAudioDevice::UnprepareHeader(WaveHeader& header) {
  const WaveResult result = buffers.Unprepare(header);
  return result == kWaveOk ? result : Fail(result, buffers.Refusal());
}

WaveResult PortAudioDevice::Close() {
  if (!open) return Fail(kWaveError, "the device is not open");
  if (buffers.MayClose() != kWaveOk) return Fail(kWaveStillPlaying, buffers.Refusal());
  const PaError result = stream ? Pa_CloseStream(stream) : paNoError;
  stream = nullptr;
  open = false;
  converter.reset();
  buffers.Notify(kWimClose);
  buffers.Disconnect();
  if (result != paNoError) return FailPa(kWaveError, result, "closing the input failed");
  return kWaveOk;
}

void PortAudioDevice::Deliver(const uint8_t* samples, uint32_t count) {
  const uint32_t taken = buffers.Deliver(samples, count);
  samplesCaptured.fetch_add(taken, std::memory_order_relaxed);
  if (taken < count) samplesDropped.fetch_add(count - taken, std::memory_order_relaxed);
}

int PortAudioDevice::StreamCallback(const void* input, void* /*output*/, unsigned long frames,
                                    const PaStreamCallbackTimeInfo* /*timeInfo*/,
                                    PaStreamCallbackFlags /*statusFlags*/, void* self) {
  auto& device = *static_cast<PortAudioDevice*>(self);
  if (!input) return paContinue;
  if (!device.converter) {
    device.Deliver(static_cast<const uint8_t*>(input), static_cast<uint32_t>(frames));
    return paContinue;
  }
  device.converter->ConvertAll(
      static_cast<const float*>(input), frames,
      [&device](const uint8_t* samples, uint32_t count) { device.Deliver(samples, count); });
  return paContinue;
}

}  // namespace brindlemoor
