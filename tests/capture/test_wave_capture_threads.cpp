// The ring with a device that calls back from its own thread while the owner consumes: every
// block must arrive complete, in sequence order, and never be overwritten before it is consumed.
// Meant to run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "capture/wave_capture.h"
#include "capture_fixture.h"
#include "testing/fake_wave_in_device.h"

namespace brindlemoor::testing {
namespace {

// Block q carries q in its first four bytes and a q-dependent ramp after them, so a block that
// is stale, out of order or half written does not match.
void FillBlock(std::vector<uint8_t>& block, uint32_t q) {
  for (uint32_t i = 0; i < block.size(); ++i) {
    block[i] = i < 4 ? static_cast<uint8_t>(q >> (8 * i)) : static_cast<uint8_t>(q * 3 + i);
  }
}

TEST(WaveCaptureThreads, ConsumerSeesEveryBlockCompleteAndInOrder) {
  constexpr uint32_t kBlocks = 3000;  // more than 23 trips around the ring
  FakeWaveInDevice device;
  WaveCapture capture(device);
  std::vector<uint8_t> recordBuffer;
  ConfigureForReceiver(capture, recordBuffer);
  ASSERT_TRUE(capture.OpenAndStart());

  std::atomic<bool> abandon{false};  // set when the consumer gives up, so the thread can end
  std::thread soundThread([&device, &abandon] {
    std::vector<uint8_t> block(kBlockSamples);
    uint32_t q = 0;
    FillBlock(block, q);
    while (q < kBlocks && !abandon.load()) {
      if (device.CompleteNext(block.data(), kBlockSamples)) {
        FillBlock(block, ++q);
      } else {
        std::this_thread::yield();  // the consumer has not handed slots back yet
      }
    }
  });

  std::vector<uint8_t> expected(kBlockSamples);
  uint32_t badBlocks = 0;
  uint32_t ticks = 0;
  while (capture.blocksConsumed < kBlocks) {
    const uint32_t snapshot = capture.LoadBlocksFilled();
    if (snapshot == capture.blocksConsumed) {
      std::this_thread::yield();
      continue;
    }
    if (snapshot - capture.blocksConsumed > kRingBlocks) {
      ADD_FAILURE() << "count " << snapshot << " ran more than a ring ahead";
      abandon = true;
      break;
    }
    for (uint32_t q = capture.blocksConsumed; q != snapshot; ++q) {
      const uint32_t slot = q & kRingMask;
      FillBlock(expected, q);
      const bool same = std::equal(expected.begin(), expected.end(),
                                   recordBuffer.begin() + slot * kBlockSamples) &&
                        capture.Headers()[slot].bytesRecorded == kBlockSamples;
      if (!same && ++badBlocks <= 5) ADD_FAILURE() << "block " << q << " in slot " << slot;
    }
    capture.blocksConsumed = snapshot;
    if (!capture.RequeueBlocks()) {
      ADD_FAILURE() << "requeue refused";
      abandon = true;
      break;
    }
    ++ticks;
  }
  soundThread.join();

  EXPECT_EQ(badBlocks, 0u);
  EXPECT_GT(ticks, 0u);
  EXPECT_EQ(capture.lastQueued, capture.blocksConsumed + kRingBlocks - 1);
  capture.Stop();
  EXPECT_EQ(capture.LoadBlocksFilled(), capture.lastQueued + 1);
  EXPECT_FALSE(device.IsOpen());
}

}  // namespace
}  // namespace brindlemoor::testing
