// The winmm wave-in device against the system's sound service (under wine: winepulse on the
// private loopback PulseAudio that scripts/windows.sh test starts): the order in which buffers
// come back, the reset that returns every queued buffer inside the call, and the capture ring on
// top of it counting only completions and numbering from 0 again after a second open.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "capture/capture_fixture.h"
#include "capture/capture_format.h"
#include "capture/wave_capture.h"
#include "live/live_test_support.h"
#include "live/winmm_device.h"

namespace brindlemoor {
namespace {

using testing::CallbackLog;
using testing::CaptureFormat;
using testing::RecordingCallback;
using testing::WaitUntil;

// Blocks of the capture size with their headers, owned by the test as the ring owns its own.
struct Buffers {
  explicit Buffers(std::size_t count) : memory(count * kBlockSamples, 0), headers(count) {
    for (std::size_t i = 0; i < count; ++i) {
      headers[i].data = memory.data() + i * kBlockSamples;
      headers[i].bufferLength = kBlockSamples;
    }
  }
  std::vector<uint8_t> memory;
  std::vector<WaveHeader> headers;
};

class WinmmDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(device.Open(CaptureFormat(), &RecordingCallback, &log), kWaveOk)
        << device.ErrorText();
  }
  void Queue(Buffers& buffers) {
    for (WaveHeader& header : buffers.headers) {
      ASSERT_EQ(device.PrepareHeader(header), kWaveOk) << device.ErrorText();
      ASSERT_EQ(device.AddBuffer(header), kWaveOk) << device.ErrorText();
    }
  }
  void ResetAndClose(Buffers& buffers) {
    EXPECT_EQ(device.Reset(), kWaveOk);
    for (WaveHeader& header : buffers.headers) EXPECT_EQ(device.UnprepareHeader(header), kWaveOk);
    EXPECT_EQ(device.Close(), kWaveOk) << device.ErrorText();
  }

  CallbackLog log;
  WinmmWaveInDevice device;
};

TEST_F(WinmmDeviceTest, ReturnsFullBuffersInTheOrderAdded) {
  Buffers buffers(6);
  Queue(buffers);
  ASSERT_EQ(device.Start(), kWaveOk);
  ASSERT_TRUE(WaitUntil([&] { return log.DataCount() == 4; }));
  for (uint32_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(log.returned[i], &buffers.headers[i]);
    EXPECT_EQ(log.bytes[i], kBlockSamples);
    EXPECT_TRUE(buffers.headers[i].flags & kHeaderDone);
    EXPECT_FALSE(buffers.headers[i].flags & kHeaderInQueue);
  }
  EXPECT_EQ(log.openCount.load(), 1u);
  ResetAndClose(buffers);
  EXPECT_EQ(log.closeCount.load(), 1u);
}

// Records on which thread each completion arrives.
struct ThreadLog {
  std::vector<DWORD> threads;
  static void Callback(WaveInDevice* /*device*/, uint32_t message, void* instance,
                       uintptr_t /*param1*/, uintptr_t /*param2*/) {
    // Only the reset's completions are collected, while the test thread waits inside the call.
    if (message == kWimData)
      static_cast<ThreadLog*>(instance)->threads.push_back(GetCurrentThreadId());
  }
};

TEST(WinmmDeviceReset, ReturnsEveryQueuedBufferOnTheCallingThreadInsideTheCall) {
  // Without Start nothing is recorded, so every completion comes from the reset.
  ThreadLog threads;
  WinmmWaveInDevice device;
  ASSERT_EQ(device.Open(CaptureFormat(), &ThreadLog::Callback, &threads), kWaveOk)
      << device.ErrorText();
  Buffers buffers(kRingBlocks);
  for (WaveHeader& header : buffers.headers) {
    ASSERT_EQ(device.PrepareHeader(header), kWaveOk);
    ASSERT_EQ(device.AddBuffer(header), kWaveOk);
  }
  // A queued header cannot be unprepared.
  EXPECT_EQ(device.UnprepareHeader(buffers.headers[0]), kWaveStillPlaying);
  ASSERT_EQ(device.Reset(), kWaveOk);
  ASSERT_EQ(threads.threads.size(), kRingBlocks);
  for (DWORD thread : threads.threads) EXPECT_EQ(thread, GetCurrentThreadId());
  for (WaveHeader& header : buffers.headers) {
    EXPECT_TRUE(header.flags & kHeaderDone);
    EXPECT_EQ(header.bytesRecorded, 0u);
    EXPECT_EQ(device.UnprepareHeader(header), kWaveOk);
  }
  EXPECT_EQ(device.Close(), kWaveOk);
}

TEST_F(WinmmDeviceTest, StopReturnsTheBufferInProgressAndResetTheRest) {
  Buffers buffers(8);
  Queue(buffers);
  ASSERT_EQ(device.Start(), kWaveOk);
  ASSERT_TRUE(WaitUntil([&] { return log.DataCount() >= 2; }));
  EXPECT_EQ(device.Stop(), kWaveOk);
  const uint32_t afterStop = log.DataCount();
  EXPECT_EQ(device.Reset(), kWaveOk);
  // Every buffer is back once the reset returns, in the order added, the later ones empty.
  ASSERT_EQ(log.DataCount(), buffers.headers.size());
  for (uint32_t i = 0; i < buffers.headers.size(); ++i) {
    EXPECT_EQ(log.returned[i], &buffers.headers[i]);
    if (i >= afterStop) {
      EXPECT_EQ(log.bytes[i], 0u) << i;
    }
  }
  for (WaveHeader& header : buffers.headers) EXPECT_EQ(device.UnprepareHeader(header), kWaveOk);
  EXPECT_EQ(device.Close(), kWaveOk);
}

TEST_F(WinmmDeviceTest, RefusesASecondOpenAndNamesTheCall) {
  CallbackLog other;
  EXPECT_NE(device.Open(CaptureFormat(), &RecordingCallback, &other), kWaveOk);
  EXPECT_NE(device.ErrorText().find("waveInOpen"), std::string::npos) << device.ErrorText();
  EXPECT_EQ(device.Close(), kWaveOk);
}

// Passes every message on to the ring, counting each kind on the way.
class CountingDevice : public WaveInDevice {
 public:
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

  WinmmWaveInDevice device;
  WaveInCallback ringCallback = nullptr;
  void* ringInstance = nullptr;
};

TEST(WinmmRing, CountsOnlyCompletionsAndNumbersFromZeroAfterASecondOpen) {
  CountingDevice device;
  WaveCapture capture(device);
  std::vector<uint8_t> recordBuffer;
  testing::ConfigureForReceiver(capture, recordBuffer);

  ASSERT_TRUE(capture.OpenAndStart());
  EXPECT_EQ(device.opens.load(), 1u);
  const WaveHeader* headers = capture.Headers();
  ASSERT_TRUE(WaitUntil([&] { return capture.LoadBlocksFilled() >= 3; }));
  // A receive tick: consume what is filled and hand it back.
  capture.blocksConsumed = capture.LoadBlocksFilled();
  ASSERT_TRUE(capture.RequeueBlocks());
  EXPECT_EQ(capture.lastQueued, capture.blocksConsumed + 127);

  const auto stopStarted = std::chrono::steady_clock::now();
  capture.Stop();
  // The reset's completions arrive inside the call, so Stop does not wait for its time limit.
  EXPECT_LT(std::chrono::steady_clock::now() - stopStarted, capture.stopTimeout / 2);
  EXPECT_EQ(device.closes.load(), 1u);
  EXPECT_EQ(capture.LoadBlocksFilled(), device.data.load());
  EXPECT_EQ(capture.LoadBlocksFilled(), capture.lastQueued + 1);
  for (uint32_t slot = 0; slot < kRingBlocks; ++slot) {
    EXPECT_FALSE(headers[slot].flags & (kHeaderPrepared | kHeaderInQueue)) << slot;
  }

  const uint32_t firstRun = device.data.load();
  capture.blocksConsumed = 0;
  ASSERT_TRUE(capture.OpenAndStart());
  EXPECT_EQ(capture.Headers(), headers);
  EXPECT_EQ(capture.lastQueued, 127u);
  EXPECT_EQ(device.opens.load(), 2u);
  ASSERT_TRUE(WaitUntil([&] { return capture.LoadBlocksFilled() >= 2; }));
  // Block 0 of the second run is slot 0 again, and full.
  EXPECT_EQ(headers[0].bytesRecorded, kBlockSamples);
  capture.Stop();
  EXPECT_EQ(capture.LoadBlocksFilled(), device.data.load() - firstRun);
  EXPECT_EQ(capture.LoadBlocksFilled(), 128u);
}

}  // namespace
}  // namespace brindlemoor
