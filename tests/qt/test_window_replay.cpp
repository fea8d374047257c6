// A recording replayed through the window in real time.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>

#include "capture/capture_format.h"
#include "capture/replay_device.h"
#include "capture/sample_stream.h"
#include "dialog/real_time_blocks.h"
#include "qt/receiver_window.h"
#include "qt/replay_pump.h"
#include "synth/symbol_synth.h"
#include "testing/fake_window.h"
#include "window_testing.h"

namespace brindlemoor {
namespace {

TEST(ReplayPumpTest, ARecordingGoesThroughTheWindowNoFasterThanRealTime) {
  const std::vector<uint8_t> message = {0xCA, 0xDB, 0xB0, '!'};  // ﾊﾛｰ!
  MemorySampleStream stream(
      QuantiseToU8(SynthesiseMessage(message, kDefaultTiming, static_cast<int32_t>(kSampleRate))));
  ReplayDevice device(stream);
  testing::MemoryTextOutput files;
  testing::RecordingPresenter presenter;
  ReceiverWindow window(device, files, presenter);
  window.InitDialog();
  ASSERT_TRUE(window.Core().Capture().recording);

  ReplayPump pump(device);
  QElapsedTimer clock;
  clock.start();
  qint64 finishedAt = -1;
  pump.Start([&] { finishedAt = clock.elapsed(); });
  ASSERT_TRUE(testing::WaitFor([&] { return finishedAt >= 0; }, 30000));
  // The last of the B blocks cannot come back before a sound card would have recorded it.
  EXPECT_GE(finishedAt, static_cast<qint64>(BlockCompletionMs(device.TotalBlocks() - 1)));
  ASSERT_TRUE(testing::WaitFor(
      [&] { return window.Core().Capture().blocksConsumed == device.TotalBlocks(); }));
  EXPECT_EQ(files.receiveText, std::string(message.begin(), message.end()));
}

}  // namespace
}  // namespace brindlemoor
