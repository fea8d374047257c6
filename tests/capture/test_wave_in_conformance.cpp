// The wave-in conformance cases on the sources that need no sound card: the scriptable fake and
// the replay of a recording, each filled by the test itself.
#include <functional>
#include <string>
#include <vector>

#include "capture/replay_device.h"
#include "capture/sample_stream.h"
#include "testing/fake_wave_in_device.h"
#include "testing/wave_in_conformance.h"

namespace brindlemoor::testing {
namespace {

struct FakeBackend {
  static constexpr bool kNotifies = false;
  static constexpr bool kIdleIsSilence = true;
  static constexpr bool kStopReturnsPartial = false;
  static constexpr bool kGuardsTheQueue = true;
  static std::vector<uint32_t> OrderSizes() { return {300, 1, 1102, 37, 2000, 450, 1102, 64}; }
  static std::vector<uint32_t> StopSizes() { return Blocks(8); }

  std::string Unavailable() const { return {}; }
  WaveInDevice& Device() { return device; }
  bool FillUntil(const std::function<bool()>& condition) {
    while (!condition() && device.CompleteNext(kSilence)) {
    }
    return condition();
  }
  bool FillSome(const CallbackLog& log) {
    return FillUntil([&log] { return log.DataCount() >= 2; });
  }

  FakeWaveInDevice device;
};

// Ten seconds of silence: more blocks than any case takes, so the replay never runs out.
struct ReplayBackend {
  static constexpr bool kNotifies = false;
  static constexpr bool kIdleIsSilence = true;
  static constexpr bool kStopReturnsPartial = false;
  static constexpr bool kGuardsTheQueue = true;
  static std::vector<uint32_t> OrderSizes() { return Blocks(6); }
  static std::vector<uint32_t> StopSizes() { return Blocks(8); }

  std::string Unavailable() const { return {}; }
  WaveInDevice& Device() { return device; }
  bool FillUntil(const std::function<bool()>& condition) {
    while (!condition()) {
      const uint32_t before = device.BlocksDelivered();
      device.CompleteBlocks(before + 1);
      if (device.BlocksDelivered() == before) break;
    }
    return condition();
  }
  bool FillSome(const CallbackLog& log) {
    return FillUntil([&log] { return log.DataCount() >= 2; });
  }

  MemorySampleStream stream{std::vector<uint8_t>(10 * kSampleRate, kSilence)};
  ReplayDevice device{stream};
};

INSTANTIATE_TYPED_TEST_SUITE_P(Fake, WaveInConformance, ::testing::Types<FakeBackend>);
INSTANTIATE_TYPED_TEST_SUITE_P(Replay, WaveInConformance, ::testing::Types<ReplayBackend>);

}  // namespace
}  // namespace brindlemoor::testing
