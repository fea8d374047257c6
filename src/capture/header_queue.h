// A fixed-capacity single-producer single-consumer queue of capture buffer headers: the owner's
// thread adds buffers, the audio thread takes them in the same order. Lock-free and
// allocation-free, so the audio thread may use it.
//
// Threads: Push only on the producer's thread; Front and Pop only on the consumer's thread (or on
// any thread once the consumer thread has provably stopped, e.g. after its stream was joined).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "capture/wave_format.h"

namespace brindlemoor {

template <uint32_t Capacity>
class HeaderQueue {
  static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0,
                "capacity must be a power of two so that the free-running counters wrap cleanly");

 public:
  static constexpr uint32_t kCapacity = Capacity;

  // Producer. False when the queue is full.
  bool Push(WaveHeader* header) {
    const uint32_t tail = produced.load(std::memory_order_relaxed);
    if (tail - consumed.load(std::memory_order_acquire) == Capacity) return false;
    slots[tail & (Capacity - 1)] = header;
    // Release: the consumer that sees the new count also sees the slot and the header's fields.
    produced.store(tail + 1, std::memory_order_release);
    return true;
  }

  // Consumer: the oldest queued header, or null when the queue is empty.
  WaveHeader* Front() const {
    const uint32_t head = consumed.load(std::memory_order_relaxed);
    if (head == produced.load(std::memory_order_acquire)) return nullptr;
    return slots[head & (Capacity - 1)];
  }

  // Consumer: removes the header Front returned. Must not be called on an empty queue.
  void Pop() {
    const uint32_t head = consumed.load(std::memory_order_relaxed);
    // Release: the producer may reuse the slot only after the consumer has finished with it.
    consumed.store(head + 1, std::memory_order_release);
  }

  // Either side: a snapshot of the number of queued headers. The consumed count is read first,
  // so a concurrent pop can only make the answer too large, never wrap it below zero.
  uint32_t Size() const {
    const uint32_t head = consumed.load(std::memory_order_acquire);
    return produced.load(std::memory_order_acquire) - head;
  }

 private:
  std::array<WaveHeader*, Capacity> slots{};
  // Free-running counts of pushed and popped headers; their difference is the queue's size.
  std::atomic<uint32_t> produced{0};
  std::atomic<uint32_t> consumed{0};
};

}  // namespace brindlemoor
