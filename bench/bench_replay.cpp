// Replay throughput: one hour of synthesised traffic (calibrations, text, silences, noise),
// generated on the fly, decoded in-process by the headless receiver's code path (ReplayDevice,
// ReceiverDialog, RunReplay). Reports audio seconds per CPU second ("x_realtime") and the CPU
// cost per tick and per symbol. Three variants, measured in the same run:
//   Decode      outputs kept in memory: the receiver alone (and the generator);
//   Headless    what brindlemoor-receive does after reading the file: receive.txt and flag.dat
//               appended in a directory, each tick's text written to a stream;
//   Generate    the traffic generator alone, to show its share of the two above.
// Every decode is checked: each message sent must come out, in order, in receive.txt, and
// flag.dat must hold a completion line per calibration sent.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/traffic_stream.h"
#include "capture/replay_device.h"
#include "dialog/headless_services.h"
#include "dialog/receiver_dialog.h"
#include "dialog/replay_run.h"
#include "files/directory_text_output.h"

namespace brindlemoor::bench {
namespace {

constexpr uint64_t kSeed = 2024;
constexpr double kAudioSeconds = static_cast<double>(kHourSamples) / kSampleRate;

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

const SymbolBank& Bank() {
  static const SymbolBank bank;
  return bank;
}

class MemoryFiles : public TextOutput {
 public:
  bool Append(OutputFile file, const char* data, std::size_t size) override {
    (file == OutputFile::kReceiveText ? text : flags).append(data, size);
    return true;
  }
  std::string text;
  std::string flags;
};

class QuietServices : public WindowServices {
 public:
  void SetTimer(uint32_t, uint32_t) override {}
  void KillTimer(uint32_t) override {}
  void ShowMessageBox(std::string_view) override {}
  void ReplaceText(const char*, std::size_t) override {}
};

// How many of the messages sent are not found, in order, in `text`.
std::size_t MissingMessages(const std::vector<std::string>& sent, const std::string& text) {
  std::size_t at = 0;
  std::size_t missing = 0;
  for (const std::string& message : sent) {
    const std::size_t found = text.find(message, at);
    if (found == std::string::npos) {
      ++missing;
    } else {
      at = found + message.size();
    }
  }
  return missing;
}

// Empty when the decode is right, else what is wrong.
std::string CheckDecode(const std::vector<std::string>& sent, const TrafficLog& log,
                        const std::string& text, const std::string& flags) {
  const std::size_t missing = MissingMessages(sent, text);
  std::size_t completions = 0;
  std::istringstream lines(flags);
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" : ") == std::string::npos) ++completions;
  }
  std::ostringstream problem;
  if (missing > 0) problem << missing << " of " << sent.size() << " messages not received; ";
  if (completions < log.calibrations) {
    problem << completions << " calibrations completed of " << log.calibrations << " sent";
  }
  return problem.str();
}

void SetCounters(benchmark::State& state, double cpuSeconds, const ReplayStats& stats,
                 const TrafficLog& log) {
  state.SetIterationTime(cpuSeconds);
  state.counters["x_realtime"] = kAudioSeconds / cpuSeconds;
  state.counters["us_per_tick"] = 1e6 * cpuSeconds / stats.ticks;
  state.counters["us_per_symbol"] = 1e6 * cpuSeconds / static_cast<double>(log.symbols);
  state.counters["ticks"] = stats.ticks;
  state.counters["symbols"] = static_cast<double>(log.symbols);
  state.counters["text_bytes"] = static_cast<double>(log.textBytes);
}

// The robust framing decodes the same hour; what it misses is counted rather than failed, since
// its onsets are not those the traffic was made for.
void ReplayHourDecode(benchmark::State& state, Framing framing) {
  for (auto _ : state) {
    MessageList sent;
    TrafficStream stream(Bank(), kSeed, 0, kHourSamples);
    stream.SetMessageSink(&sent);
    ReplayDevice device(stream);
    QuietServices services;
    MemoryFiles files;
    ReceiverDialog dialog(services, device, files);
    dialog.SetFraming(framing);
    const double start = ThreadCpuSeconds();
    dialog.OnInitDialog();
    const ReplayStats stats = RunReplay(dialog, device);
    dialog.OnDestroy();
    const double cpu = ThreadCpuSeconds() - start;
    SetCounters(state, cpu, stats, stream.Log());
    const std::string problem = CheckDecode(sent.messages, stream.Log(), files.text, files.flags);
    if (framing == Framing::kRobust) {
      state.counters["messages"] = static_cast<double>(sent.messages.size());
      state.counters["messages_missing"] =
          static_cast<double>(MissingMessages(sent.messages, files.text));
    } else if (!problem.empty()) {
      state.SkipWithError(problem.c_str());
    }
  }
}

void BM_ReplayHourDecode(benchmark::State& state) { ReplayHourDecode(state, Framing::kExact); }
void BM_ReplayHourDecodeRobust(benchmark::State& state) {
  ReplayHourDecode(state, Framing::kRobust);
}

void BM_ReplayHourHeadless(benchmark::State& state) {
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("bench-replay-" + std::to_string(getpid()));
  for (auto _ : state) {
    std::filesystem::remove_all(directory);
    std::filesystem::create_directory(directory);
    MessageList sent;
    TrafficStream stream(Bank(), kSeed, 0, kHourSamples);
    stream.SetMessageSink(&sent);
    ReplayDevice device(stream);
    std::FILE* sink = std::fopen("/dev/null", "w");
    HeadlessServices services(sink, stderr, "bench_replay");
    DirectoryTextOutput files(directory.string());
    ReceiverDialog dialog(services, device, files);
    const double start = ThreadCpuSeconds();
    dialog.OnInitDialog();
    const ReplayStats stats = RunReplay(dialog, device);
    dialog.OnDestroy();
    const double cpu = ThreadCpuSeconds() - start;
    std::fclose(sink);
    SetCounters(state, cpu, stats, stream.Log());
    auto slurp = [&](const char* name) {
      std::ifstream in(directory / name, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {});
    };
    if (const std::string problem =
            CheckDecode(sent.messages, stream.Log(), slurp(kReceiveFileName), slurp(kFlagFileName));
        !problem.empty()) {
      state.SkipWithError(problem.c_str());
    }
  }
  std::filesystem::remove_all(directory);
}

void BM_GenerateHour(benchmark::State& state) {
  uint8_t block[kBlockSamples];
  for (auto _ : state) {
    TrafficStream stream(Bank(), kSeed, 0, kHourSamples);
    const double start = ThreadCpuSeconds();
    uint64_t total = 0;
    while (const std::size_t got = stream.Read(block, kBlockSamples)) total += got;
    const double cpu = ThreadCpuSeconds() - start;
    state.SetIterationTime(cpu);
    state.counters["x_realtime"] = kAudioSeconds / cpu;
    if (total != kHourSamples) state.SkipWithError("the generator stopped early");
  }
}

BENCHMARK(BM_ReplayHourDecode)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplayHourDecodeRobust)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplayHourHeadless)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenerateHour)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brindlemoor::bench

BENCHMARK_MAIN();
