// A wave-in device over PortAudio: the default input (or a chosen one) recorded as unsigned 8-bit
// mono at the capture rate, in callback mode. A device that refuses that format is opened at its
// own rate in 32-bit float and converted (mix, resample, quantise: CaptureConverter) on the way
// into the buffers, which the shared WaveBufferQueue fills and returns in the order added.
//
// Threads: every operation runs on the owner's thread. PortAudio's audio thread runs only the
// stream callback, which feeds the buffer queue; it never allocates, locks or logs. Stop and
// Reset abort the stream first (PortAudio joins its thread), so the buffers they return are
// handed back on the owner's thread with no audio thread running.
#pragma once

#include <portaudio.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "capture/wave_buffer_queue.h"
#include "capture/wave_in_device.h"
#include "live/capture_converter.h"
#include "live/portaudio_session.h"

namespace brindlemoor {

class PortAudioDevice : public WaveInDevice {
 public:
  struct Options {
    // Empty: the default input; digits only: a device index; else (part of) a device name.
    std::string device;
    // Open at the device's own rate and convert even if it takes the capture format.
    bool forceConversion = false;
  };

  // Headers the device can hold at once: the ring's 128 blocks fit.
  static constexpr uint32_t kQueueCapacity = WaveBufferQueue<>::kCapacity;

  // The session must outlive the device.
  PortAudioDevice(const PortAudioSession& session, Options options);
  // Aborts and closes a stream that is still open, without calling back.
  ~PortAudioDevice() override;
  PortAudioDevice(const PortAudioDevice&) = delete;
  PortAudioDevice& operator=(const PortAudioDevice&) = delete;

  // Accepts 8-bit mono PCM only. Sends kWimOpen on success.
  WaveResult Open(const WaveFormat& format, WaveInCallback callback, void* instance) override;
  WaveResult PrepareHeader(WaveHeader& header) override;
  // kWaveUnprepared for a header that is not prepared, kWaveStillPlaying for one already queued.
  WaveResult AddBuffer(WaveHeader& header) override;
  WaveResult Start() override;
  // Stops recording; a partly filled oldest buffer comes back with what it holds, the empty
  // ones stay queued for a later Start.
  WaveResult Stop() override;
  // Stops recording and returns every queued buffer, in order, with its bytesRecorded.
  WaveResult Reset() override;
  // kWaveStillPlaying for a queued header; call it only for headers that are not queued.
  WaveResult UnprepareHeader(WaveHeader& header) override;
  // kWaveStillPlaying while buffers are queued. Sends kWimClose.
  WaveResult Close() override;
  std::string ErrorText() const override;

  // While open: closes the stream and opens it again on the device the options name, PortAudio
  // having looked for the devices anew, and restarts it, keeping the queued buffers (the oldest
  // goes on filling). For an input whose sound server went away and came back. kWaveOk when it
  // runs again; after a failure the device stays open without a stream, for another try.
  WaveResult Reopen();

  // After a successful Open: what was opened.
  const std::string& DeviceName() const { return deviceName; }
  double StreamRate() const { return streamRate; }
  bool Converting() const { return converter != nullptr; }

  // Any thread: samples written into buffers, and samples that found no buffer queued, since
  // Open. A capture count that stops growing while running means the device went away.
  uint64_t SamplesCaptured() const { return samplesCaptured.load(std::memory_order_relaxed); }
  uint64_t SamplesDropped() const { return samplesDropped.load(std::memory_order_relaxed); }

 private:
  static int StreamCallback(const void* input, void* output, unsigned long frames,
                            const PaStreamCallbackTimeInfo* timeInfo,
                            PaStreamCallbackFlags statusFlags, void* self);
  // Audio thread: into the buffers, counting what was captured and dropped.
  void Deliver(const uint8_t* samples, uint32_t count);
  // Owner's thread: aborts a running stream; PortAudio has joined its thread on return.
  void AbortStream();
  WaveResult Fail(WaveResult result, std::string text);
  WaveResult FailPa(WaveResult result, int paError, const char* what);
  // Opens the stream (and converter) for `format` on the device the options name.
  WaveResult OpenStream(const WaveFormat& format);

  const PortAudioSession& session;
  const Options options;

  // Owner's thread; fixed while the stream runs.
  bool open = false;  // between Open and Close, with or without a stream
  PaStream* stream = nullptr;
  WaveFormat openFormat{};
  std::unique_ptr<CaptureConverter> converter;
  std::string deviceName;
  double streamRate = 0;
  std::string lastError;

  WaveBufferQueue<> buffers;
  std::atomic<uint64_t> samplesCaptured{0};
  std::atomic<uint64_t> samplesDropped{0};
};

}  // namespace brindlemoor
