// A wave-in source that replays a sample stream on a virtual clock. Block k of the stream is
// samples 1102k .. 1102k + 1101; after the stream's n samples, silence (128) is appended so that
// the replay holds B = ceil((n + 11025) / 1102) whole blocks: the recording plus at least one
// second of silence. Nothing happens on its own: the owner advances the clock with
// CompleteBlocks, which fills queued buffers in order and reports each through the callback on
// the caller's thread, exactly as a sound card's thread would.
//
// The stream is read as blocks are delivered, straight into the queued buffers, so a recording of
// any length replays in constant memory and nothing is allocated after construction. n, and so B,
// becomes known when the stream's Read first returns 0.
//
// Only the capture format is accepted (PCM, 11025 Hz, 8 bits, mono; anything else is refused with
// kWaveBadDevice), and only buffers of exactly one block (1102 bytes). Like a sound card, the
// device fills buffers only between Start and Stop/Reset. Opening again after Close restarts
// BlocksDelivered at 0 but continues the stream where it stopped: the replay's blocks are not
// rewound.
#pragma once

#include <cstdint>
#include <string>

#include "capture/capture_format.h"
#include "capture/sample_stream.h"
#include "capture/wave_buffer_queue.h"
#include "capture/wave_in_device.h"

namespace brindlemoor {

class ReplayDevice : public WaveInDevice {
 public:
  explicit ReplayDevice(SampleStream& stream);

  // Completes queued buffers, oldest first, until `blockCount` blocks have come back since Open,
  // or all B blocks of the replay have been delivered, or no buffer is queued (or the device is
  // not started). Each buffer gets the next block's 1102 bytes and one kWimData callback with the
  // header as param1.
  void CompleteBlocks(uint32_t blockCount);
  // Blocks returned with data since Open (buffers returned empty by Reset do not count).
  uint32_t BlocksDelivered() const { return blocksDelivered; }
  // True once the stream has ended and every one of the B blocks has been delivered.
  bool Finished() const;
  // B, known once the stream has ended; 0 before.
  uint32_t TotalBlocks() const { return totalBlocks; }
  // Samples read from the stream so far; n once the stream has ended.
  uint64_t StreamSamples() const { return samplesRead; }
  // Buffers queued and not yet returned.
  uint32_t QueuedBuffers() const { return buffers.Size(); }

  WaveResult Open(const WaveFormat& format, WaveInCallback callback, void* instance) override;
  WaveResult PrepareHeader(WaveHeader& header) override;
  WaveResult AddBuffer(WaveHeader& header) override;
  WaveResult Start() override;
  WaveResult Stop() override;
  // Stops the device and returns every queued buffer, in order, with bytesRecorded 0.
  WaveResult Reset() override;
  WaveResult UnprepareHeader(WaveHeader& header) override;
  // Refused with kWaveStillPlaying while buffers are queued, as a sound card does.
  WaveResult Close() override;
  std::string ErrorText() const override { return lastError; }

 private:
  WaveResult Fail(WaveResult result, const char* description);
  WaveResult Refused(WaveResult result);
  // Writes the replay's next block into `out`: stream samples while they last, then silence.
  void FillNextBlock(uint8_t* out);

  SampleStream& stream;
  bool open = false;
  bool started = false;
  WaveBufferQueue<> buffers;
  uint64_t samplesRead = 0;  // n so far
  bool streamEnded = false;
  uint32_t totalBlocks = 0;      // B, once known
  uint32_t nextBlock = 0;        // the replay's next block k, counted over the whole stream
  uint32_t blocksDelivered = 0;  // since Open
  const char* lastError = "";
};

}  // namespace brindlemoor
