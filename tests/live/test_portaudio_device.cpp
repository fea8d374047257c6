// The PortAudio wave-in device against a real sound server (the private loopback PulseAudio
// that the test's wrapper starts): the shared wave-in conformance cases, and what only this
// device does. Every case runs in both ways the device can record: straight in the capture
// format, and at the device's own rate through the converter.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "live/portaudio_device.h"
#include "testing/wave_in_conformance.h"
#include "testing/wave_in_log.h"

namespace brindlemoor::testing {
namespace {

// The device on the loopback server's default input, recording directly or converting.
template <bool Converting>
struct PortAudioBackend {
  static constexpr bool kNotifies = true;
  static constexpr bool kIdleIsSilence = true;  // the loopback's silence
  static constexpr bool kStopReturnsPartial = true;
  static constexpr bool kGuardsTheQueue = true;
  // Uneven sizes, so that block boundaries fall anywhere inside the device's callbacks.
  static std::vector<uint32_t> OrderSizes() { return {300, 1, 1102, 37, 2000, 450, 1102, 64}; }
  // 90 s of sound each: never filled during the test.
  static std::vector<uint32_t> StopSizes() { return {1'000'000, 1'000'000}; }

  std::string Unavailable() const { return session.Ok() ? std::string() : session.ErrorText(); }
  WaveInDevice& Device() { return device; }
  bool FillUntil(const std::function<bool()>& condition) { return WaitUntil(condition); }
  bool FillSome(const CallbackLog& /*log*/) {
    return WaitUntil([&] { return device.SamplesCaptured() > 0; });
  }

  PortAudioSession session{PortAudioSession::Probe::kQuiet};
  PortAudioDevice device{session, {.device = "", .forceConversion = Converting}};
};

using PortAudioBackends = ::testing::Types<PortAudioBackend<false>, PortAudioBackend<true>>;
struct PortAudioBackendNames {
  template <typename Backend>
  static std::string GetName(int index) {
    return index == 0 ? "Direct" : "Converted";
  }
};
INSTANTIATE_TYPED_TEST_SUITE_P(PortAudio, WaveInConformance, PortAudioBackends,
                               PortAudioBackendNames);

}  // namespace
}  // namespace brindlemoor::testing

namespace brindlemoor {
namespace {

using testing::CallbackLog;
using testing::CaptureFormat;
using testing::RecordingCallback;
using testing::WaitUntil;

using Buffers = testing::TestBuffers;

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

INSTANTIATE_TEST_SUITE_P(BothPaths, PortAudioDeviceTest, ::testing::Values(false, true),
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
