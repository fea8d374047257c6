// The tap that copies captured buffers for a dump while passing everything through.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <thread>
#include <vector>

#include "capture/capture_tap.h"
#include "testing/fake_wave_in_device.h"

namespace brindlemoor {
namespace {

using testing::FakeWaveInDevice;

struct Forwarded {
  std::atomic<uint32_t> data{0};
  std::atomic<uint32_t> other{0};
  std::atomic<WaveInDevice*> device{nullptr};
};

void CountingCallback(WaveInDevice* device, uint32_t message, void* instance, uintptr_t,
                      uintptr_t) {
  auto& forwarded = *static_cast<Forwarded*>(instance);
  forwarded.device = device;
  (message == kWimData ? forwarded.data : forwarded.other).fetch_add(1);
}

class CaptureTapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(tap.Open(WaveFormat{}, &CountingCallback, &forwarded), kWaveOk);
  }
  void Queue(std::vector<uint8_t>& memory) {
    headers.emplace_back();
    headers.back().data = memory.data();
    headers.back().bufferLength = static_cast<uint32_t>(memory.size());
    ASSERT_EQ(tap.PrepareHeader(headers.back()), kWaveOk);
    ASSERT_EQ(tap.AddBuffer(headers.back()), kWaveOk);
  }
  std::vector<uint8_t> DrainAll() {
    std::vector<uint8_t> out(CaptureTap::kCapacity);
    out.resize(tap.Drain(out.data(), out.size()));
    return out;
  }

  FakeWaveInDevice fake;
  CaptureTap tap{fake};
  Forwarded forwarded;
  std::deque<WaveHeader> headers;  // stable addresses
};

TEST_F(CaptureTapTest, CopiesWhatCameBackInOrderAndForwardsEveryMessage) {
  std::vector<uint8_t> a(5), b(5), c(5);
  Queue(a);
  Queue(b);
  Queue(c);
  const uint8_t first[] = {1, 2, 3, 4, 5};
  const uint8_t second[] = {9, 8};
  ASSERT_TRUE(fake.CompleteNext(first, 5));
  ASSERT_TRUE(fake.CompleteNext(second, 2));  // a partial buffer: only its two bytes
  fake.SendMessage(kWimClose);
  EXPECT_EQ(DrainAll(), (std::vector<uint8_t>{1, 2, 3, 4, 5, 9, 8}));
  EXPECT_TRUE(DrainAll().empty());
  // Reset returns the last one empty: forwarded, nothing copied.
  ASSERT_EQ(tap.Reset(), kWaveOk);
  EXPECT_TRUE(DrainAll().empty());
  EXPECT_EQ(forwarded.data.load(), 3u);
  EXPECT_EQ(forwarded.other.load(), 1u);
  EXPECT_EQ(forwarded.device.load(), &tap);
  EXPECT_EQ(tap.BytesLost(), 0u);
}

TEST_F(CaptureTapTest, DropsWholeBuffersThatDoNotFitAndCountsThem) {
  std::vector<uint8_t> big(CaptureTap::kCapacity - 10, 7), small(20, 1), tiny(10, 2);
  Queue(big);
  Queue(small);
  Queue(tiny);
  ASSERT_TRUE(fake.CompleteNext(7));
  ASSERT_TRUE(fake.CompleteNext(1));  // 20 bytes, 10 free: dropped
  ASSERT_TRUE(fake.CompleteNext(2));  // fits exactly
  EXPECT_EQ(tap.BytesLost(), 20u);
  const std::vector<uint8_t> out = DrainAll();
  ASSERT_EQ(out.size(), CaptureTap::kCapacity);
  EXPECT_EQ(out.back(), 2);
  EXPECT_EQ(forwarded.data.load(), 3u);
}

// The device's thread completes buffers while the owner drains; under ThreadSanitizer this checks
// that the ring publishes its bytes properly. The device waits while the ring is half full, so
// nothing is lost and the drained stream must be exactly the buffers in order.
TEST_F(CaptureTapTest, DrainsWhileAnotherThreadCaptures) {
  constexpr uint32_t kBuffers = 600;
  constexpr uint32_t kSize = 1102;
  std::vector<std::vector<uint8_t>> memory(kBuffers, std::vector<uint8_t>(kSize));
  for (auto& m : memory) Queue(m);
  std::atomic<uint64_t> drained{0};
  std::thread device([&] {
    for (uint32_t n = 0; n < kBuffers; ++n) {
      while (uint64_t{n} * kSize - drained.load() > CaptureTap::kCapacity / 2) {
        std::this_thread::yield();
      }
      fake.CompleteNext(static_cast<uint8_t>(n * 7));
    }
  });
  std::vector<uint8_t> all;
  while (all.size() < uint64_t{kBuffers} * kSize) {
    const std::vector<uint8_t> part = DrainAll();
    all.insert(all.end(), part.begin(), part.end());
    drained.store(all.size());
    if (part.empty()) std::this_thread::yield();
  }
  device.join();
  EXPECT_EQ(tap.BytesLost(), 0u);
  EXPECT_TRUE(DrainAll().empty());
  for (uint32_t n = 0; n < kBuffers; ++n) {
    for (uint32_t i = 0; i < kSize; ++i) {
      ASSERT_EQ(all[n * kSize + i], static_cast<uint8_t>(n * 7)) << n << " " << i;
    }
  }
}

}  // namespace
}  // namespace brindlemoor
