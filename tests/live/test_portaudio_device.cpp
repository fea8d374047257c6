// The PortAudio wave-in device against a real sound server (the private loopback PulseAudio
// that the test's wrapper starts). Every case runs in both ways the device can record: straight
// in the capture format, and at the device's own rate through the converter.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "capture/capture_format.h"
#include "capture/wave_capture.h"
#include "live/live_test_support.h"
#include "live/portaudio_device.h"

namespace brindlemoor {
namespace {

using testing::CallbackLog;
using testing::CaptureFormat;
using testing::RecordingCallback;
using testing::WaitUntil;

// Buffers of chosen sizes with their headers, owned by the test like the ring owns its blocks.
struct Buffers {
  explicit Buffers(const std::vector<uint32_t>& sizes) : headers(sizes.size()) {
    for (size_t i = 0; i < sizes.size(); ++i) {
      memory.emplace_back(sizes[i], uint8_t{0});
      headers[i].data = memory.back().data();
      headers[i].bufferLength = sizes[i];
    }
  }
  std::vector<std::vector<uint8_t>> memory;
  std::vector<WaveHeader> headers;
};

class PortAudioDeviceTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session.Ok()) << session.ErrorText();
    device = std::make_unique<PortAudioDevice>(
        session, PortAudioDevice::Options{.device = "", .forceConversion = GetParam()});
    ASSERT_EQ(device->Open(CaptureFormat(), &RecordingCallback, &log), kWaveOk)
        << device->ErrorText();
    ASSERT_EQ(device->Converting(), GetParam());
  }

  void Queue(Buffers& buffers) {
    for (WaveHeader& header : buffers.headers) {
      ASSERT_EQ(device->PrepareHeader(header), kWaveOk);
      ASSERT_EQ(device->AddBuffer(header), kWaveOk);
    }
  }

  void ResetAndClose(Buffers& buffers) {
    EXPECT_EQ(device->Reset(), kWaveOk);
    for (WaveHeader& header : buffers.headers) EXPECT_EQ(device->UnprepareHeader(header), kWaveOk);
    EXPECT_EQ(device->Close(), kWaveOk) << device->ErrorText();
  }

  PortAudioSession session{PortAudioSession::Probe::kQuiet};
  CallbackLog log;
  std::unique_ptr<PortAudioDevice> device;
};

TEST_P(PortAudioDeviceTest, FillsAndReturnsBuffersInTheOrderAdded) {
  // Uneven sizes, so that block boundaries fall anywhere inside the device's callbacks.
  Buffers buffers({300, 1, 1102, 37, 2000, 450, 1102, 64});
  Queue(buffers);
  ASSERT_EQ(device->Start(), kWaveOk) << device->ErrorText();
  ASSERT_TRUE(WaitUntil([&] { return log.DataCount() == buffers.headers.size(); }));

  for (size_t i = 0; i < buffers.headers.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(log.returned[i], &buffers.headers[i]);
    EXPECT_EQ(log.bytes[i], buffers.headers[i].bufferLength);
    EXPECT_TRUE(buffers.headers[i].flags & kHeaderDone);
    EXPECT_FALSE(buffers.headers[i].flags & kHeaderInQueue);
  }
  ResetAndClose(buffers);
  // Reset found nothing queued, so nothing more came back; open and close were reported once.
  EXPECT_EQ(log.DataCount(), buffers.headers.size());
  EXPECT_EQ(log.openCount.load(), 1u);
  EXPECT_EQ(log.closeCount.load(), 1u);
}

TEST_P(PortAudioDeviceTest, ResetReturnsEveryQueuedBufferWithWhatItHolds) {
  constexpr uint32_t kSmall = 100;
  constexpr uint32_t kHuge = 1'000'000;  // 90 s of sound: never filled during the test
  Buffers buffers({kSmall, kHuge, kHuge, kHuge});
  Queue(buffers);
  ASSERT_EQ(device->Start(), kWaveOk);
  // Wait until the second buffer holds something, without reading it while the stream runs.
  ASSERT_TRUE(WaitUntil([&] { return device->SamplesCaptured() > kSmall + 10; }));

  EXPECT_EQ(device->Reset(), kWaveOk);
  ASSERT_EQ(log.DataCount(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(log.returned[i], &buffers.headers[i]) << i;
  EXPECT_EQ(log.bytes[0], kSmall);
  EXPECT_GT(log.bytes[1], 10u);
  EXPECT_LT(log.bytes[1], kHuge);
  EXPECT_EQ(log.bytes[2], 0u);
  EXPECT_EQ(log.bytes[3], 0u);
  for (WaveHeader& header : buffers.headers) EXPECT_EQ(device->UnprepareHeader(header), kWaveOk);
  EXPECT_EQ(device->Close(), kWaveOk);
  EXPECT_EQ(log.DataCount(), 4u);
}

TEST_P(PortAudioDeviceTest, StopReturnsOnlyAPartlyFilledOldestBuffer) {
  Buffers buffers({1'000'000, 1'000'000});
  Queue(buffers);
  ASSERT_EQ(device->Start(), kWaveOk);
  ASSERT_TRUE(WaitUntil([&] { return device->SamplesCaptured() > 0; }));

  EXPECT_EQ(device->Stop(), kWaveOk);
  ASSERT_EQ(log.DataCount(), 1u);
  EXPECT_EQ(log.returned[0], &buffers.headers[0]);
  EXPECT_GT(log.bytes[0], 0u);
  // The empty one stays queued: it cannot be unprepared, and the device cannot close yet.
  EXPECT_EQ(device->UnprepareHeader(buffers.headers[1]), kWaveStillPlaying);
  EXPECT_EQ(device->Close(), kWaveStillPlaying);
  EXPECT_EQ(device->Reset(), kWaveOk);
  ASSERT_EQ(log.DataCount(), 2u);
  EXPECT_EQ(log.returned[1], &buffers.headers[1]);
  EXPECT_EQ(log.bytes[1], 0u);
  for (WaveHeader& header : buffers.headers) EXPECT_EQ(device->UnprepareHeader(header), kWaveOk);
  EXPECT_EQ(device->Close(), kWaveOk);
}

TEST_P(PortAudioDeviceTest, ReopenedDeviceStartsWithTheFirstBufferAddedAgain) {
  Buffers first({500, 500, 1'000'000});
  Queue(first);
  ASSERT_EQ(device->Start(), kWaveOk);
  ASSERT_TRUE(WaitUntil([&] { return log.DataCount() >= 2; }));
  ResetAndClose(first);
  ASSERT_EQ(log.DataCount(), 3u);

  ASSERT_EQ(device->Open(CaptureFormat(), &RecordingCallback, &log), kWaveOk);
  EXPECT_EQ(device->SamplesCaptured(), 0u);
  Buffers second({200, 200});
  Queue(second);
  ASSERT_EQ(device->Start(), kWaveOk);
  ASSERT_TRUE(WaitUntil([&] { return log.DataCount() == 5; }));
  EXPECT_EQ(log.returned[3], &second.headers[0]);
  EXPECT_EQ(log.returned[4], &second.headers[1]);
  ResetAndClose(second);
  EXPECT_EQ(log.openCount.load(), 2u);
  EXPECT_EQ(log.closeCount.load(), 2u);
}

TEST_P(PortAudioDeviceTest, SoundWithNoBufferQueuedIsDroppedNotStored) {
  ASSERT_EQ(device->Start(), kWaveOk);
  ASSERT_TRUE(WaitUntil([&] { return device->SamplesDropped() > 0; }));
  Buffers late({300});
  Queue(late);
  ASSERT_TRUE(WaitUntil([&] { return log.DataCount() == 1; }));
  EXPECT_EQ(log.bytes[0], 300u);
  ResetAndClose(late);
}

TEST_P(PortAudioDeviceTest, RefusesMisuseOfHeadersAndASecondOpen) {
  Buffers buffers({100});
  WaveHeader& header = buffers.headers[0];
  EXPECT_EQ(device->AddBuffer(header), kWaveUnprepared);
  ASSERT_EQ(device->PrepareHeader(header), kWaveOk);
  ASSERT_EQ(device->AddBuffer(header), kWaveOk);
  EXPECT_EQ(device->AddBuffer(header), kWaveStillPlaying);
  EXPECT_NE(device->Open(CaptureFormat(), &RecordingCallback, &log), kWaveOk);
  EXPECT_FALSE(device->ErrorText().empty());
  ResetAndClose(buffers);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, PortAudioDeviceTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Converted" : "Direct";
                         });

// The capture ring on the real device, as the receiver drives it.
class PortAudioRingTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session.Ok()) << session.ErrorText();
    capture.sampleRate = kSampleRate;
    capture.bitsPerSample = kBitsPerSample;
    capture.channels = kChannels;
    capture.samplesPerBlock = kBlockSamples;
    for (uint32_t i = 0; i < kRingBlocks; ++i) {
      capture.blockAddresses[i] = record.data() + i * kBlockSamples;
    }
  }

  PortAudioSession session{PortAudioSession::Probe::kQuiet};
  PortAudioDevice device{session, {.device = "", .forceConversion = GetParam()}};
  WaveCapture capture{device};
  std::vector<uint8_t> record = std::vector<uint8_t>(kRingBytes, 0);
};

TEST_P(PortAudioRingTest, CountsOnlyCompletionsAndRestartsNumberingAfterStop) {
  capture.blocksConsumed = 0;
  ASSERT_TRUE(capture.OpenAndStart()) << device.ErrorText();
  const WaveHeader* headers = capture.Headers();
  ASSERT_TRUE(WaitUntil([&] { return capture.LoadBlocksFilled() >= 3; }));
  capture.Stop();
  // The reset hands back all 128 queued blocks; the device's open and close notices are not
  // counted, so the count is exactly the number of blocks that came back.
  EXPECT_EQ(capture.LoadBlocksFilled(), kRingBlocks);
  EXPECT_EQ(capture.lastQueued, kRingBlocks - 1);
  EXPECT_FALSE(capture.recording);

  std::fill(record.begin(), record.end(), uint8_t{0});
  capture.blocksConsumed = 0;
  ASSERT_TRUE(capture.OpenAndStart()) << device.ErrorText();
  EXPECT_EQ(capture.Headers(), headers);  // the header block is reused
  ASSERT_TRUE(WaitUntil([&] { return capture.LoadBlocksFilled() >= 2; }));
  // Blocks 0 and 1 came back first, full, into slots 0 and 1: the loopback's silence is 128.
  for (uint32_t slot = 0; slot < 2; ++slot) {
    EXPECT_TRUE(headers[slot].flags & kHeaderDone) << slot;
    EXPECT_EQ(headers[slot].bytesRecorded, kBlockSamples) << slot;
    EXPECT_EQ(record[slot * kBlockSamples + kBlockSamples - 1], kSilence) << slot;
  }
  capture.Stop();
  EXPECT_EQ(capture.LoadBlocksFilled(), kRingBlocks);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, PortAudioRingTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Converted" : "Direct";
                         });

TEST(PortAudioDeviceOpen, NamesTheReasonWhenItCannotOpen) {
  PortAudioSession session(PortAudioSession::Probe::kQuiet);
  CallbackLog log;
  struct Case {
    const char* device;
    WaveFormat format;
    WaveResult expected;
  };
  WaveFormat sixteenBit = CaptureFormat();
  sixteenBit.bitsPerSample = 16;
  WaveFormat stereo = CaptureFormat();
  stereo.channels = 2;
  for (const Case& c : {Case{"no such device anywhere", CaptureFormat(), kWaveBadDevice},
                        Case{"999", CaptureFormat(), kWaveBadDevice},
                        Case{"", sixteenBit, kWaveError}, Case{"", stereo, kWaveError}}) {
    SCOPED_TRACE(c.device);
    PortAudioDevice device(session, {.device = c.device, .forceConversion = false});
    EXPECT_EQ(device.Open(c.format, &RecordingCallback, &log), c.expected);
    EXPECT_FALSE(device.ErrorText().empty());
    EXPECT_EQ(device.Close(), kWaveError);  // never opened
  }
  EXPECT_EQ(log.openCount.load(), 0u);
}

TEST(PortAudioDeviceList, ListsTheDefaultInputAndFindsItByName) {
  PortAudioSession session(PortAudioSession::Probe::kQuiet);
  const std::vector<AudioDeviceInfo> devices = ListAudioDevices(session);
  const AudioDeviceInfo* input = nullptr;
  for (const AudioDeviceInfo& device : devices) {
    if (device.defaultInput) input = &device;
  }
  ASSERT_NE(input, nullptr);
  EXPECT_GT(input->maxInputChannels, 0);

  int index = -1;
  IoError error;
  // Empty, the name, the index, and the name as --list-devices prints it.
  for (const std::string& selector : {std::string(), input->name, std::to_string(input->index),
                                      input->name + " (" + input->hostApi + ")"}) {
    SCOPED_TRACE(selector);
    ASSERT_TRUE(ResolveAudioDevice(session, selector, AudioDirection::kInput, index, error))
        << error.description;
    EXPECT_EQ(index, input->index);
  }
}

}  // namespace
}  // namespace brindlemoor
