// Receiving allocates nothing in steady state: every tick, with text, calibration or silence,
// runs without a single call to operator new. The program's operator new counts its calls.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "app/receiver_dialog.h"
#include "app/resources.h"
#include "capture/replay_device.h"
#include "capture/sample_stream.h"
#include "testing/signal.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// GCC cannot see that this operator new allocates with malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace brindlemoor {
namespace {

// Window services and files that store nothing, so they cannot allocate either.
class QuietWindow : public WindowServices {
 public:
  void SetTimer(uint32_t, uint32_t) override {}
  void KillTimer(uint32_t) override {}
  void ShowMessageBox(std::string_view) override {}
  void ReplaceText(const char*, std::size_t size) override { shown += size; }
  std::size_t shown = 0;
};

class CountingFiles : public TextOutput {
 public:
  bool Append(OutputFile file, const char*, std::size_t size) override {
    (file == OutputFile::kReceiveText ? text : flags) += size;
    return true;
  }
  std::size_t text = 0;
  std::size_t flags = 0;
};

TEST(NoAllocationTest, TicksAllocateNothingInSteadyState) {
  testing::Stream s;
  s.Silence(3 * 11025);
  auto symbol = [&](uint8_t byte) {
    const std::vector<int> period = testing::TonePeriod(byte, 100);
    for (int i = 0; i < 420; ++i) {
      const double level = i < 280 ? (i + 1) / 280.0 : 1.0;
      s.bytes.push_back(static_cast<uint8_t>(128 + std::lround(period[i % 45] * level)));
    }
    s.Silence(230);
  };
  for (int round = 0; round < 3; ++round) {
    for (uint8_t b : {0, 1, 2, 4, 8, 16, 32, 64, 128}) symbol(b);
    for (int c = 1; c < 256; ++c) symbol(static_cast<uint8_t>(c));
    s.Silence(6 * 11025);
  }

  MemorySampleStream stream(s.bytes);
  ReplayDevice device(stream);
  QuietWindow window;
  CountingFiles files;
  ReceiverDialog dialog(window, device, files);
  dialog.OnInitDialog();
  ASSERT_TRUE(dialog.TimerRunning());

  long tickAllocations = 0;
  for (uint32_t tick = 1;
       !device.Finished() || dialog.Capture().blocksConsumed < device.BlocksDelivered(); ++tick) {
    device.CompleteBlocks(static_cast<uint32_t>(uint64_t{tick} * 11025 / 2204));
    const long before = allocations.load();
    dialog.OnTimer(kReceiveTimerId);
    if (tick > 1) tickAllocations += allocations.load() - before;
  }
  dialog.OnDestroy();
  EXPECT_EQ(tickAllocations, 0);
  EXPECT_EQ(files.text, 3u * 255u);
  EXPECT_GT(files.flags, 0u);
}

}  // namespace
}  // namespace brindlemoor
