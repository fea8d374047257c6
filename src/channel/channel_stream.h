// The channel of channel.h applied block by block, so that a recording of any length passes
// through it in memory that does not grow with its length. Without a clock offset it gives, to
// the bit, what ApplyChannel gives for the whole sound; a clock offset resamples with the
// streaming resampler instead of the whole-sound one.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "channel/channel.h"

namespace brindlemoor {

class ChannelStream {
 public:
  // `sentTonePower`: MeasureTonePower (or a ToneMeter) over the whole sound as sent. Null with
  // `error` set when the resampler cannot be made.
  static std::unique_ptr<ChannelStream> Create(int32_t sampleRate, const ChannelSettings& settings,
                                               double sentTonePower, std::string& error);
  ~ChannelStream();
  ChannelStream(const ChannelStream&) = delete;
  ChannelStream& operator=(const ChannelStream&) = delete;

  // Replaces `out` with what `in` becomes so far (the resampler holds some back).
  void Process(std::span<const double> in, std::vector<double>& out);
  // After the last block: what the resampler still holds and the room's reverberant tail.
  void Finish(std::vector<double>& out);

 private:
  ChannelStream();
  struct Impl;
  std::unique_ptr<Impl> impl;
};

}  // namespace brindlemoor
