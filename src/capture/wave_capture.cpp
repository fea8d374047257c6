#include "capture/wave_capture.h"

#include <cassert>
#include <new>
#include <thread>

namespace brindlemoor {
namespace {

// Stop polls the completed-block count this often while the device returns its buffers.
constexpr std::chrono::milliseconds kStopPollInterval{10};

}  // namespace

WaveCapture::WaveCapture(WaveInDevice& device) : device(device) {}

WaveCapture::~WaveCapture() = default;

uint32_t WaveCapture::BlockBytes() const {
  return (static_cast<uint32_t>(channels) * bitsPerSample * samplesPerBlock) >> 3;
}

void WaveCapture::SetUpHeader(uint32_t slot) {
  WaveHeader& header = headers[slot];
  header.data = blockAddresses[slot];
  header.bufferLength = BlockBytes();
  header.bytesRecorded = 0;
  header.user = 0;
  header.flags = 0;  // so the device sees an unprepared header, never a stale "done" one
  header.loops = 0;
}

bool WaveCapture::OpenAndStart() {
  assert(!recording && "OpenAndStart while recording");
  for (uint8_t* address : blockAddresses) assert(address != nullptr && "block address not set");

  format.formatTag = kWaveFormatPcm;
  format.channels = channels;
  format.samplesPerSec = sampleRate;
  format.blockAlign = static_cast<uint16_t>((channels * bitsPerSample) / 8);
  format.avgBytesPerSec = format.samplesPerSec * format.blockAlign;
  format.bitsPerSample = bitsPerSample;
  format.extraSize = 0;

  if (device.Open(format, &WaveCapture::CaptureCallback, this) != kWaveOk) return false;

  if (!headers) {
    headers.reset(new (std::nothrow) WaveHeader[kRingBlocks]);
    if (!headers) {
      device.Close();
      return false;
    }
  }

  for (uint32_t slot = 0; slot < kRingBlocks; ++slot) {
    SetUpHeader(slot);
    if (device.PrepareHeader(headers[slot]) != kWaveOk ||
        device.AddBuffer(headers[slot]) != kWaveOk) {
      // Slots below `slot` are queued, and a queued header cannot be unprepared: reset first so
      // the device gives them back, then unprepare from the failing slot down, then close.
      device.Reset();
      for (uint32_t undo = slot + 1; undo-- > 0;) device.UnprepareHeader(headers[undo]);
      device.Close();
      return false;
    }
  }

  lastQueued = kRingBlocks - 1;
  blocksFilled.store(0, std::memory_order_release);  // before the device can call back
  device.Start();
  recording = true;
  return true;
}

bool WaveCapture::RequeueBlocks() {
  assert(recording && "RequeueBlocks while not recording");
  // The consumer may not pass blocksFilled: otherwise a slot still with the device would be
  // queued twice.
  assert(LoadBlocksFilled() - blocksConsumed <= kRingBlocks &&
         "blocksConsumed passed blocksFilled");

  // The device may hold blocks up to blocksConsumed + 127; slot q & 127 of any block q beyond
  // that is still being read or waiting to be read as block q - 128.
  while (!(blocksConsumed + (kRingBlocks - 1) <= lastQueued)) {
    const uint32_t slot = (lastQueued + 1) & kRingMask;
    SetUpHeader(slot);
    if (device.PrepareHeader(headers[slot]) != kWaveOk) return false;
    if (device.AddBuffer(headers[slot]) != kWaveOk) return false;
    ++lastQueued;
  }
  return true;
}

void WaveCapture::Stop() {
  if (!recording) return;
  device.Stop();
  device.Reset();

  // The reset returns every queued buffer, but possibly later, on the device's thread. Blocks
  // blocksFilled .. lastQueued are still out; a source that never returns them is given up on
  // after stopTimeout so teardown cannot hang.
  const auto deadline = std::chrono::steady_clock::now() + stopTimeout;
  while (LoadBlocksFilled() <= lastQueued && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kStopPollInterval);
  }

  for (uint32_t slot = 0; slot < kRingBlocks; ++slot) device.UnprepareHeader(headers[slot]);
  device.Close();
  recording = false;
}

void WaveCapture::CaptureCallback(WaveInDevice* /*device*/, uint32_t message, void* instance,
                                  uintptr_t /*param1*/, uintptr_t /*param2*/) {
  if (message != kWimData) return;
  // Release: the samples the device wrote into the block happen-before any consumer that loads
  // a count covering it.
  static_cast<WaveCapture*>(instance)->blocksFilled.fetch_add(1, std::memory_order_release);
}

}  // namespace brindlemoor
