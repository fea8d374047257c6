// Virtual radio traffic for the benchmarks and the soak: capture-format samples (11025 Hz,
// unsigned 8-bit) of calibrations, text messages, silences and bursts of noise, synthesised on the
// fly from a seed, so hours of traffic replay in constant memory.
//
// The traffic is cut into chunks of kChunkSamples (1102 s). Chunk c depends only on the seed and
// c, so the traffic from chunk c on is the same whether a stream starts there or reaches it from
// chunk 0. 1102 s is the shortest length after which both the 1102-sample capture blocks and the
// replay's ticks (two per 11025 samples) fall where they fell at the start, so a replay of one
// chunk frames every symbol exactly as a replay of the whole day does. Each chunk also leaves the
// receiver as it found it: it opens with 6 s of silence (more than ten empty ticks, so a
// calibration from before has lapsed) and a calibration (which sets every recorded level), and
// closes with eight symbols 255, which end any calibration that noise may have started (255
// passes every step), and 6 s of silence.
//
// Nothing is allocated after construction, unless a message sink is set.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "capture/capture_format.h"
#include "capture/sample_stream.h"

namespace brindlemoor::bench {

inline constexpr uint64_t kChunkSamples = uint64_t{1102} * kSampleRate;
inline constexpr uint64_t kHourSamples = uint64_t{3600} * kSampleRate;

// The 256 shaped symbols (tone and gap) of the default timing, quantised once.
class SymbolBank {
 public:
  SymbolBank();
  std::span<const uint8_t> Symbol(uint8_t byte) const {
    return {samples.data() + static_cast<size_t>(byte) * symbolLength, symbolLength};
  }
  size_t SymbolLength() const { return symbolLength; }

 private:
  size_t symbolLength = 0;
  std::vector<uint8_t> samples;
};

// What a stream has sent so far.
struct TrafficLog {
  uint64_t textBytes = 0;     // bytes of text messages
  uint32_t messages = 0;      // text messages
  uint32_t calibrations = 0;  // complete calibration sequences (the opening one included)
  uint32_t failedCalibrations = 0;
  uint64_t noiseSamples = 0;
  uint64_t symbols = 0;  // every symbol sent, calibration and closing included
};

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Sent(std::string_view message) = 0;
};

// Keeps every message sent.
class MessageList : public MessageSink {
 public:
  void Sent(std::string_view message) override { messages.emplace_back(message); }
  std::vector<std::string> messages;
};

class TrafficStream : public SampleStream {
 public:
  // `totalSamples` from the start of chunk `firstChunk`; the last chunk may be cut short.
  TrafficStream(const SymbolBank& bank, uint64_t seed, uint32_t firstChunk, uint64_t totalSamples);

  std::size_t Read(uint8_t* out, std::size_t count) override;

  const TrafficLog& Log() const { return log; }
  // When given, `sink` gets the text of each message as its last symbol is generated: the
  // receiver should produce exactly these bytes in order, with whatever noise decodes to in
  // between.
  void SetMessageSink(MessageSink* sink) { messageSink = sink; }

 private:
  enum class Kind : uint8_t { kSilence, kSymbols, kNoise };

  // Plans the next segment of the current chunk, or starts the next chunk.
  void NextSegment();
  // Plans the random segment in the middle of a chunk; false when the closing would not fit.
  bool PlanMiddleSegment();
  void StartChunk(uint32_t index);
  // Plays `byteCount` symbols from `bytes`.
  void PlanSymbols();
  void PlanSymbols(std::span<const uint8_t> symbols);
  void PlanSilence(uint64_t samples);
  void PlanNoise(uint64_t samples, int32_t level);
  void FinishSymbol();
  uint64_t Random();
  uint64_t Uniform(uint64_t low, uint64_t high);  // inclusive

  const SymbolBank& bank;
  const std::vector<uint8_t> calibration;  // 0, 1, 2, 4, ..., 128
  const uint64_t seed;
  uint64_t remaining;  // samples left in the whole stream
  uint32_t chunk;
  uint64_t chunkPosition = 0;  // samples of the current chunk already planned
  int32_t stage = 0;           // where in the chunk we are (opening, middle, closing)
  uint64_t breath = 0;         // silence after the middle segment just planned
  uint64_t rng = 0;

  Kind kind = Kind::kSilence;
  uint64_t segmentLeft = 0;  // samples left in the current segment
  // Symbols: the bytes, the symbol being played and the position within it.
  uint8_t bytes[512] = {};
  size_t byteCount = 0;
  size_t byteIndex = 0;
  size_t symbolPosition = 0;
  bool isText = false;
  int32_t noiseLevel = 0;

  TrafficLog log;
  MessageSink* messageSink = nullptr;
};

}  // namespace brindlemoor::bench
