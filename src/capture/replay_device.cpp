#include "capture/replay_device.h"

#include <cstring>

namespace brindlemoor {
namespace {

// The replay appends at least this much silence after the recording: one second, so that a
// symbol at the very end is followed by enough quiet for the receiver to finish it.
constexpr uint64_t kTrailingSilenceSamples = kSampleRate;

}  // namespace

ReplayDevice::ReplayDevice(SampleStream& stream) : stream(stream) {}

WaveResult ReplayDevice::Fail(WaveResult result, const char* description) {
  lastError = description;
  return result;
}

WaveResult ReplayDevice::Refused(WaveResult result) {
  return result == kWaveOk ? result : Fail(result, buffers.Refusal());
}

WaveResult ReplayDevice::Open(const WaveFormat& format, WaveInCallback cb, void* inst) {
  if (open) return Fail(kWaveError, "replay device is already open");
  if (format.formatTag != kWaveFormatPcm || format.samplesPerSec != kSampleRate ||
      format.bitsPerSample != kBitsPerSample || format.channels != kChannels) {
    return Fail(kWaveBadDevice, "replay supports only PCM at 11025 Hz, 8 bits, mono");
  }
  buffers.Connect(*this, cb, inst);
  open = true;
  started = false;
  blocksDelivered = 0;
  return kWaveOk;
}

WaveResult ReplayDevice::PrepareHeader(WaveHeader& header) {
  if (!open) return Fail(kWaveError, "replay device is not open");
  if (header.data == nullptr || header.bufferLength != kBlockSamples) {
    return Fail(kWaveError, "replay buffers must hold exactly one block of 1102 bytes");
  }
  return buffers.Prepare(header);
}

WaveResult ReplayDevice::AddBuffer(WaveHeader& header) {
  if (!open) return Fail(kWaveError, "replay device is not open");
  return Refused(buffers.Add(header));
}

WaveResult ReplayDevice::Start() {
  if (!open) return Fail(kWaveError, "replay device is not open");
  started = true;
  return kWaveOk;
}

WaveResult ReplayDevice::Stop() {
  if (!open) return Fail(kWaveError, "replay device is not open");
  started = false;
  return kWaveOk;
}

WaveResult ReplayDevice::Reset() {
  if (!open) return Fail(kWaveError, "replay device is not open");
  started = false;
  buffers.ReturnAll();
  return kWaveOk;
}

WaveResult ReplayDevice::UnprepareHeader(WaveHeader& header) {
  if (!open) return Fail(kWaveError, "replay device is not open");
  return Refused(buffers.Unprepare(header));
}

WaveResult ReplayDevice::Close() {
  if (!open) return Fail(kWaveError, "replay device is not open");
  if (const WaveResult refused = buffers.MayClose(); refused != kWaveOk) return Refused(refused);
  open = false;
  started = false;
  buffers.Disconnect();
  return kWaveOk;
}

bool ReplayDevice::Finished() const { return streamEnded && nextBlock >= totalBlocks; }

void ReplayDevice::FillNextBlock(uint8_t* out) {
  std::size_t filled = 0;
  while (!streamEnded && filled < kBlockSamples) {
    const std::size_t got = stream.Read(out + filled, kBlockSamples - filled);
    if (got == 0) {
      streamEnded = true;
      // B = ceil((n + 11025) / 1102). Every block reached so far started below n + 1102, so the
      // block being filled is always one of the B.
      totalBlocks = static_cast<uint32_t>(
          (samplesRead + kTrailingSilenceSamples + kBlockSamples - 1) / kBlockSamples);
    }
    filled += got;
    samplesRead += got;
  }
  std::memset(out + filled, kSilence, kBlockSamples - filled);
  ++nextBlock;
}

void ReplayDevice::CompleteBlocks(uint32_t blockCount) {
  while (started && blocksDelivered < blockCount && !Finished()) {
    WaveHeader* oldest = buffers.Oldest();
    if (!oldest) break;
    FillNextBlock(oldest->data);
    ++blocksDelivered;
    oldest->bytesRecorded = kBlockSamples;
    buffers.ReturnOldest();
  }
}

}  // namespace brindlemoor
