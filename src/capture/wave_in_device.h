// The operations a capture source offers to the capture ring: the classic wave-in model of
// open, prepare/add buffers, start, stop, reset, unprepare and close. Live sound cards, a
// recording replayed on a virtual clock and test fakes all implement it, so every source drives
// the very same ring.
#pragma once

#include <cstdint>
#include <string>

#include "capture/wave_format.h"

namespace brindlemoor {

// Result of a device operation: 0 is success, anything else a failure.
using WaveResult = uint32_t;
inline constexpr WaveResult kWaveOk = 0;
inline constexpr WaveResult kWaveError = 1;          // unspecified failure
inline constexpr WaveResult kWaveBadDevice = 2;      // no such device / cannot open
inline constexpr WaveResult kWaveNoMemory = 7;       // allocation failed
inline constexpr WaveResult kWaveStillPlaying = 33;  // header still queued
inline constexpr WaveResult kWaveUnprepared = 34;    // header not prepared

// Completion messages delivered to the callback.
inline constexpr uint32_t kWimOpen = 0x3BE;
inline constexpr uint32_t kWimClose = 0x3BF;
inline constexpr uint32_t kWimData = 0x3C0;

class WaveInDevice;

// Called on the device's own thread (or, for the replay source, on the thread that advances its
// clock). For kWimData, param1 is the WaveHeader* that came back.
using WaveInCallback = void (*)(WaveInDevice* device, uint32_t message, void* instance,
                                uintptr_t param1, uintptr_t param2);

class WaveInDevice {
 public:
  virtual ~WaveInDevice() = default;

  // Opens the device with `format`. From then on each returned buffer is reported once through
  // `callback` with `instance`.
  virtual WaveResult Open(const WaveFormat& format, WaveInCallback callback, void* instance) = 0;
  virtual WaveResult PrepareHeader(WaveHeader& header) = 0;
  // Queues a prepared buffer; buffers are filled and returned strictly in the order added.
  virtual WaveResult AddBuffer(WaveHeader& header) = 0;
  virtual WaveResult Start() = 0;
  virtual WaveResult Stop() = 0;
  // Returns every queued buffer, partially filled or empty, each with its kWimData message.
  virtual WaveResult Reset() = 0;
  virtual WaveResult UnprepareHeader(WaveHeader& header) = 0;
  virtual WaveResult Close() = 0;

  // A readable description of the last failure, for messages that name the device.
  virtual std::string ErrorText() const { return {}; }
};

}  // namespace brindlemoor
