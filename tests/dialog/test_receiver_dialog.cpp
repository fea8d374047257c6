// The receiver's start-up, commands, timer and teardown against fake window services and a fake
// device: what is allocated, opened, shown and freed, and in which order.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "testing/receiver_rig.h"
#include "testing/signal.h"

namespace brindlemoor {
namespace {

using testing::FakeWaveInDevice;
using testing::FakeWindow;
using testing::MemoryTextOutput;

// An allocator that can refuse the n-th request and counts what it frees.
struct CountingAllocator {
  static inline int failAt = -1;
  static inline int requests = 0;
  static inline int releases = 0;
  static void Reset(int fail) {
    failAt = fail;
    requests = 0;
    releases = 0;
  }
  static void* Allocate(std::size_t size) {
    return requests++ == failAt ? nullptr : std::malloc(size);
  }
  static void* Reallocate(void* block, std::size_t size) {
    return requests++ == failAt ? nullptr : std::realloc(block, size);
  }
  static void Release(void* block) {
    if (block != nullptr) ++releases;
    std::free(block);
  }
  static BufferAllocator Get() { return {Allocate, Reallocate, Release}; }
};

TEST(ReceiverDialogTest, StartUpSetsFormatRingAndTimer) {
  FakeWaveInDevice device;
  FakeWindow window;
  MemoryTextOutput files;
  ReceiverDialog dialog(window, device, files);
  dialog.OnInitDialog();

  const WaveCapture& capture = dialog.Capture();
  EXPECT_EQ(capture.sampleRate, 11025u);
  EXPECT_EQ(capture.bitsPerSample, 8u);
  EXPECT_EQ(capture.channels, 1u);
  EXPECT_EQ(capture.samplesPerBlock, 1102u);
  EXPECT_EQ(dialog.RecordBufferSize(), 141056u);
  for (uint32_t i = 0; i < kRingBlocks; ++i) {
    ASSERT_EQ(capture.blockAddresses[i], dialog.RecordBuffer() + i * 1102);
  }
  EXPECT_EQ(device.lastFormat.samplesPerSec, 11025u);
  EXPECT_EQ(device.lastFormat.avgBytesPerSec, 11025u);
  EXPECT_EQ(device.lastFormat.blockAlign, 1u);
  EXPECT_EQ(window.timers.at(kReceiveTimerId), 500u);
  EXPECT_EQ(dialog.Calibration().gainTable, kReferenceLevels);
  EXPECT_EQ(dialog.Calibration().calibrated, 0);
  EXPECT_EQ(window.iconSets, 1);
  ASSERT_EQ(window.menu.size(), 2u);
  EXPECT_EQ(window.menu[1], std::make_pair(uint32_t{16}, std::string("menu")));
  EXPECT_TRUE(window.messageBoxes.empty());
  dialog.OnDestroy();
}

TEST(ReceiverDialogTest, MenuItemOnlyWithAMenuAndAText) {
  struct Case {
    bool hasMenu;
    const char* text;
    size_t items;
  };
  for (const Case& c : {Case{true, "", 0}, Case{false, "About", 0}, Case{true, "About", 2}}) {
    FakeWaveInDevice device;
    FakeWindow window;
    window.hasSystemMenu = c.hasMenu;
    window.menuString = c.text;
    MemoryTextOutput files;
    ReceiverDialog dialog(window, device, files);
    dialog.OnInitDialog();
    EXPECT_EQ(window.menu.size(), c.items) << c.hasMenu << " '" << c.text << "'";
    dialog.OnDestroy();
  }
}

TEST(ReceiverDialogTest, AboutCommandMasksLowFourBits) {
  FakeWaveInDevice device;
  FakeWindow window;
  MemoryTextOutput files;
  ReceiverDialog dialog(window, device, files);
  for (uint32_t id = 0; id < 64; ++id) {
    const int before = window.aboutBoxes;
    const bool handled = dialog.OnSysCommand(id);
    const bool about = id >= 16 && id <= 31;
    EXPECT_EQ(handled, about) << id;
    EXPECT_EQ(window.aboutBoxes, before + (about ? 1 : 0)) << id;
  }
}

TEST(ReceiverDialogTest, FailedOpenStartsNoTimerAndShowsNothing) {
  FakeWaveInDevice device;
  device.openResult = kWaveBadDevice;
  FakeWindow window;
  MemoryTextOutput files;
  ReceiverDialog dialog(window, device, files);
  dialog.OnInitDialog();
  EXPECT_FALSE(window.TimerRunning(kReceiveTimerId));
  EXPECT_TRUE(window.messageBoxes.empty());
  EXPECT_FALSE(dialog.TimerRunning());
  dialog.OnDestroy();
}

TEST(ReceiverDialogTest, AllocationFailuresShowTheirBoxAndStartNothing) {
  struct Case {
    int failAt;  // 0: the spectrum, 1: the record buffer
    const char* text;
  };
  for (const Case& c : {Case{0, "メモリが確保（malloc）できません!"},
                        Case{1, "録音処理の初期化に失敗しました！"}}) {
    CountingAllocator::Reset(c.failAt);
    FakeWaveInDevice device;
    FakeWindow window;
    MemoryTextOutput files;
    {
      ReceiverDialog dialog(window, device, files, CountingAllocator::Get());
      dialog.OnInitDialog();
      EXPECT_EQ(window.messageBoxes, std::vector<std::string>{c.text});
      EXPECT_TRUE(device.Calls().empty()) << "the device must not be opened";
      EXPECT_FALSE(window.TimerRunning(kReceiveTimerId));
      dialog.OnDestroy();
    }
    EXPECT_EQ(CountingAllocator::releases, c.failAt);  // the spectrum, if it was allocated
  }
}

TEST(ReceiverDialogTest, RecordBufferFailureKeepsTheOldBuffer) {
  CountingAllocator::Reset(-1);
  FakeWaveInDevice device;
  device.openResult = kWaveBadDevice;  // so StartReceiving can run again
  FakeWindow window;
  MemoryTextOutput files;
  ReceiverDialog dialog(window, device, files, CountingAllocator::Get());
  dialog.OnInitDialog();
  const uint8_t* old = dialog.RecordBuffer();
  ASSERT_NE(old, nullptr);
  CountingAllocator::failAt = CountingAllocator::requests + 1;
  dialog.StartReceiving();
  EXPECT_EQ(dialog.RecordBuffer(), old);
  dialog.OnDestroy();
  EXPECT_EQ(CountingAllocator::releases, 3);  // first spectrum, second spectrum, the buffer
}

TEST(ReceiverDialogTest, DestroyWhileATickIsPendingStopsEverythingOnce) {
  CountingAllocator::Reset(-1);
  FakeWaveInDevice device;
  FakeWindow window;
  MemoryTextOutput files;
  ReceiverDialog dialog(window, device, files, CountingAllocator::Get());
  dialog.OnInitDialog();
  device.CompleteNext();
  ASSERT_TRUE(window.TimerRunning(kReceiveTimerId));
  dialog.OnDestroy();
  dialog.OnDestroy();
  EXPECT_FALSE(window.TimerRunning(kReceiveTimerId));
  EXPECT_EQ(CountingAllocator::releases, 2);
  EXPECT_EQ(dialog.Spectrum(), nullptr);
  EXPECT_EQ(dialog.RecordBuffer(), nullptr);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.QueuedCount(), 0u);
}

TEST(ReceiverDialogTest, OtherTimerIdsAreIgnored) {
  testing::ReceiverRig rig;
  rig.Deliver(3);
  rig.dialog.OnTimer(1);
  rig.dialog.OnTimer(3);
  EXPECT_EQ(rig.dialog.Capture().blocksConsumed, 0u);
  rig.Tick();
  EXPECT_EQ(rig.dialog.Capture().blocksConsumed, 3u);
}

// The device's thread completes blocks while the dialog's thread ticks: run under
// ThreadSanitizer, and the text must come through whatever the interleaving.
TEST(ReceiverDialogTest, DeviceThreadAndTicksShareOnlyTheCounter) {
  testing::Stream s;
  const std::string text = "threads";
  for (char c : text) {
    const std::vector<int> period = testing::TonePeriod(static_cast<uint8_t>(c), 100);
    for (int i = 0; i < 420; ++i) {
      const double level = i < 280 ? (i + 1) / 280.0 : 1.0;
      s.bytes.push_back(static_cast<uint8_t>(128 + std::lround(period[i % 45] * level)));
    }
    s.Silence(230);
  }
  s.Silence(2 * kBlockSamples).PadToBlocks();
  const size_t blocks = s.Size() / kBlockSamples;

  testing::ReceiverRig rig;
  std::atomic<bool> done{false};
  std::thread deviceThread([&] {
    for (size_t k = 0; k < blocks;) {
      if (rig.device.CompleteNext(s.bytes.data() + k * kBlockSamples, kBlockSamples))
        ++k;
      else
        std::this_thread::yield();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    done = true;
  });
  while (!done) {
    rig.Tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  deviceThread.join();
  rig.Tick();
  EXPECT_EQ(rig.dialog.Capture().blocksConsumed, blocks);
  EXPECT_EQ(rig.files.receiveText, text);
}

}  // namespace
}  // namespace brindlemoor
