// WaveCapture keeps a wave-in device busy filling a ring of 128 capture blocks and counts the
// blocks it has returned. Sample memory belongs to the owner (`blockAddresses`); the ring only
// hands slots to the device and back. The device is borrowed, never owned.
//
// Threads: CaptureCallback runs on the device's thread and only increments `blocksFilled`
// (release). Everything else, including every write of `blocksConsumed` and `lastQueued`, runs
// on the owner's thread, which reads `blocksFilled` with acquire order.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "capture/capture_format.h"
#include "capture/wave_in_device.h"

namespace brindlemoor {

class WaveCapture {
 public:
  explicit WaveCapture(WaveInDevice& device);
  ~WaveCapture();
  WaveCapture(const WaveCapture&) = delete;
  WaveCapture& operator=(const WaveCapture&) = delete;

  // Opens the device with the configured format, queues slots 0..127 as blocks 0..127 and starts
  // recording. False when the device cannot be opened or a buffer cannot be queued; the device is
  // then closed again.
  bool OpenAndStart();
  // Queues every block from lastQueued + 1 up to blocksConsumed + 127. False if the device
  // refused a header; the next call retries the same slot.
  bool RequeueBlocks();
  // Stops recording, waits (at most `stopTimeout`) until every queued block has come back,
  // unprepares the headers and closes the device. Does nothing unless recording.
  void Stop();

  // The device callback: counts kWimData, ignores every other message. Never allocates, locks,
  // logs or calls into the device.
  static void CaptureCallback(WaveInDevice* device, uint32_t message, void* instance,
                              uintptr_t param1, uintptr_t param2);

  // Size of one capture block in bytes: (channels * bits * samples) >> 3.
  uint32_t BlockBytes() const;
  // Consumer side: one acquire load of the completed-block count.
  uint32_t LoadBlocksFilled() const { return blocksFilled.load(std::memory_order_acquire); }
  const WaveHeader* Headers() const { return headers.get(); }
  WaveInDevice& Device() const { return device; }

  bool recording = false;
  uint32_t sampleRate = 44100;
  uint16_t bitsPerSample = 16;
  uint16_t channels = 0;
  uint32_t samplesPerBlock = 0;
  std::array<uint8_t*, kRingBlocks> blockAddresses{};
  uint32_t blocksConsumed = 0;
  uint32_t lastQueued = 0;
  std::atomic<uint32_t> blocksFilled{0};
  WaveFormat format{};
  // How long Stop waits for a device that does not give its buffers back.
  std::chrono::milliseconds stopTimeout{2000};

 private:
  void SetUpHeader(uint32_t slot);

  WaveInDevice& device;
  std::unique_ptr<WaveHeader[]> headers;
};

}  // namespace brindlemoor
