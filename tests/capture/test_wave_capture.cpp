// The capture ring against a scripted device: queue order, slot arithmetic, failure paths and
// teardown.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "capture/wave_capture.h"
#include "capture_fixture.h"
#include "testing/fake_wave_in_device.h"

namespace brindlemoor::testing {
namespace {

using Names = std::vector<std::string>;

class WaveCaptureTest : public ::testing::Test {
 protected:
  WaveCaptureTest() { ConfigureForReceiver(capture, recordBuffer); }

  // Completes `count` blocks, then consumes everything filled, as a receive tick does.
  void CompleteAndConsume(uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) ASSERT_TRUE(device.CompleteNext());
    capture.blocksConsumed = capture.LoadBlocksFilled();
  }

  FakeWaveInDevice device;
  WaveCapture capture{device};
  std::vector<uint8_t> recordBuffer;
};

TEST_F(WaveCaptureTest, FirstOpenQueuesBlocksZeroTo127IntoSlotsInOrder) {
  ASSERT_TRUE(capture.OpenAndStart());

  EXPECT_TRUE(capture.recording);
  EXPECT_EQ(capture.lastQueued, 127u);
  EXPECT_EQ(capture.LoadBlocksFilled(), 0u);
  EXPECT_EQ(device.QueuedCount(), 128u);

  const auto calls = device.Calls();
  ASSERT_EQ(calls.size(), 1 + 2 * 128 + 1u);
  EXPECT_EQ(calls.front().name, "Open");
  EXPECT_EQ(calls.back().name, "Start");
  for (uint32_t slot = 0; slot < kRingBlocks; ++slot) {
    EXPECT_EQ(calls[1 + 2 * slot].name, "Prepare");
    EXPECT_EQ(calls[2 + 2 * slot].name, "Add");
    EXPECT_EQ(calls[1 + 2 * slot].header, capture.Headers() + slot);
    EXPECT_EQ(calls[2 + 2 * slot].header, capture.Headers() + slot);
    const WaveHeader& header = capture.Headers()[slot];
    EXPECT_EQ(header.data, recordBuffer.data() + slot * kBlockSamples);
    EXPECT_EQ(header.bufferLength, kBlockSamples);
    EXPECT_EQ(header.bytesRecorded, 0u);
    EXPECT_EQ(header.user, 0u);
    EXPECT_EQ(header.loops, 0u);
  }
}

struct FormatCase {
  uint32_t rate;
  uint16_t bits;
  uint16_t channels;
  uint32_t samplesPerBlock;
  uint32_t blockBytes;
  uint16_t blockAlign;
  uint32_t bytesPerSecond;
};

TEST_F(WaveCaptureTest, FormatAndBlockSizeFollowTheOwnersSettings) {
  const FormatCase cases[] = {
      {11025, 8, 1, 1102, 1102, 1, 11025},
      {44100, 16, 2, 1102, 4408, 4, 176400},
      {8000, 8, 2, 3, 6, 2, 16000},
      {22050, 4, 1, 3, 1, 0, 0},  // 12 bits truncate to one byte; block align truncates to 0
  };
  for (const FormatCase& c : cases) {
    FakeWaveInDevice fake;
    WaveCapture ring(fake);
    std::vector<uint8_t> buffer;
    ConfigureForReceiver(ring, buffer);
    ring.sampleRate = c.rate;
    ring.bitsPerSample = c.bits;
    ring.channels = c.channels;
    ring.samplesPerBlock = c.samplesPerBlock;
    SCOPED_TRACE(c.rate);
    EXPECT_EQ(ring.BlockBytes(), c.blockBytes);
    ASSERT_TRUE(ring.OpenAndStart());
    EXPECT_EQ(fake.lastFormat.formatTag, kWaveFormatPcm);
    EXPECT_EQ(fake.lastFormat.channels, c.channels);
    EXPECT_EQ(fake.lastFormat.samplesPerSec, c.rate);
    EXPECT_EQ(fake.lastFormat.blockAlign, c.blockAlign);
    EXPECT_EQ(fake.lastFormat.avgBytesPerSec, c.bytesPerSecond);
    EXPECT_EQ(fake.lastFormat.bitsPerSample, c.bits);
    EXPECT_EQ(fake.lastFormat.extraSize, 0u);
    EXPECT_EQ(ring.Headers()[5].bufferLength, c.blockBytes);
    ring.Stop();
  }
}

// Consuming k blocks and requeueing queues exactly blocks lastQueued + 1 .. consumed + 127, each
// into slot q & 127, and the device always holds lastQueued + 1 - blocksFilled buffers.
TEST_F(WaveCaptureTest, RequeueHandsBackExactlyTheConsumedSlots) {
  struct Step {
    uint32_t complete;  // blocks the device returns before the tick
    uint32_t lastQueuedAfter;
    std::vector<int> slots;  // slots queued by RequeueBlocks
  };
  const Step steps[] = {
      {0, 127, {}},                                    // right after opening nothing may be queued
      {5, 132, Range(0, 4)},                           // blocks 128..132
      {0, 132, {}},                                    // an empty tick
      {1, 133, {5}},                                   // block 133
      {127, 260, Concat(Range(6, 127), Range(0, 4))},  // blocks 134..260 wrap around
      {40, 300, Range(5, 44)},                         // block 300 lives in slot 44
      {128, 428, Concat(Range(45, 127), Range(0, 44))},  // the device gave back all it held
  };
  ASSERT_TRUE(capture.OpenAndStart());
  for (const Step& step : steps) {
    SCOPED_TRACE(step.lastQueuedAfter);
    CompleteAndConsume(step.complete);
    const std::size_t before = device.Calls().size();
    ASSERT_TRUE(capture.RequeueBlocks());
    EXPECT_EQ(capture.lastQueued, step.lastQueuedAfter);
    EXPECT_EQ(SlotsOf(device.Calls(), capture, "Add", before), step.slots);
    EXPECT_EQ(SlotsOf(device.Calls(), capture, "Prepare", before), step.slots);
    EXPECT_EQ(device.QueuedCount(), capture.lastQueued + 1 - capture.LoadBlocksFilled());
  }
}

TEST_F(WaveCaptureTest, RequeueFailureLeavesLastQueuedAndRetriesTheSameSlot) {
  // Opening makes prepare and add calls 0..127; the requeue's second block is call 129.
  for (const bool failAdd : {false, true}) {
    SCOPED_TRACE(failAdd ? "add fails" : "prepare fails");
    FakeWaveInDevice fake;
    WaveCapture ring(fake);
    std::vector<uint8_t> buffer;
    ConfigureForReceiver(ring, buffer);
    (failAdd ? fake.failAddAt : fake.failPrepareAt) = 129;
    ASSERT_TRUE(ring.OpenAndStart());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(fake.CompleteNext());
    ring.blocksConsumed = ring.LoadBlocksFilled();

    EXPECT_FALSE(ring.RequeueBlocks());
    EXPECT_EQ(ring.lastQueued, 128u);
    const std::size_t before = fake.Calls().size();
    EXPECT_TRUE(ring.RequeueBlocks());
    EXPECT_EQ(ring.lastQueued, 130u);
    EXPECT_EQ(SlotsOf(fake.Calls(), ring, "Add", before), (std::vector<int>{1, 2}));
    ring.Stop();
  }
}

// A prepare or add failure at slot i resets the device (so the queued slots come back), then
// unprepares slots i .. 0 and closes it.
TEST_F(WaveCaptureTest, OpenFailureAtASlotUndoesEverything) {
  for (const bool failAdd : {false, true}) {
    for (const int failing : {0, 1, 77, 127}) {
      SCOPED_TRACE((failAdd ? "add fails at " : "prepare fails at ") + std::to_string(failing));
      FakeWaveInDevice fake;
      WaveCapture ring(fake);
      std::vector<uint8_t> buffer;
      ConfigureForReceiver(ring, buffer);
      (failAdd ? fake.failAddAt : fake.failPrepareAt) = failing;

      EXPECT_FALSE(ring.OpenAndStart());
      EXPECT_FALSE(ring.recording);
      EXPECT_FALSE(fake.IsOpen());
      EXPECT_EQ(fake.QueuedCount(), 0u);

      Names expected = {"Open"};
      for (int slot = 0; slot < failing; ++slot) {
        expected.push_back("Prepare");
        expected.push_back("Add");
      }
      expected.push_back("Prepare");
      if (failAdd) expected.push_back("Add");
      expected.push_back("Reset");
      for (int slot = failing; slot >= 0; --slot) expected.push_back("Unprepare");
      expected.push_back("Close");
      EXPECT_EQ(fake.CallNames(), expected);
      std::vector<int> descending = Range(0, failing);
      std::reverse(descending.begin(), descending.end());
      EXPECT_EQ(SlotsOf(fake.Calls(), ring, "Unprepare"), descending);
      for (uint32_t slot = 0; slot < kRingBlocks; ++slot) {
        EXPECT_EQ(ring.Headers()[slot].flags & kHeaderPrepared, 0u) << slot;
      }

      const std::size_t callsAfterFailure = fake.Calls().size();
      ring.Stop();  // not recording: touches nothing
      EXPECT_EQ(fake.Calls().size(), callsAfterFailure);
    }
  }
}

TEST_F(WaveCaptureTest, DeviceThatCannotOpenChangesNothing) {
  device.openResult = kWaveBadDevice;
  capture.lastQueued = 42;
  EXPECT_FALSE(capture.OpenAndStart());
  EXPECT_EQ(device.CallNames(), Names{"Open"});
  EXPECT_EQ(capture.Headers(), nullptr);
  EXPECT_EQ(capture.lastQueued, 42u);
  EXPECT_FALSE(capture.recording);
  capture.Stop();
  EXPECT_EQ(device.CallNames(), Names{"Open"});
}

TEST_F(WaveCaptureTest, StopOnANeverOpenedCaptureCallsNothing) {
  capture.Stop();
  EXPECT_TRUE(device.Calls().empty());
}

TEST_F(WaveCaptureTest, StopBeforeAnyBlockCameBackWaitsForTheReset) {
  ASSERT_TRUE(capture.OpenAndStart());
  const std::size_t before = device.Calls().size();
  capture.Stop();

  EXPECT_EQ(capture.LoadBlocksFilled(), 128u);  // every buffer came back through the reset
  EXPECT_FALSE(capture.recording);
  EXPECT_FALSE(device.IsOpen());
  const auto calls = device.Calls();
  Names names;
  for (std::size_t i = before; i < calls.size(); ++i) names.push_back(calls[i].name);
  Names expected = {"Stop", "Reset"};
  expected.insert(expected.end(), 128, "Unprepare");
  expected.push_back("Close");
  EXPECT_EQ(names, expected);
  EXPECT_EQ(SlotsOf(calls, capture, "Unprepare"), Range(0, 127));
  for (uint32_t slot = 0; slot < kRingBlocks; ++slot) {
    EXPECT_EQ(capture.Headers()[slot].flags & kHeaderPrepared, 0u) << slot;
  }
}

TEST_F(WaveCaptureTest, StopGivesUpOnASourceThatKeepsItsBuffers) {
  device.resetReturnsBuffers = false;
  capture.stopTimeout = std::chrono::milliseconds(20);
  ASSERT_TRUE(capture.OpenAndStart());
  CompleteAndConsume(3);
  capture.Stop();  // returns although 125 blocks never came back

  EXPECT_EQ(capture.LoadBlocksFilled(), 3u);
  EXPECT_FALSE(capture.recording);
  const Names names = device.CallNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "Unprepare"), 128);
  EXPECT_EQ(names.back(), "Close");
}

TEST_F(WaveCaptureTest, SecondOpenReusesTheHeaderBlockAndNumbersFromZero) {
  ASSERT_TRUE(capture.OpenAndStart());
  CompleteAndConsume(10);
  ASSERT_TRUE(capture.RequeueBlocks());
  capture.Stop();
  const WaveHeader* firstBlock = capture.Headers();
  EXPECT_GT(capture.LoadBlocksFilled(), 128u);

  capture.blocksConsumed = 7;  // whatever the owner leaves there is kept
  const std::size_t before = device.Calls().size();
  ASSERT_TRUE(capture.OpenAndStart());
  EXPECT_EQ(capture.Headers(), firstBlock);
  EXPECT_EQ(capture.lastQueued, 127u);
  EXPECT_EQ(capture.LoadBlocksFilled(), 0u);
  EXPECT_EQ(capture.blocksConsumed, 7u);
  EXPECT_TRUE(capture.recording);
  EXPECT_EQ(SlotsOf(device.Calls(), capture, "Add", before), Range(0, 127));
  capture.Stop();
}

TEST_F(WaveCaptureTest, CallbackCountsOnlyDataMessages) {
  ASSERT_TRUE(capture.OpenAndStart());
  for (const uint32_t message : {kWimOpen, kWimClose, kWimData + 1, 0u, kWimData - 1}) {
    device.SendMessage(message);
    EXPECT_EQ(capture.LoadBlocksFilled(), 0u) << message;
  }
  ASSERT_TRUE(device.CompleteNext());
  device.SendMessage(kWimData);  // counted without looking at the (absent) header
  EXPECT_EQ(capture.LoadBlocksFilled(), 2u);
  EXPECT_EQ(capture.lastQueued, 127u);
  EXPECT_EQ(capture.blocksConsumed, 0u);
  capture.Stop();
}

}  // namespace
}  // namespace brindlemoor::testing
