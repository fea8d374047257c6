// A wave-in device that passes every operation through to another one and keeps a copy of the
// samples of each buffer that comes back, for a diagnostic dump of exactly what was captured.
// The copy goes into a fixed lock-free byte ring on the device's thread (no allocation, no lock,
// no logging there); the owner's thread drains the ring into a file at its own pace.
//
// Threads: the callback runs on the inner device's thread; Drain and every operation on the
// owner's thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "capture/wave_in_device.h"

namespace brindlemoor {

class CaptureTap : public WaveInDevice {
 public:
  // Bytes the ring holds: about 24 s of capture-format sound, far more than one tick's backlog.
  static constexpr uint32_t kCapacity = 1u << 18;

  // The inner device must outlive the tap.
  explicit CaptureTap(WaveInDevice& inner);
  CaptureTap(const CaptureTap&) = delete;
  CaptureTap& operator=(const CaptureTap&) = delete;

  // Reports to `callback` with this tap as the device, after the copy is made.
  WaveResult Open(const WaveFormat& format, WaveInCallback callback, void* instance) override;
  WaveResult PrepareHeader(WaveHeader& header) override { return inner.PrepareHeader(header); }
  WaveResult AddBuffer(WaveHeader& header) override { return inner.AddBuffer(header); }
  WaveResult Start() override { return inner.Start(); }
  WaveResult Stop() override { return inner.Stop(); }
  WaveResult Reset() override { return inner.Reset(); }
  WaveResult UnprepareHeader(WaveHeader& header) override { return inner.UnprepareHeader(header); }
  WaveResult Close() override { return inner.Close(); }
  std::string ErrorText() const override { return inner.ErrorText(); }

  // Owner's thread: moves up to `capacity` of the oldest copied bytes to `out`; returns how many.
  std::size_t Drain(uint8_t* out, std::size_t capacity);
  // Any thread: bytes that found the ring full and were not copied.
  uint64_t BytesLost() const { return bytesLost.load(std::memory_order_relaxed); }

 private:
  static void TapCallback(WaveInDevice* device, uint32_t message, void* instance, uintptr_t param1,
                          uintptr_t param2);
  void Copy(const uint8_t* data, uint32_t size);

  WaveInDevice& inner;
  WaveInCallback callback = nullptr;
  void* instance = nullptr;
  std::unique_ptr<uint8_t[]> ring;
  // Free-running byte counts; written bytes - read bytes is the ring's fill.
  std::atomic<uint64_t> written{0};
  std::atomic<uint64_t> read{0};
  std::atomic<uint64_t> bytesLost{0};
};

}  // namespace brindlemoor
