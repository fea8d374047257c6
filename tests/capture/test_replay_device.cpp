// The replay source: block layout and the appended silence, the virtual clock, reset and reopen,
// and the capture ring driven by it end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "capture/replay_device.h"
#include "capture/sample_stream.h"
#include "capture/wave_capture.h"
#include "capture_fixture.h"

namespace brindlemoor::testing {
namespace {

constexpr uint32_t kAll = std::numeric_limits<uint32_t>::max();

// Sample i of the test recordings; depends on the block number too, so swapped blocks differ.
uint8_t Pattern(uint64_t i) { return static_cast<uint8_t>(i * 7 + i / kBlockSamples); }

std::vector<uint8_t> Recording(uint64_t n) {
  std::vector<uint8_t> samples(n);
  for (uint64_t i = 0; i < n; ++i) samples[i] = Pattern(i);
  return samples;
}

// What block k of a replay of Recording(n) must hold.
std::vector<uint8_t> ExpectedBlock(uint64_t n, uint64_t k) {
  std::vector<uint8_t> block(kBlockSamples);
  for (uint32_t j = 0; j < kBlockSamples; ++j) {
    const uint64_t i = k * kBlockSamples + j;
    block[j] = i < n ? Pattern(i) : kSilence;
  }
  return block;
}

// Hands out at most `limit` samples per Read, as a decoder with small buffers would.
class TrickleStream : public SampleStream {
 public:
  TrickleStream(std::vector<uint8_t> samples, std::size_t limit)
      : inner(std::move(samples)), limit(limit) {}
  std::size_t Read(uint8_t* out, std::size_t count) override {
    return inner.Read(out, std::min(count, limit));
  }

 private:
  MemorySampleStream inner;
  std::size_t limit;
};

WaveFormat CaptureFormat() {
  WaveFormat format;
  format.formatTag = kWaveFormatPcm;
  format.channels = kChannels;
  format.samplesPerSec = kSampleRate;
  format.bitsPerSample = kBitsPerSample;
  format.blockAlign = 1;
  format.avgBytesPerSec = kSampleRate;
  return format;
}

// Owns 128 one-block buffers and records what comes back through the callback.
struct Harness {
  struct Returned {
    const WaveHeader* header;
    uint32_t bytes;
    std::vector<uint8_t> data;
  };

  explicit Harness(SampleStream& stream) : device(stream) {
    for (uint32_t slot = 0; slot < kRingBlocks; ++slot) {
      headers[slot].data = buffers.data() + slot * kBlockSamples;
      headers[slot].bufferLength = kBlockSamples;
    }
  }

  static void Callback(WaveInDevice*, uint32_t message, void* instance, uintptr_t param1,
                       uintptr_t) {
    auto* self = static_cast<Harness*>(instance);
    ASSERT_EQ(message, kWimData);
    const auto* header = reinterpret_cast<const WaveHeader*>(param1);
    self->returned.push_back(
        {header, header->bytesRecorded,
         std::vector<uint8_t>(header->data, header->data + header->bytesRecorded)});
  }

  void OpenAndQueue(uint32_t count) {
    ASSERT_EQ(device.Open(CaptureFormat(), &Callback, this), kWaveOk);
    for (uint32_t slot = 0; slot < count; ++slot) {
      ASSERT_EQ(device.PrepareHeader(headers[slot]), kWaveOk);
      ASSERT_EQ(device.AddBuffer(headers[slot]), kWaveOk);
    }
  }

  ReplayDevice device;
  std::vector<uint8_t> buffers = std::vector<uint8_t>(kRingBytes);
  std::array<WaveHeader, kRingBlocks> headers{};
  std::vector<Returned> returned;
};

// B = ceil((n + 11025) / 1102): the recording plus at least a second of silence. It steps up
// where n + 11025 passes a multiple of 1102, i.e. at n = 1102k - 4.
TEST(ReplayDevice, DeliversTheRecordingAndItsSilenceAsWholeBlocks) {
  struct Case {
    uint64_t n;
    uint32_t blocks;
  };
  const Case cases[] = {{0, 11},    {1, 11},    {1097, 11}, {1098, 12}, {1102, 12},
                        {1103, 12}, {2199, 12}, {2200, 13}, {2204, 13}, {13224, 23}};
  for (const Case& c : cases) {
    for (const std::size_t trickle : {std::size_t{1} << 20, std::size_t{37}, std::size_t{1}}) {
      SCOPED_TRACE(::testing::Message() << "n = " << c.n << ", reads of " << trickle);
      TrickleStream stream(Recording(c.n), trickle);
      Harness harness(stream);
      harness.OpenAndQueue(kRingBlocks);
      ASSERT_EQ(harness.device.Start(), kWaveOk);
      EXPECT_EQ(harness.device.TotalBlocks(), 0u);  // not known before the stream ends
      EXPECT_FALSE(harness.device.Finished());

      harness.device.CompleteBlocks(kAll);

      EXPECT_EQ(harness.device.TotalBlocks(), c.blocks);
      EXPECT_EQ(harness.device.BlocksDelivered(), c.blocks);
      EXPECT_TRUE(harness.device.Finished());
      EXPECT_EQ(harness.device.StreamSamples(), c.n);
      EXPECT_EQ(harness.device.QueuedBuffers(), kRingBlocks - c.blocks);
      ASSERT_EQ(harness.returned.size(), c.blocks);
      for (uint32_t k = 0; k < c.blocks; ++k) {
        EXPECT_EQ(harness.returned[k].header, &harness.headers[k]);
        EXPECT_EQ(harness.returned[k].bytes, kBlockSamples);
        EXPECT_EQ(harness.returned[k].data, ExpectedBlock(c.n, k)) << "block " << k;
        EXPECT_EQ(harness.headers[k].flags & (kHeaderDone | kHeaderInQueue), kHeaderDone);
      }
      harness.device.CompleteBlocks(kAll);  // nothing beyond the last block
      EXPECT_EQ(harness.returned.size(), c.blocks);
    }
  }
}

TEST(ReplayDevice, ClockStopsAtTheCountAtAnEmptyQueueAndWhenNotStarted) {
  MemorySampleStream stream(Recording(50 * kBlockSamples));
  Harness harness(stream);
  harness.OpenAndQueue(8);

  harness.device.CompleteBlocks(3);  // not started: a sound card records nothing yet
  EXPECT_EQ(harness.device.BlocksDelivered(), 0u);

  ASSERT_EQ(harness.device.Start(), kWaveOk);
  const struct {
    uint32_t count;
    uint32_t delivered;
  } steps[] = {{3, 3}, {3, 3}, {2, 3}, {5, 5}, {100, 8}};
  for (const auto& step : steps) {
    harness.device.CompleteBlocks(step.count);
    EXPECT_EQ(harness.device.BlocksDelivered(), step.delivered) << step.count;
    EXPECT_EQ(harness.returned.size(), step.delivered);
  }
  EXPECT_EQ(harness.device.QueuedBuffers(), 0u);
  EXPECT_FALSE(harness.device.Finished());
  for (uint32_t k = 0; k < 8; ++k)
    EXPECT_EQ(harness.returned[k].data, ExpectedBlock(50 * kBlockSamples, k));

  ASSERT_EQ(harness.device.Stop(), kWaveOk);
  ASSERT_EQ(harness.device.AddBuffer(harness.headers[0]), kWaveOk);
  harness.device.CompleteBlocks(100);
  EXPECT_EQ(harness.device.BlocksDelivered(), 8u);
}

TEST(ReplayDevice, ResetReturnsQueuedBuffersEmptyAndReopenContinuesTheStream) {
  const uint64_t n = 30 * kBlockSamples + 17;
  MemorySampleStream stream(Recording(n));
  Harness harness(stream);
  harness.OpenAndQueue(6);
  ASSERT_EQ(harness.device.Start(), kWaveOk);
  harness.device.CompleteBlocks(2);
  EXPECT_EQ(harness.device.Close(), kWaveStillPlaying);  // buffers are still queued

  ASSERT_EQ(harness.device.Reset(), kWaveOk);
  ASSERT_EQ(harness.returned.size(), 6u);
  for (uint32_t i = 2; i < 6; ++i) {
    EXPECT_EQ(harness.returned[i].header, &harness.headers[i]);
    EXPECT_EQ(harness.returned[i].bytes, 0u);
  }
  EXPECT_EQ(harness.device.BlocksDelivered(), 2u);
  EXPECT_EQ(harness.device.QueuedBuffers(), 0u);
  for (uint32_t i = 0; i < 6; ++i)
    EXPECT_EQ(harness.device.UnprepareHeader(harness.headers[i]), kWaveOk);
  ASSERT_EQ(harness.device.Close(), kWaveOk);

  // Numbering restarts, the stream does not: the next block is the recording's block 2.
  harness.returned.clear();
  harness.OpenAndQueue(3);
  EXPECT_EQ(harness.device.BlocksDelivered(), 0u);
  ASSERT_EQ(harness.device.Start(), kWaveOk);
  harness.device.CompleteBlocks(3);
  ASSERT_EQ(harness.returned.size(), 3u);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(harness.returned[i].data, ExpectedBlock(n, 2 + i));
}

TEST(ReplayDevice, RefusesAnythingButTheCaptureFormatAndBlock) {
  MemorySampleStream stream(Recording(10));
  ReplayDevice device(stream);
  const auto with = [](auto change) {
    WaveFormat format = CaptureFormat();
    change(format);
    return format;
  };
  const WaveFormat wrong[] = {
      with([](WaveFormat& f) { f.samplesPerSec = 44100; }),
      with([](WaveFormat& f) { f.bitsPerSample = 16; }),
      with([](WaveFormat& f) { f.channels = 2; }),
      with([](WaveFormat& f) { f.formatTag = 3; }),
  };
  for (const WaveFormat& format : wrong) {
    EXPECT_EQ(device.Open(format, nullptr, nullptr), kWaveBadDevice);
    EXPECT_FALSE(device.ErrorText().empty());
  }

  ASSERT_EQ(device.Open(CaptureFormat(), nullptr, nullptr), kWaveOk);
  std::vector<uint8_t> buffer(2 * kBlockSamples);
  WaveHeader header;
  header.data = buffer.data();
  for (const uint32_t length : {kBlockSamples - 1, kBlockSamples + 1, 2 * kBlockSamples}) {
    header.bufferLength = length;
    EXPECT_NE(device.PrepareHeader(header), kWaveOk) << length;
  }
  header.bufferLength = kBlockSamples;
  EXPECT_EQ(device.AddBuffer(header), kWaveUnprepared);
  EXPECT_EQ(device.PrepareHeader(header), kWaveOk);
  EXPECT_EQ(device.AddBuffer(header), kWaveOk);
  EXPECT_EQ(device.UnprepareHeader(header), kWaveStillPlaying);
}

// The capture ring on the replay, as the receiver drives it: several trips around the ring, every
// block in place and in order, then a clean stop.
TEST(ReplayDevice, DrivesTheCaptureRingToTheEnd) {
  const uint64_t n = 400 * kBlockSamples + 555;
  const uint32_t blocks = 411;  // ceil((n + 11025) / 1102)
  TrickleStream stream(Recording(n), 4096);
  ReplayDevice device(stream);
  WaveCapture capture(device);
  std::vector<uint8_t> recordBuffer;
  ConfigureForReceiver(capture, recordBuffer);
  ASSERT_TRUE(capture.OpenAndStart());

  uint32_t clock = 0;
  while (!(device.Finished() && capture.blocksConsumed == capture.LoadBlocksFilled())) {
    clock += 7;
    device.CompleteBlocks(clock);
    const uint32_t snapshot = capture.LoadBlocksFilled();
    ASSERT_LE(snapshot, clock);
    for (uint32_t q = capture.blocksConsumed; q < snapshot; ++q) {
      const uint8_t* block = recordBuffer.data() + (q & kRingMask) * kBlockSamples;
      ASSERT_EQ(std::vector<uint8_t>(block, block + kBlockSamples), ExpectedBlock(n, q)) << q;
    }
    capture.blocksConsumed = snapshot;
    ASSERT_TRUE(capture.RequeueBlocks());
  }
  EXPECT_EQ(capture.blocksConsumed, blocks);
  EXPECT_EQ(device.TotalBlocks(), blocks);

  capture.Stop();
  EXPECT_EQ(capture.LoadBlocksFilled(), blocks + kRingBlocks);  // the reset returned the rest
  EXPECT_EQ(device.QueuedBuffers(), 0u);
  EXPECT_EQ(device.BlocksDelivered(), blocks);
  // Closed: opening again is accepted.
  EXPECT_EQ(device.Open(CaptureFormat(), nullptr, nullptr), kWaveOk);
}

}  // namespace
}  // namespace brindlemoor::testing
