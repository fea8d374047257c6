// The winmm wave-in device against the system's sound service (under wine: winepulse on the
// private loopback PulseAudio that scripts/windows.sh test starts): the shared wave-in
// conformance cases, and the call a refused open names.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "live/winmm_device.h"
#include "testing/wave_in_conformance.h"
#include "testing/wave_in_log.h"

namespace brindlemoor::testing {
namespace {

struct WinmmBackend {
  static constexpr bool kNotifies = true;
  static constexpr bool kIdleIsSilence = false;
  static constexpr bool kStopReturnsPartial = false;
  // The service wine provides closes with buffers queued and queues a header twice; Windows'
  // own refuses both, and the device passes on what the service says.
  static constexpr bool kGuardsTheQueue = false;
  static std::vector<uint32_t> OrderSizes() { return Blocks(6); }
  static std::vector<uint32_t> StopSizes() { return Blocks(8); }

  std::string Unavailable() const { return {}; }
  WaveInDevice& Device() { return device; }
  bool FillUntil(const std::function<bool()>& condition) { return WaitUntil(condition); }
  bool FillSome(const CallbackLog& log) {
    return WaitUntil([&log] { return log.DataCount() >= 2; });
  }

  WinmmWaveInDevice device;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Winmm, WaveInConformance, ::testing::Types<WinmmBackend>);

TEST(WinmmDevice, RefusesASecondOpenAndNamesTheCall) {
  CallbackLog log;
  WinmmWaveInDevice device;
  ASSERT_EQ(device.Open(CaptureFormat(), &RecordingCallback, &log), kWaveOk) << device.ErrorText();
  CallbackLog other;
  EXPECT_NE(device.Open(CaptureFormat(), &RecordingCallback, &other), kWaveOk);
  EXPECT_NE(device.ErrorText().find("waveInOpen"), std::string::npos) << device.ErrorText();
  EXPECT_EQ(device.Close(), kWaveOk);
}

}  // namespace
}  // namespace brindlemoor::testing
