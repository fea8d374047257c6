// The buffer bookkeeping every wave-in source shares: the header flags (prepared, queued, done),
// buffers filled and returned strictly in the order added, each returned once through the
// callback, a reset that returns every queued buffer, and a close refused while any is queued.
// A source keeps one, forwards its header calls to it and feeds it samples with Deliver.
//
// Threads: the owner's thread prepares, adds, unprepares and asks whether it may close; one
// filling thread at a time (a sound card's, or the owner's once that thread has stopped) calls
// Deliver, ReturnOldest and ReturnAll. The two meet in a lock-free queue, so filling never
// allocates or locks. Capacity is how many headers may be queued at once: the capture ring's 128
// blocks fit in the default.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "capture/header_queue.h"
#include "capture/wave_in_device.h"

namespace brindlemoor {

template <uint32_t Capacity = 128>
class WaveBufferQueue {
 public:
  static constexpr uint32_t kCapacity = Capacity;

  // Owner: where returned buffers and notices go, from Open until Close.
  void Connect(WaveInDevice& source, WaveInCallback cb, void* inst) {
    device = &source;
    callback = cb;
    instance = inst;
  }
  void Disconnect() {
    callback = nullptr;
    instance = nullptr;
  }
  // Owner: sends a message without a buffer (kWimOpen, kWimClose) to the callback.
  void Notify(uint32_t message) const {
    if (callback) callback(device, message, instance, 0, 0);
  }

  // Owner. Each returns kWaveOk or the refusal, whose words Refusal() then gives.
  WaveResult Prepare(WaveHeader& header) {
    header.flags |= kHeaderPrepared;
    return kWaveOk;
  }
  // kWaveUnprepared for a header not prepared, kWaveStillPlaying for one already queued,
  // kWaveError when the queue is full. Clears bytesRecorded and the done flag.
  WaveResult Add(WaveHeader& header) {
    if (!(header.flags & kHeaderPrepared)) return Refuse(kWaveUnprepared, "buffer not prepared");
    if (header.flags & kHeaderInQueue) return Refuse(kWaveStillPlaying, "buffer already queued");
    // These writes reach the filling thread through the queue's release.
    header.bytesRecorded = 0;
    header.flags = (header.flags & ~kHeaderDone) | kHeaderInQueue;
    if (!queue.Push(&header)) {
      header.flags &= ~kHeaderInQueue;
      return Refuse(kWaveError, "too many buffers queued");
    }
    return kWaveOk;
  }
  // kWaveStillPlaying for a queued header.
  WaveResult Unprepare(WaveHeader& header) {
    if (header.flags & kHeaderInQueue) return Refuse(kWaveStillPlaying, "buffer still queued");
    header.flags &= ~kHeaderPrepared;
    return kWaveOk;
  }
  // kWaveStillPlaying while buffers are queued.
  WaveResult MayClose() {
    if (queue.Size() != 0) return Refuse(kWaveStillPlaying, "buffers are still queued");
    return kWaveOk;
  }
  const char* Refusal() const { return refusal; }

  // Either thread: buffers queued and not yet returned (a snapshot).
  uint32_t Size() const { return queue.Size(); }

  // Filling thread: writes `count` samples into the oldest queued buffers, returning each that
  // becomes full. Returns how many were taken; the rest found no buffer queued.
  uint32_t Deliver(const uint8_t* samples, uint32_t count) {
    uint32_t delivered = 0;
    while (delivered < count) {
      WaveHeader* header = queue.Front();
      if (!header) break;
      const uint32_t taken =
          std::min(count - delivered, header->bufferLength - header->bytesRecorded);
      if (taken > 0) std::memcpy(header->data + header->bytesRecorded, samples + delivered, taken);
      header->bytesRecorded += taken;
      delivered += taken;
      if (header->bytesRecorded == header->bufferLength) ReturnOldest();
    }
    return delivered;
  }
  // Filling thread: the oldest queued buffer, to be filled in place, or null.
  WaveHeader* Oldest() const { return queue.Front(); }
  // Filling thread: returns the oldest queued buffer with the bytesRecorded it has. False when
  // nothing is queued.
  bool ReturnOldest() {
    WaveHeader* header = queue.Front();
    if (!header) return false;
    header->flags = (header->flags & ~kHeaderInQueue) | kHeaderDone;
    queue.Pop();
    if (callback) callback(device, kWimData, instance, reinterpret_cast<uintptr_t>(header), 0);
    return true;
  }
  // Filling thread: returns every queued buffer, in order, each with what it holds.
  void ReturnAll() {
    while (ReturnOldest()) {
    }
  }

 private:
  WaveResult Refuse(WaveResult result, const char* words) {
    refusal = words;
    return result;
  }

  HeaderQueue<Capacity> queue;
  WaveInDevice* device = nullptr;
  WaveInCallback callback = nullptr;
  void* instance = nullptr;
  const char* refusal = "";
};

}  // namespace brindlemoor
