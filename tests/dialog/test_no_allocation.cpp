// Receiving allocates nothing in steady state: every tick, with text, calibration, noise or
// silence, runs without a single call to operator new, with outputs kept in memory and with the
// headless receiver's (files appended in a directory, each tick's text written to a stream). The
// program's operator new counts its calls.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "capture/replay_device.h"
#include "capture/sample_stream.h"
#include "dialog/headless_services.h"
#include "dialog/receiver_dialog.h"
#include "dialog/resources.h"
#include "files/directory_text_output.h"
#include "testing/signal.h"
#include "testing/temp_directory.h"

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

// Three rounds of a calibration, every text byte, a burst of noise and six seconds of silence.
std::vector<uint8_t> Traffic() {
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
  uint32_t noise = 1;
  for (int round = 0; round < 3; ++round) {
    for (uint8_t b : {0, 1, 2, 4, 8, 16, 32, 64, 128}) symbol(b);
    for (int c = 1; c < 256; ++c) symbol(static_cast<uint8_t>(c));
    s.Silence(11025);
    for (int i = 0; i < 2 * 11025; ++i) {
      noise = noise * 1664525u + 1013904223u;
      s.bytes.push_back(static_cast<uint8_t>(128 - 40 + (noise >> 24) % 81));
    }
    s.Silence(6 * 11025);
  }
  return s.bytes;
}

// Replays `traffic` through a dialog and returns the operator new calls made inside ticks after
// the first.
long TickAllocations(const std::vector<uint8_t>& traffic, WindowServices& window,
                     TextOutput& files, Framing framing = Framing::kExact) {
  MemorySampleStream stream(traffic);
  ReplayDevice device(stream);
  ReceiverDialog dialog(window, device, files);
  dialog.SetFraming(framing);
  dialog.OnInitDialog();
  EXPECT_TRUE(dialog.TimerRunning());
  long tickAllocations = 0;
  for (uint32_t tick = 1;
       !device.Finished() || dialog.Capture().blocksConsumed < device.BlocksDelivered(); ++tick) {
    device.CompleteBlocks(static_cast<uint32_t>(uint64_t{tick} * 11025 / 2204));
    const long before = allocations.load();
    dialog.OnTimer(kReceiveTimerId);
    if (tick > 1) tickAllocations += allocations.load() - before;
  }
  dialog.OnDestroy();
  return tickAllocations;
}

TEST(NoAllocationTest, TicksAllocateNothingInSteadyState) {
  QuietWindow window;
  CountingFiles files;
  EXPECT_EQ(TickAllocations(Traffic(), window, files), 0);
  EXPECT_GE(files.text, 3u * 255u);  // noise may decode to a few more
  EXPECT_GT(files.flags, 0u);
}

TEST(NoAllocationTest, RobustTicksAllocateNothingInSteadyState) {
  QuietWindow window;
  CountingFiles files;
  EXPECT_EQ(TickAllocations(Traffic(), window, files, Framing::kRobust), 0);
  EXPECT_GE(files.text, 3u * 250u);
  EXPECT_GT(files.flags, 0u);
}

TEST(NoAllocationTest, HeadlessOutputsAllocateNothingInSteadyState) {
  const std::filesystem::path directory = testing::MakeTempDirectory("brindlemoor-noalloc");
  std::FILE* text = std::tmpfile();
  ASSERT_NE(text, nullptr);
  {
    HeadlessServices window(text, stderr, "test");
    DirectoryTextOutput files(directory.string());
    EXPECT_EQ(TickAllocations(Traffic(), window, files), 0);
  }
  EXPECT_GE(std::ftell(text), 3 * 255);
  std::fclose(text);
  EXPECT_GE(std::filesystem::file_size(directory / "receive.txt"), 3u * 255u);
  EXPECT_GT(std::filesystem::file_size(directory / "flag.dat"), 0u);
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace brindlemoor
