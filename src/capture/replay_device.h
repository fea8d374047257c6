// A wave-in source that replays a sample stream on a virtual clock. Block k of the stream is
// samples 1102k .. 1102k + 1101; after the stream's n samples, silence is appended so that the
// replay holds B = ceil((n + 11025) / 1102) whole blocks. Nothing happens on its own: the owner
// advances the clock with CompleteBlocks, which fills queued buffers in order and reports each
// through the callback on the caller's thread, exactly as a sound card's thread would.
#pragma once

#include <cstdint>

#include "capture/sample_stream.h"
#include "capture/wave_in_device.h"

namespace brindlemoor {

class ReplayDevice : public WaveInDevice {
 public:
  explicit ReplayDevice(SampleStream& stream);

  // Completes queued buffers until `blockCount` blocks have come back since Open, or the replay
  // holds no more blocks, or no buffer is queued.
  void CompleteBlocks(uint32_t blockCount);
  // Blocks returned with data since Open.
  uint32_t BlocksDelivered() const { return blocksDelivered; }
  // True once the stream has ended and every one of the B blocks has been delivered.
  bool Finished() const;
  // B, known once the stream has ended; 0 before.
  uint32_t TotalBlocks() const { return totalBlocks; }

  WaveResult Open(const WaveFormat& format, WaveInCallback callback, void* instance) override;
  WaveResult PrepareHeader(WaveHeader& header) override;
  WaveResult AddBuffer(WaveHeader& header) override;
  WaveResult Start() override;
  WaveResult Stop() override;
  WaveResult Reset() override;
  WaveResult UnprepareHeader(WaveHeader& header) override;
  WaveResult Close() override;
  std::string ErrorText() const override;

 private:
  SampleStream& stream;
  WaveInCallback callback = nullptr;
  void* instance = nullptr;
  bool open = false;
  // Queued headers in the order added. Bounded by the ring's 128 slots.
  WaveHeader* queue[128] = {};
  uint32_t queueHead = 0;
  uint32_t queueSize = 0;
  uint64_t samplesRead = 0;   // n so far
  bool streamEnded = false;
  uint32_t totalBlocks = 0;   // B, once known
  uint32_t blocksDelivered = 0;
};

}  // namespace brindlemoor
