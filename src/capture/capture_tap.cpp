#include "capture/capture_tap.h"

#include <algorithm>
#include <cstring>

namespace brindlemoor {

CaptureTap::CaptureTap(WaveInDevice& inner)
    : inner(inner), ring(std::make_unique<uint8_t[]>(kCapacity)) {}

WaveResult CaptureTap::Open(const WaveFormat& format, WaveInCallback cb, void* inst) {
  callback = cb;
  instance = inst;
  return inner.Open(format, &TapCallback, this);
}

void CaptureTap::TapCallback(WaveInDevice* /*device*/, uint32_t message, void* self,
                             uintptr_t param1, uintptr_t param2) {
  auto& tap = *static_cast<CaptureTap*>(self);
  if (message == kWimData) {
    const auto* header = reinterpret_cast<const WaveHeader*>(param1);
    tap.Copy(header->data, header->bytesRecorded);
  }
  if (tap.callback) tap.callback(&tap, message, tap.instance, param1, param2);
}

void CaptureTap::Copy(const uint8_t* data, uint32_t size) {
  if (size == 0) return;
  const uint64_t end = written.load(std::memory_order_relaxed);
  const uint64_t free = kCapacity - (end - read.load(std::memory_order_acquire));
  if (size > free) {
    bytesLost.fetch_add(size, std::memory_order_relaxed);
    return;
  }
  const uint32_t at = static_cast<uint32_t>(end % kCapacity);
  const uint32_t first = std::min(size, kCapacity - at);
  std::memcpy(ring.get() + at, data, first);
  std::memcpy(ring.get(), data + first, size - first);
  written.store(end + size, std::memory_order_release);
}

std::size_t CaptureTap::Drain(uint8_t* out, std::size_t capacity) {
  const uint64_t begin = read.load(std::memory_order_relaxed);
  const uint64_t available = written.load(std::memory_order_acquire) - begin;
  const uint32_t size = static_cast<uint32_t>(std::min<uint64_t>(available, capacity));
  const uint32_t at = static_cast<uint32_t>(begin % kCapacity);
  const uint32_t first = std::min(size, kCapacity - at);
  std::memcpy(out, ring.get() + at, first);
  std::memcpy(out + first, ring.get(), size - first);
  read.store(begin + size, std::memory_order_release);
  return size;
}

}  // namespace brindlemoor
