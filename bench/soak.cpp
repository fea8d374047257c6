// soak: a day of virtual traffic (traffic_stream.h) replayed through one receiver in one run,
// generated on the fly, then the same traffic decoded chunk by chunk by a fresh receiver each:
// the outputs must be the same bytes, memory must stay flat and the receiver must allocate
// nothing after its first chunk.
//
//   soak [--hours H | --chunks N] [--seed S]     (default: 24 hours, 79 chunks of 1102 s)
//
// The continuous run's ticks fall into chunk c when they scan blocks of chunk c (2204 ticks per
// chunk), so its outputs are compared chunk by chunk with the separate runs'. For each chunk the
// tool prints the text and calibration lines received, whether the two runs agree, the resident
// memory at the end of the chunk and the heap allocations made during it.
//
// It also finds every message sent, whole and in order, in the text received.
//
// Exit status: 0 all chunks agree, every message came out, memory stayed flat and no tick
// allocated after the first chunk; 1 otherwise; 2 bad arguments.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "bench/traffic_stream.h"
#include "capture/replay_device.h"
#include "dialog/receiver_dialog.h"
#include "dialog/replay_run.h"
#include "dialog/resources.h"

namespace {
std::atomic<uint64_t> allocations{0};
}  // namespace

// Every call of operator new is counted; the other forms (arrays, nothrow) come to it through the
// standard library's defaults, or are the sanitizer's own in sanitised builds, matched by its
// own deletes.
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// GCC cannot see that this operator new allocates with malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace brindlemoor::bench {
namespace {

constexpr uint64_t kSeed = 20240;
constexpr uint32_t kTicksPerChunk = static_cast<uint32_t>(2 * kChunkSamples / kSampleRate);
// Resident memory may move by a few pages (stdio, the kernel's accounting); anything that grows
// with the traffic grows by far more over a day.
constexpr long kFlatMemorySlackKiB = 64;

// FNV-1a over everything written to each file, per chunk.
struct Digest {
  uint64_t hash = 1469598103934665603ull;
  uint64_t bytes = 0;
  uint32_t lines = 0;
  void Add(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      hash = (hash ^ static_cast<uint8_t>(data[i])) * 1099511628211ull;
      lines += data[i] == '\n';
    }
    bytes += size;
  }
  bool operator==(const Digest&) const = default;
};

struct ChunkResult {
  Digest text;
  Digest flags;
};

// Finds the messages sent, in order, in the text received (noise decodes to bytes in between),
// holding only the messages not yet found and the last kilobyte received. A message that never
// comes out is skipped as soon as one of the next few does. The generator reports a message once
// its last symbol and gap are generated, and the receiver may decode that symbol before the gap
// is, so a message is also looked for in what has already arrived when it is reported.
class MessageMatcher : public MessageSink {
 public:
  // Called by the generator (outside ticks) with each message it has sent.
  void Sent(std::string_view message) override {
    pending.emplace_back(message);
    ++sent;
    if (pending.size() > 1) return;
    // Every end position after the last message found whose bytes are still in the ring.
    const uint64_t oldest = end > kRecent ? end - kRecent : 0;
    for (uint64_t e = std::max(foundEnd, oldest) + message.size(); e <= end; ++e) {
      if (EndsAt(pending.front(), e)) {
        Found(0, e);
        return;
      }
    }
  }

  void Received(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      recent[end++ % kRecent] = data[i];
      for (std::size_t k = 0; k < pending.size() && k < kLookAhead; ++k) {
        if (end - foundEnd >= pending[k].size() && EndsAt(pending[k], end)) {
          Found(k, end);
          break;
        }
      }
    }
  }
  uint64_t FoundCount() const { return found; }
  // Messages sent and not found, counting those still awaited.
  uint64_t Missed() const { return missed + pending.size(); }
  uint64_t Sent() const { return sent; }

 private:
  static constexpr std::size_t kRecent = 1024;  // longer than any message
  static constexpr std::size_t kLookAhead = 4;

  // Whether the bytes received before position `e` end with `message`.
  bool EndsAt(const std::string& message, uint64_t e) const {
    if (message.size() > e || end - (e - message.size()) > kRecent) return false;
    for (std::size_t j = 0; j < message.size(); ++j) {
      if (recent[(e - message.size() + j) % kRecent] != message[j]) return false;
    }
    return true;
  }
  // Pending message k ended at `e`; those before it were missed.
  void Found(std::size_t k, uint64_t e) {
    missed += k;
    found += 1;
    foundEnd = e;
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(k + 1));
  }

  std::deque<std::string> pending;  // sent, not found yet
  char recent[kRecent] = {};
  uint64_t end = 0;       // bytes received
  uint64_t foundEnd = 0;  // where the last message found ended
  uint64_t sent = 0;
  uint64_t found = 0;
  uint64_t missed = 0;
};

// Sends what is written to the digests of the chunk being decoded, and the text to a matcher.
class DigestOutput : public TextOutput {
 public:
  explicit DigestOutput(std::vector<ChunkResult>& results, MessageMatcher* matcher = nullptr)
      : results(results), matcher(matcher) {}
  bool Append(OutputFile file, const char* data, std::size_t size) override {
    ChunkResult& result = results[chunk];
    (file == OutputFile::kReceiveText ? result.text : result.flags).Add(data, size);
    if (file == OutputFile::kReceiveText && matcher != nullptr) matcher->Received(data, size);
    return true;
  }
  std::size_t chunk = 0;

 private:
  std::vector<ChunkResult>& results;
  MessageMatcher* matcher;
};

class QuietServices : public WindowServices {
 public:
  void SetTimer(uint32_t, uint32_t) override {}
  void KillTimer(uint32_t) override {}
  void ShowMessageBox(std::string_view) override {}
  void ReplaceText(const char*, std::size_t) override {}
};

long ResidentKiB() {
  long pages = 0;
  long resident = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return -1;
  const int got = std::fscanf(statm, "%ld %ld", &pages, &resident);
  std::fclose(statm);
  return got == 2 ? resident * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

int Usage() {
  std::fputs("usage: soak [--hours H | --chunks N] [--seed S]\n", stderr);
  return 2;
}

}  // namespace
}  // namespace brindlemoor::bench

int main(int argc, char** argv) {
  using namespace brindlemoor;
  using namespace brindlemoor::bench;
  uint32_t chunks = 0;
  uint64_t seed = kSeed;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const double value = std::strtod(argv[++i], nullptr);
    if (!(value > 0)) return Usage();
    if (arg == "--hours") {
      chunks = static_cast<uint32_t>(std::ceil(value * 3600 * kSampleRate / kChunkSamples));
    } else if (arg == "--chunks") {
      chunks = static_cast<uint32_t>(value);
    } else if (arg == "--seed") {
      seed = static_cast<uint64_t>(value);
    } else {
      return Usage();
    }
  }
  if (chunks == 0)
    chunks = static_cast<uint32_t>(std::ceil(24 * 3600.0 * kSampleRate / kChunkSamples));
  const double hours = static_cast<double>(chunks) * kChunkSamples / kSampleRate / 3600;
  std::printf("soak: %u chunks of %llu s = %.2f hours of virtual traffic, seed %llu\n", chunks,
              static_cast<unsigned long long>(kChunkSamples / kSampleRate), hours,
              static_cast<unsigned long long>(seed));

  const SymbolBank bank;
  std::vector<ChunkResult> continuous(chunks + 1);  // one more for the replay's last ticks
  std::vector<ChunkResult> separate(chunks);
  std::vector<long> residentKiB(chunks);
  std::vector<uint64_t> chunkAllocations(chunks);
  uint64_t textSent = 0;
  uint32_t calibrationsSent = 0;

  // One receiver for the whole day. RunReplay's loop, with the bookkeeping between ticks; the
  // allocations counted are those made inside the receiver's ticks.
  const double start = CpuSeconds();
  MessageMatcher matcher;
  {
    TrafficStream stream(bank, seed, 0, chunks * kChunkSamples);
    stream.SetMessageSink(&matcher);
    ReplayDevice device(stream);
    QuietServices services;
    DigestOutput output(continuous, &matcher);
    ReceiverDialog dialog(services, device, output);
    dialog.OnInitDialog();
    for (uint32_t tick = 1;; ++tick) {
      const uint32_t chunk = (tick - 1) / kTicksPerChunk;
      output.chunk = chunk;
      device.CompleteBlocks(BlocksAtTick(tick));
      const uint64_t before = allocations.load();
      dialog.OnTimer(kReceiveTimerId);
      if (chunk < chunks) chunkAllocations[chunk] += allocations.load() - before;
      if (tick % kTicksPerChunk == 0 && chunk < chunks) residentKiB[chunk] = ResidentKiB();
      if (device.Finished() && dialog.Capture().blocksConsumed == device.BlocksDelivered()) break;
    }
    dialog.OnDestroy();
    textSent = stream.Log().textBytes;
    calibrationsSent = stream.Log().calibrations;
  }
  const double continuousSeconds = CpuSeconds() - start;

  // A fresh receiver for every chunk.
  for (uint32_t chunk = 0; chunk < chunks; ++chunk) {
    TrafficStream stream(bank, seed, chunk, kChunkSamples);
    ReplayDevice device(stream);
    QuietServices services;
    std::vector<ChunkResult> one(1);
    DigestOutput output(one);
    ReceiverDialog dialog(services, device, output);
    dialog.OnInitDialog();
    RunReplay(dialog, device);
    dialog.OnDestroy();
    separate[chunk] = one[0];
  }
  const double totalSeconds = CpuSeconds() - start;

  std::printf("%6s %10s %8s %8s %10s %12s\n", "chunk", "text", "flags", "same", "RSS KiB",
              "allocations in ticks");
  uint32_t mismatches = 0;
  // Memory after the first chunk, once the generator's symbols and every code path are touched.
  long lowest = residentKiB[chunks > 1 ? 1 : 0];
  long highest = lowest;
  uint64_t laterAllocations = 0;
  Digest allText;
  for (uint32_t chunk = 0; chunk < chunks; ++chunk) {
    const bool same = continuous[chunk].text == separate[chunk].text &&
                      continuous[chunk].flags == separate[chunk].flags;
    mismatches += !same;
    if (chunk > 0) {
      lowest = std::min(lowest, residentKiB[chunk]);
      highest = std::max(highest, residentKiB[chunk]);
      laterAllocations += chunkAllocations[chunk];
    }
    allText.bytes += continuous[chunk].text.bytes;
    std::printf("%6u %10llu %8u %8s %10ld %12llu\n", chunk,
                static_cast<unsigned long long>(continuous[chunk].text.bytes),
                continuous[chunk].flags.lines, same ? "yes" : "NO", residentKiB[chunk],
                static_cast<unsigned long long>(chunkAllocations[chunk]));
  }
  const bool tailQuiet = continuous[chunks].text.bytes == 0 && continuous[chunks].flags.bytes == 0;
  const bool flat = chunks < 2 || highest - lowest <= kFlatMemorySlackKiB;
  std::printf(
      "\ncontinuous run: %.1f s CPU for %.2f h (%.0f x real time); all runs: %.1f s CPU\n"
      "text received %llu bytes (%llu sent in messages), %u calibrations sent\n"
      "messages sent %llu, found whole and in order %llu, missed %llu\n"
      "chunks where the continuous run and the separate runs differ: %u of %u%s\n"
      "resident memory after chunks 1..%u: %ld .. %ld KiB (%s)\n"
      "heap allocations in ticks after the first chunk: %llu\n",
      continuousSeconds, hours, hours * 3600 / continuousSeconds, totalSeconds,
      static_cast<unsigned long long>(allText.bytes), static_cast<unsigned long long>(textSent),
      calibrationsSent, static_cast<unsigned long long>(matcher.Sent()),
      static_cast<unsigned long long>(matcher.FoundCount()),
      static_cast<unsigned long long>(matcher.Missed()), mismatches, chunks,
      tailQuiet ? "" : " (and output after the last chunk)", chunks - 1, lowest, highest,
      flat ? "flat" : "GROWING", static_cast<unsigned long long>(laterAllocations));
  const bool ok =
      mismatches == 0 && tailQuiet && flat && laterAllocations == 0 && matcher.Missed() == 0;
  std::printf("%s\n", ok ? "soak: passed" : "soak: FAILED");
  return ok ? 0 : 1;
}
