// Helpers for tests that record from a wave-in source: the capture format, a wave-in callback that
// logs what came back (and on which thread) without allocating or locking, and a bounded wait.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "capture/capture_format.h"
#include "capture/wave_in_device.h"

namespace brindlemoor::testing {

// Generous: the first block of a freshly started stream can take a while on a busy machine.
inline constexpr std::chrono::seconds kLiveTimeout{20};

// The receiver's capture format, as a device is opened with it.
inline WaveFormat CaptureFormat() {
  return {kWaveFormatPcm, kChannels, kSampleRate, kSampleRate, 1, kBitsPerSample, 0};
}

// Polls `condition` until it holds or the time limit passes; returns its last value.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = kLiveTimeout) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The instance behind RecordingCallback. The audio thread appends; the test thread reads the
// entries below DataCount().
struct CallbackLog {
  static constexpr uint32_t kMaxEntries = 1024;
  std::array<const WaveHeader*, kMaxEntries> returned{};
  std::array<uint32_t, kMaxEntries> bytes{};
  std::array<std::thread::id, kMaxEntries> threads{};
  std::atomic<uint32_t> dataCount{0};
  std::atomic<uint32_t> openCount{0};
  std::atomic<uint32_t> closeCount{0};

  uint32_t DataCount() const { return dataCount.load(std::memory_order_acquire); }
};

inline void RecordingCallback(WaveInDevice* /*device*/, uint32_t message, void* instance,
                              uintptr_t param1, uintptr_t /*param2*/) {
  auto& log = *static_cast<CallbackLog*>(instance);
  if (message == kWimOpen) log.openCount.fetch_add(1);
  if (message == kWimClose) log.closeCount.fetch_add(1);
  if (message != kWimData) return;
  const uint32_t n = log.dataCount.load(std::memory_order_relaxed);
  if (n >= CallbackLog::kMaxEntries) return;
  const auto* header = reinterpret_cast<const WaveHeader*>(param1);
  log.returned[n] = header;
  log.bytes[n] = header->bytesRecorded;
  log.threads[n] = std::this_thread::get_id();
  log.dataCount.store(n + 1, std::memory_order_release);
}

}  // namespace brindlemoor::testing
