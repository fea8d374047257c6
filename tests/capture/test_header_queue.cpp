// The lock-free queue between the owner's thread and an audio thread.
#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "capture/header_queue.h"

namespace brindlemoor {
namespace {

TEST(HeaderQueue, KeepsOrderAcrossTheWrapAndRefusesWhenFull) {
  HeaderQueue<4> queue;
  std::array<WaveHeader, 6> headers{};
  EXPECT_EQ(queue.Front(), nullptr);
  // Push and pop one at a time past the counters' wrap of the four slots, then fill it.
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(queue.Push(&headers[round]));
    ASSERT_EQ(queue.Front(), &headers[round]);
    queue.Pop();
  }
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(queue.Push(&headers[i]));
  EXPECT_FALSE(queue.Push(&headers[4]));
  EXPECT_EQ(queue.Size(), 4u);
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(queue.Front(), &headers[i]);
    queue.Pop();
  }
  EXPECT_EQ(queue.Front(), nullptr);
  EXPECT_EQ(queue.Size(), 0u);
}

// A producer and a consumer thread as in capture: every header comes out once, in order, with the
// field the producer wrote before pushing it. Run under ThreadSanitizer to check the ordering.
TEST(HeaderQueue, HandsHeadersAndTheirFieldsToAnotherThreadInOrder) {
  constexpr uint32_t kHeaders = 64;
  constexpr uint32_t kRounds = 2000;
  HeaderQueue<16> queue;
  std::array<WaveHeader, kHeaders> headers{};
  uint32_t mismatches = 0;

  std::thread consumer([&] {
    for (uint32_t n = 0; n < kHeaders * kRounds; ++n) {
      WaveHeader* header;
      while (!(header = queue.Front())) std::this_thread::yield();
      if (header != &headers[n % kHeaders] || header->user != n) ++mismatches;
      queue.Pop();
    }
  });
  for (uint32_t n = 0; n < kHeaders * kRounds; ++n) {
    WaveHeader& header = headers[n % kHeaders];
    // The slot of header n is free again once the consumer has popped header n - kHeaders,
    // which it has, since the queue holds fewer than kHeaders.
    header.user = n;
    while (!queue.Push(&header)) std::this_thread::yield();
  }
  consumer.join();
  EXPECT_EQ(mismatches, 0u);
}

}  // namespace
}  // namespace brindlemoor
