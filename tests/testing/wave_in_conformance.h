// The cases every wave-in source must pass, whatever fills its buffers: buffers come back in the
// order added, each once, flagged done; a reset returns every queued buffer inside the call on
// the calling thread; stop keeps empty buffers queued; misuse of headers and a second open are
// refused; and the capture ring on top counts only completions and numbers from 0 after a second
// open. Include this in one file of a test program and instantiate it with a backend:
//
//   struct Backend {
//     static constexpr bool kNotifies;          // sends kWimOpen and kWimClose
//     static constexpr bool kIdleIsSilence;     // with no sound, blocks hold silence (128)
//     static constexpr bool kStopReturnsPartial;// StopSizes() are too large to fill: Stop returns
//                                               // just the oldest, partly filled
//     static constexpr bool kGuardsTheQueue;    // refuses a close while buffers are queued and a
//                                               // header queued twice
//     static std::vector<uint32_t> OrderSizes();  // buffer sizes for the order case
//     static std::vector<uint32_t> StopSizes();   // buffer sizes for the stop case
//     std::string Unavailable() const;      // why the source cannot be tested here, or empty
//     WaveInDevice& Device();
//     // Makes the source fill buffers until `condition` holds (a live source just waits for
//     // it); its last value.
//     bool FillUntil(const std::function<bool()>& condition);
//     // Makes the started source record something into the buffers of the stop case.
//     bool FillSome(const CallbackLog& log);
//   };
//
//   INSTANTIATE_TYPED_TEST_SUITE_P(Name, WaveInConformance, ::testing::Types<Backend>);
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_fixture.h"
#include "capture/capture_format.h"
#include "capture/wave_capture.h"
#include "testing/wave_in_log.h"

namespace brindlemoor::testing {

// Buffers of chosen sizes with their headers, owned by the test as the ring owns its blocks.
struct TestBuffers {
  explicit TestBuffers(const std::vector<uint32_t>& sizes) : headers(sizes.size()) {
    for (size_t i = 0; i < sizes.size(); ++i) {
      memory.emplace_back(sizes[i], uint8_t{0});
      headers[i].data = memory.back().data();
      headers[i].bufferLength = sizes[i];
    }
  }
  std::vector<std::vector<uint8_t>> memory;
  std::vector<WaveHeader> headers;
};

inline std::vector<uint32_t> Blocks(size_t count) {
  return std::vector<uint32_t>(count, kBlockSamples);
}

// Passes every message on to the ring, counting each kind on the way.
class CountingDevice : public WaveInDevice {
 public:
  explicit CountingDevice(WaveInDevice& device) : device(device) {}
  WaveResult Open(const WaveFormat& format, WaveInCallback callback, void* instance) override {
    ringCallback = callback;
    ringInstance = instance;
    return device.Open(format, &CountingDevice::Forward, this);
  }
  WaveResult PrepareHeader(WaveHeader& header) override { return device.PrepareHeader(header); }
  WaveResult AddBuffer(WaveHeader& header) override { return device.AddBuffer(header); }
  WaveResult Start() override { return device.Start(); }
  WaveResult Stop() override { return device.Stop(); }
  WaveResult Reset() override { return device.Reset(); }
  WaveResult UnprepareHeader(WaveHeader& header) override { return device.UnprepareHeader(header); }
  WaveResult Close() override { return device.Close(); }
  std::string ErrorText() const override { return device.ErrorText(); }

  std::atomic<uint32_t> opens{0}, data{0}, closes{0};

 private:
  static void Forward(WaveInDevice* /*device*/, uint32_t message, void* instance, uintptr_t param1,
                      uintptr_t param2) {
    auto* self = static_cast<CountingDevice*>(instance);
    if (message == kWimOpen) self->opens.fetch_add(1);
    if (message == kWimData) self->data.fetch_add(1);
    if (message == kWimClose) self->closes.fetch_add(1);
    self->ringCallback(self, message, self->ringInstance, param1, param2);
  }

  WaveInDevice& device;
  WaveInCallback ringCallback = nullptr;
  void* ringInstance = nullptr;
};

template <typename Backend>
class WaveInConformance : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = backend.Unavailable();
    ASSERT_TRUE(why.empty()) << why;
  }

  WaveInDevice& Device() { return backend.Device(); }

  void Open() {
    ASSERT_EQ(Device().Open(CaptureFormat(), &RecordingCallback, &log), kWaveOk)
        << Device().ErrorText();
  }

  void Queue(TestBuffers& buffers) {
    for (WaveHeader& header : buffers.headers) {
      ASSERT_EQ(Device().PrepareHeader(header), kWaveOk) << Device().ErrorText();
      ASSERT_EQ(Device().AddBuffer(header), kWaveOk) << Device().ErrorText();
    }
  }

  void ResetAndClose(TestBuffers& buffers) {
    EXPECT_EQ(Device().Reset(), kWaveOk);
    for (WaveHeader& header : buffers.headers) EXPECT_EQ(Device().UnprepareHeader(header), kWaveOk);
    EXPECT_EQ(Device().Close(), kWaveOk) << Device().ErrorText();
  }

  uint32_t Notices(uint32_t count) const { return Backend::kNotifies ? count : 0; }

  Backend backend;
  CallbackLog log;
};

TYPED_TEST_SUITE_P(WaveInConformance);

TYPED_TEST_P(WaveInConformance, FillsAndReturnsBuffersInTheOrderAdded) {
  this->Open();
  TestBuffers buffers(TypeParam::OrderSizes());
  this->Queue(buffers);
  ASSERT_EQ(this->Device().Start(), kWaveOk) << this->Device().ErrorText();
  const uint32_t count = static_cast<uint32_t>(buffers.headers.size());
  ASSERT_TRUE(this->backend.FillUntil([&] { return this->log.DataCount() == count; }));

  for (uint32_t i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(this->log.returned[i], &buffers.headers[i]);
    EXPECT_EQ(this->log.bytes[i], buffers.headers[i].bufferLength);
    EXPECT_TRUE(buffers.headers[i].flags & kHeaderDone);
    EXPECT_FALSE(buffers.headers[i].flags & kHeaderInQueue);
  }
  this->ResetAndClose(buffers);
  // Reset found nothing queued, so nothing more came back; open and close were reported once.
  EXPECT_EQ(this->log.DataCount(), count);
  EXPECT_EQ(this->log.openCount.load(), this->Notices(1));
  EXPECT_EQ(this->log.closeCount.load(), this->Notices(1));
}

TYPED_TEST_P(WaveInConformance, ResetReturnsEveryQueuedBufferOnTheCallingThreadInsideTheCall) {
  // Without Start nothing is recorded, so every completion comes from the reset.
  this->Open();
  TestBuffers buffers(Blocks(kRingBlocks));
  this->Queue(buffers);
  // A queued header cannot be unprepared, and the device cannot close yet.
  EXPECT_EQ(this->Device().UnprepareHeader(buffers.headers[0]), kWaveStillPlaying);
  if (TypeParam::kGuardsTheQueue) {
    EXPECT_EQ(this->Device().Close(), kWaveStillPlaying);
  }
  ASSERT_EQ(this->Device().Reset(), kWaveOk);
  ASSERT_EQ(this->log.DataCount(), kRingBlocks);
  for (uint32_t i = 0; i < kRingBlocks; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(this->log.returned[i], &buffers.headers[i]);
    EXPECT_EQ(this->log.threads[i], std::this_thread::get_id());
    EXPECT_TRUE(buffers.headers[i].flags & kHeaderDone);
    EXPECT_EQ(buffers.headers[i].bytesRecorded, 0u);
    EXPECT_EQ(this->Device().UnprepareHeader(buffers.headers[i]), kWaveOk);
  }
  EXPECT_EQ(this->Device().Close(), kWaveOk);
}

TYPED_TEST_P(WaveInConformance, StopKeepsTheEmptyBuffersQueuedAndResetReturnsThem) {
  this->Open();
  TestBuffers buffers(TypeParam::StopSizes());
  this->Queue(buffers);
  ASSERT_EQ(this->Device().Start(), kWaveOk);
  ASSERT_TRUE(this->backend.FillSome(this->log));

  EXPECT_EQ(this->Device().Stop(), kWaveOk);
  const uint32_t afterStop = this->log.DataCount();
  const uint32_t count = static_cast<uint32_t>(buffers.headers.size());
  ASSERT_LT(afterStop, count);
  if (TypeParam::kStopReturnsPartial) {
    ASSERT_EQ(afterStop, 1u);
    EXPECT_EQ(this->log.returned[0], &buffers.headers[0]);
    EXPECT_GT(this->log.bytes[0], 0u);
  }
  // The empty ones stay queued: they cannot be unprepared, and the device cannot close yet.
  EXPECT_EQ(this->Device().UnprepareHeader(buffers.headers.back()), kWaveStillPlaying);
  if (TypeParam::kGuardsTheQueue) {
    EXPECT_EQ(this->Device().Close(), kWaveStillPlaying);
  }
  EXPECT_EQ(this->Device().Reset(), kWaveOk);
  // Every buffer is back once the reset returns, in the order added, the later ones empty.
  ASSERT_EQ(this->log.DataCount(), count);
  for (uint32_t i = 0; i < count; ++i) {
    EXPECT_EQ(this->log.returned[i], &buffers.headers[i]) << i;
    if (i >= afterStop) {
      EXPECT_EQ(this->log.bytes[i], 0u) << i;
    }
  }
  for (WaveHeader& header : buffers.headers) {
    EXPECT_EQ(this->Device().UnprepareHeader(header), kWaveOk);
  }
  EXPECT_EQ(this->Device().Close(), kWaveOk);
}

TYPED_TEST_P(WaveInConformance, RefusesMisuseOfHeadersAndASecondOpen) {
  this->Open();
  TestBuffers buffers(Blocks(1));
  WaveHeader& header = buffers.headers[0];
  EXPECT_EQ(this->Device().AddBuffer(header), kWaveUnprepared);
  ASSERT_EQ(this->Device().PrepareHeader(header), kWaveOk);
  ASSERT_EQ(this->Device().AddBuffer(header), kWaveOk);
  if (TypeParam::kGuardsTheQueue) {
    EXPECT_EQ(this->Device().AddBuffer(header), kWaveStillPlaying);
  }
  CallbackLog other;
  EXPECT_NE(this->Device().Open(CaptureFormat(), &RecordingCallback, &other), kWaveOk);
  EXPECT_FALSE(this->Device().ErrorText().empty());
  EXPECT_EQ(other.openCount.load(), 0u);
  this->ResetAndClose(buffers);
}

TYPED_TEST_P(WaveInConformance, RingCountsOnlyCompletionsAndNumbersFromZeroAfterASecondOpen) {
  CountingDevice device(this->Device());
  WaveCapture capture(device);
  std::vector<uint8_t> record;
  ConfigureForReceiver(capture, record);

  ASSERT_TRUE(capture.OpenAndStart()) << device.ErrorText();
  EXPECT_EQ(device.opens.load(), this->Notices(1));
  const WaveHeader* headers = capture.Headers();
  ASSERT_TRUE(this->backend.FillUntil([&] { return capture.LoadBlocksFilled() >= 3; }));
  // A receive tick: consume what is filled and hand it back.
  capture.blocksConsumed = capture.LoadBlocksFilled();
  ASSERT_TRUE(capture.RequeueBlocks());
  EXPECT_EQ(capture.lastQueued, capture.blocksConsumed + 127);

  const auto stopStarted = std::chrono::steady_clock::now();
  capture.Stop();
  // The reset's completions arrive inside the call, so Stop does not wait for its time limit.
  EXPECT_LT(std::chrono::steady_clock::now() - stopStarted, capture.stopTimeout / 2);
  EXPECT_FALSE(capture.recording);
  EXPECT_EQ(device.closes.load(), this->Notices(1));
  // The open and close notices are not counted: exactly the blocks that came back are.
  EXPECT_EQ(capture.LoadBlocksFilled(), device.data.load());
  EXPECT_EQ(capture.LoadBlocksFilled(), capture.lastQueued + 1);
  for (uint32_t slot = 0; slot < kRingBlocks; ++slot) {
    EXPECT_FALSE(headers[slot].flags & (kHeaderPrepared | kHeaderInQueue)) << slot;
  }

  const uint32_t firstRun = device.data.load();
  std::fill(record.begin(), record.end(), uint8_t{0});
  capture.blocksConsumed = 0;
  ASSERT_TRUE(capture.OpenAndStart()) << device.ErrorText();
  EXPECT_EQ(capture.Headers(), headers);  // the header block is reused
  EXPECT_EQ(capture.lastQueued, 127u);
  EXPECT_EQ(device.opens.load(), this->Notices(2));
  ASSERT_TRUE(this->backend.FillUntil([&] { return capture.LoadBlocksFilled() >= 2; }));
  // Blocks 0 and 1 of the second run came back first, full, into slots 0 and 1.
  for (uint32_t slot = 0; slot < 2; ++slot) {
    EXPECT_TRUE(headers[slot].flags & kHeaderDone) << slot;
    EXPECT_EQ(headers[slot].bytesRecorded, kBlockSamples) << slot;
    if (TypeParam::kIdleIsSilence) {
      EXPECT_EQ(record[slot * kBlockSamples + kBlockSamples - 1], kSilence) << slot;
    }
  }
  capture.Stop();
  // Nothing was requeued: the reset hands back the 128 queued blocks, numbered from 0.
  EXPECT_EQ(capture.LoadBlocksFilled(), device.data.load() - firstRun);
  EXPECT_EQ(capture.LoadBlocksFilled(), kRingBlocks);
}

REGISTER_TYPED_TEST_SUITE_P(WaveInConformance, FillsAndReturnsBuffersInTheOrderAdded,
                            ResetReturnsEveryQueuedBufferOnTheCallingThreadInsideTheCall,
                            StopKeepsTheEmptyBuffersQueuedAndResetReturnsThem,
                            RefusesMisuseOfHeadersAndASecondOpen,
                            RingCountsOnlyCompletionsAndNumbersFromZeroAfterASecondOpen);

}  // namespace brindlemoor::testing
