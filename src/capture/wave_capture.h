// WaveCapture keeps a wave-in device busy filling a ring of 128 capture blocks and counts the
// blocks it has returned. Sample memory belongs to the owner (`blockAddresses`); the ring only
// hands slots to the device and back. The device is borrowed, never owned.
//
// Threads: CaptureCallback runs on the device's thread and only increments `blocksFilled`
// (release). Everything else, including every write of `blocksConsumed` and `lastQueued`, runs
// on the owner's thread, which reads `blocksFilled` with acquire order. No lock is taken and none
// is needed: the release/acquire pair on `blocksFilled` publishes a block's samples together with
// its count, and nothing else is shared. (There is deliberately no mutex member.)
//
// The ring: block q (a 32-bit sequence number, restarting at 0 with every OpenAndStart) lives in
// slot q & 127, i.e. at blockAddresses[q & 127] with header q & 127. With unsigned 32-bit values,
//   blocksConsumed <= blocksFilled <= lastQueued + 1 <= blocksConsumed + 128,
// blocks blocksFilled .. lastQueued are in the device's hands, blocks blocksConsumed ..
// blocksFilled - 1 are complete and may be read in place.
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
  // Frees the header block. Neither stops nor closes the device: the owner calls Stop first.
  ~WaveCapture();
  WaveCapture(const WaveCapture&) = delete;
  WaveCapture& operator=(const WaveCapture&) = delete;

  // Opens the device with the configured format, queues slots 0..127 as blocks 0..127, sets
  // lastQueued := 127 and blocksFilled := 0, and starts recording. Does not touch
  // blocksConsumed: the owner sets it. The header block is allocated on the first call that finds
  // it absent and reused afterwards.
  // False when the device cannot be opened (nothing else changed), when the header block cannot
  // be allocated (device closed), or when a header cannot be prepared or queued. In that last case
  // the device is reset first, because a queued header cannot be unprepared, then the headers of
  // the failing slot down to slot 0 are unprepared and the device is closed, so a failed open
  // leaves no buffer with the device and no device open. The reset reports the queued buffers
  // through CaptureCallback, so blocksFilled is meaningless until the next successful open.
  // `recording` is left unchanged on failure.
  bool OpenAndStart();
  // Queues every block from lastQueued + 1 up to blocksConsumed + 127, in sequence order: after
  // consuming k blocks one call queues exactly k. False if the device refused a header; lastQueued
  // then stays at the last block queued and the next call retries the same slot.
  // Only while recording.
  bool RequeueBlocks();
  // Stops and resets the device, waits (polling every 10 ms, at most `stopTimeout`) until every
  // queued block has come back, unprepares the 128 headers, closes the device and clears
  // `recording`. Does nothing unless recording. The header block is kept for a later open.
  void Stop();

  // The device callback: counts kWimData, ignores every other message. Never allocates, locks,
  // logs or calls into the device; does not look at the header or the bytes recorded.
  static void CaptureCallback(WaveInDevice* device, uint32_t message, void* instance,
                              uintptr_t param1, uintptr_t param2);

  // Size of one capture block in bytes: (channels * bits * samples) >> 3, in 32-bit unsigned
  // arithmetic.
  uint32_t BlockBytes() const;
  // Consumer side: one acquire load of the completed-block count.
  uint32_t LoadBlocksFilled() const { return blocksFilled.load(std::memory_order_acquire); }
  // The header block (128 headers, one per slot); null before the first OpenAndStart.
  const WaveHeader* Headers() const { return headers.get(); }

  // True after a successful OpenAndStart until Stop.
  bool recording = false;
  // Format set by the owner before OpenAndStart.
  uint32_t sampleRate = 44100;
  uint16_t bitsPerSample = 16;
  uint16_t channels = 0;
  uint32_t samplesPerBlock = 0;
  // Where each slot's BlockBytes() samples live; owned by the owner and left to the device from
  // OpenAndStart to the end of Stop, except while the consumer reads a completed block.
  std::array<uint8_t*, kRingBlocks> blockAddresses{};
  // Owner's thread only.
  uint32_t blocksConsumed = 0;
  uint32_t lastQueued = 0;
  // Written by OpenAndStart before the device starts, then only by CaptureCallback.
  std::atomic<uint32_t> blocksFilled{0};
  // The PCM format handed to the device, filled by OpenAndStart.
  WaveFormat format{};
  // How long Stop waits for a device that does not give its buffers back.
  std::chrono::milliseconds stopTimeout{2000};

 private:
  // Points header `slot` at its block and clears the fields the owner sets; the device's own
  // fields beyond those (the `next` link) are left alone.
  void SetUpHeader(uint32_t slot);

  WaveInDevice& device;
  std::unique_ptr<WaveHeader[]> headers;
};

}  // namespace brindlemoor
