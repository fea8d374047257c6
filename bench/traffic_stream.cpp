#include "bench/traffic_stream.h"

#include <algorithm>
#include <array>
#include <cassert>

#include "synth/symbol_synth.h"

namespace brindlemoor::bench {
namespace {

constexpr uint64_t kSecond = kSampleRate;
constexpr uint64_t kLeadSilence = 6 * kSecond;  // > 10 ticks: `calibrated` lapses before a chunk
constexpr uint64_t kTailSilence = 6 * kSecond;
constexpr uint64_t kBreath = kSecond;  // silence around the fixed parts of a chunk
constexpr uint8_t kClosingByte = 255;
constexpr size_t kClosingSymbols = 8;
constexpr size_t kMinMessage = 16;
constexpr size_t kMaxMessage = 400;
constexpr std::array<int32_t, 6> kNoiseLevels = {2, 4, 8, 16, 32, 64};
constexpr std::array<uint8_t, 3> kFailingCalibration = {0, 1, 4};  // step 1 lacks bit 1
constexpr uint64_t kChunkSeedStep = 0xD1B54A32D192ED03ull;

// Stages of a chunk: fixed opening, random middle, fixed closing.
enum Stage : int32_t {
  kLead,
  kOpeningCalibration,
  kAfterOpening,
  kMiddle,
  kMiddleBreath,
  kBeforeClosing,
  kClosing,
  kTail,
  kChunkDone,
};

uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

SymbolBank::SymbolBank() {
  std::vector<double> symbol;
  for (int byte = 0; byte < 256; ++byte) {
    symbol.clear();
    AppendSymbol(symbol, static_cast<uint8_t>(byte), kDefaultTiming, kSampleRate);
    const std::vector<uint8_t> quantised = QuantiseToU8(symbol);
    if (byte == 0) {
      symbolLength = quantised.size();
      samples.reserve(256 * symbolLength);
    }
    assert(quantised.size() == symbolLength);
    samples.insert(samples.end(), quantised.begin(), quantised.end());
  }
}

TrafficStream::TrafficStream(const SymbolBank& bank, uint64_t seed, uint32_t firstChunk,
                             uint64_t totalSamples)
    : bank(bank), calibration(CalibrationSequence()), seed(seed), remaining(totalSamples) {
  StartChunk(firstChunk);
}

void TrafficStream::StartChunk(uint32_t index) {
  chunk = index;
  chunkPosition = 0;
  stage = kLead;
  rng = seed ^ (uint64_t{index} * kChunkSeedStep);
}

uint64_t TrafficStream::Random() { return SplitMix(rng); }

uint64_t TrafficStream::Uniform(uint64_t low, uint64_t high) {
  return low + Random() % (high - low + 1);
}

void TrafficStream::PlanSilence(uint64_t samples) {
  kind = Kind::kSilence;
  segmentLeft = samples;
  chunkPosition += samples;
}

void TrafficStream::PlanNoise(uint64_t samples, int32_t level) {
  kind = Kind::kNoise;
  noiseLevel = level;
  segmentLeft = samples;
  chunkPosition += samples;
  log.noiseSamples += samples;
}

void TrafficStream::PlanSymbols() {
  byteIndex = 0;
  symbolPosition = 0;
  kind = Kind::kSymbols;
  segmentLeft = byteCount * bank.SymbolLength();
  chunkPosition += segmentLeft;
  log.symbols += byteCount;
}

void TrafficStream::PlanSymbols(std::span<const uint8_t> symbols) {
  assert(symbols.size() <= sizeof bytes);
  std::copy(symbols.begin(), symbols.end(), bytes);
  byteCount = symbols.size();
  isText = false;
  PlanSymbols();
}

void TrafficStream::NextSegment() {
  switch (stage) {
    case kChunkDone:
      StartChunk(chunk + 1);
      [[fallthrough]];
    case kLead:
      PlanSilence(kLeadSilence);
      stage = kOpeningCalibration;
      return;
    case kOpeningCalibration:
      PlanSymbols(calibration);
      ++log.calibrations;
      stage = kAfterOpening;
      return;
    case kAfterOpening:
      PlanSilence(kBreath);
      stage = kMiddle;
      return;
    case kMiddle:
      if (PlanMiddleSegment()) {
        stage = kMiddleBreath;
        return;
      }
      stage = kBeforeClosing;
      NextSegment();
      return;
    case kMiddleBreath:
      PlanSilence(breath);
      stage = kMiddle;
      return;
    case kBeforeClosing:
      PlanSilence(kBreath);
      stage = kClosing;
      return;
    case kClosing: {
      std::array<uint8_t, kClosingSymbols> closing;
      closing.fill(kClosingByte);
      PlanSymbols(closing);
      stage = kTail;
      return;
    }
    case kTail:
      assert(kChunkSamples - chunkPosition >= kTailSilence);
      PlanSilence(kChunkSamples - chunkPosition);
      stage = kChunkDone;
      return;
  }
}

bool TrafficStream::PlanMiddleSegment() {
  const uint64_t symbol = bank.SymbolLength();
  const uint64_t closing = kBreath + kClosingSymbols * symbol + kTailSilence;
  // Drawn before the fit is known, so that a chunk's randomness does not depend on it.
  const uint64_t choice = Uniform(0, 99);
  breath = Uniform(kSecond / 4, 3 * kSecond);
  uint64_t length = 0;
  int32_t level = 0;
  if (choice < 60) {
    // A text message: mostly printable lines, sometimes any bytes but zero.
    byteCount = Uniform(kMinMessage, kMaxMessage);
    const bool printable = Uniform(0, 9) < 7;
    for (size_t i = 0; i < byteCount; ++i) {
      if (!printable) {
        bytes[i] = static_cast<uint8_t>(Uniform(1, 255));
      } else {
        bytes[i] = Uniform(0, 40) == 0 ? uint8_t{'\n'} : static_cast<uint8_t>(Uniform(' ', '~'));
      }
    }
    length = byteCount * symbol;
  } else if (choice < 75) {
    length = Uniform(2 * kSecond, 30 * kSecond);
  } else if (choice < 90) {
    length = Uniform(kSecond, 10 * kSecond);
    level = kNoiseLevels[Uniform(0, kNoiseLevels.size() - 1)];
  } else if (choice < 95) {
    length = 9 * symbol;
  } else {
    length = kFailingCalibration.size() * symbol;
  }
  if (chunkPosition + length + breath + closing > kChunkSamples) return false;

  if (choice < 60) {
    isText = true;
    PlanSymbols();
  } else if (choice < 75) {
    PlanSilence(length);
  } else if (choice < 90) {
    PlanNoise(length, level);
  } else if (choice < 95) {
    PlanSymbols(calibration);
    ++log.calibrations;
  } else {
    PlanSymbols(kFailingCalibration);
    ++log.failedCalibrations;
  }
  return true;
}

void TrafficStream::FinishSymbol() {
  symbolPosition = 0;
  ++byteIndex;
  if (byteIndex == byteCount && isText) {
    ++log.messages;
    log.textBytes += byteCount;
    if (messageSink != nullptr) {
      messageSink->Sent({reinterpret_cast<const char*>(bytes), byteCount});
    }
  }
}

std::size_t TrafficStream::Read(uint8_t* out, std::size_t count) {
  std::size_t done = 0;
  while (done < count && remaining > 0) {
    if (segmentLeft == 0) {
      NextSegment();
      continue;
    }
    const std::size_t n = static_cast<std::size_t>(
        std::min<uint64_t>({segmentLeft, remaining, static_cast<uint64_t>(count - done)}));
    switch (kind) {
      case Kind::kSilence:
        std::fill(out + done, out + done + n, kSilence);
        break;
      case Kind::kNoise: {
        const uint64_t span = 2 * static_cast<uint64_t>(noiseLevel) + 1;
        for (std::size_t i = 0; i < n; ++i) {
          out[done + i] = static_cast<uint8_t>(kSilence - noiseLevel +
                                               static_cast<int32_t>((Random() >> 32) % span));
        }
        break;
      }
      case Kind::kSymbols: {
        std::size_t copied = 0;
        while (copied < n) {
          const std::span<const uint8_t> symbol = bank.Symbol(bytes[byteIndex]);
          const std::size_t take = std::min(n - copied, symbol.size() - symbolPosition);
          std::copy_n(symbol.data() + symbolPosition, take, out + done + copied);
          copied += take;
          symbolPosition += take;
          if (symbolPosition == symbol.size()) FinishSymbol();
        }
        break;
      }
    }
    done += n;
    segmentLeft -= n;
    remaining -= n;
  }
  return done;
}

}  // namespace brindlemoor::bench
