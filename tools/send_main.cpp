// brindlemoor-send: sends text as sound, one symbol per byte, for the Brindlemoor receiver.
//
// How the symbols are shaped and timed, and why: docs/sender-timings.md.
//
// Exit status: 0 sent (or --help); 2 bad usage, unreadable input, a zero byte without --raw, an
// output file that cannot be created or no sound output; 3 writing the output failed (nothing is
// left behind); 130 stopped by SIGINT, SIGTERM or SIGHUP while writing (the unfinished file is
// removed).

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "command_line.h"
#include "convention/symbol_convention.h"
#include "files/wav_writer.h"
#include "interrupt_flag.h"
#include "option_values.h"
#include "platform/console_text.h"
#include "platform/file_access.h"
#include "platform/program_arguments.h"
#include "platform_help.h"
#include "same_file.h"
#include "send_playback.h"
#include "synth/message_synth.h"
#include "synth/symbol_synth.h"

namespace {

using namespace brindlemoor;

constexpr const char* kProgram = "brindlemoor-send";
constexpr int kExitSent = 0;
constexpr int kExitFailed = 2;
constexpr int kExitWriteFailed = 3;
constexpr int kExitInterrupted = 130;

constexpr int32_t kDefaultRate = 44100;
constexpr int32_t kDefaultBits = 16;
// SymbolTiming lengths are samples at the receiver's rate.
constexpr int32_t kTimingRate = static_cast<int32_t>(kSampleRate);
constexpr double kSamplesPerMs = kTimingRate / 1000.0;
// Limits of the timing options, in milliseconds.
constexpr double kMaxToneMs = 1000.0;
constexpr double kMaxGapMs = 2000.0;
constexpr double kMaxLeadMs = 10000.0;
// Longest text accepted: a file is written in pieces, but playback holds the whole sound.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxPlaybackBytes = std::size_t{1} << 14;
// Samples synthesised and written per step.
constexpr std::size_t kChunkSamples = 1 << 16;
// Progress is shown on a terminal for sends longer than this.
constexpr double kProgressAfterSeconds = 5.0;
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

void PrintUsage(std::FILE* to) {
  const tools::PlatformHelp& platform = tools::kPlatformHelp;
  std::fprintf(
      to,
      "Usage: %s [options] [TEXT...]\n"
      "  or:  %s [options] --file FILE\n"
      "  or:  %s [options] < FILE\n"
      "\n"
      "Sends text as sound for the Brindlemoor receiver: one tone per byte, its harmonics\n"
      "giving the bits. The TEXT arguments are sent joined by spaces; without TEXT or --file\n"
      "the bytes of standard input are sent. The sound is played on the default sound output,\n"
      "or written to a WAV file with -o.\n"
      "\n"
      "Options:\n"
      "  -o, --output FILE   write a mono WAV file instead of playing; a sound too long for\n"
      "                      a WAV file (4 GiB) is refused before anything is written.\n"
      "%s"
      "  --rate HZ           sample rate of the sound: 11025, 22050, 44100 (default) or 48000\n"
      "  --bits 8|16         sample size of the WAV file (default 16)\n"
      "%s"
      "  --calibrate         send the calibration sequence (0, 1, 2, 4, ..., 128) first, so the\n"
      "                      receiver equalises the harmonics for this room and loudspeaker;\n"
      "                      recommended whenever the sound travels through the air\n"
      "  --raw               send the bytes exactly; without it a zero byte is refused, since\n"
      "                      the receiver takes zero as the start of a calibration\n"
      "  --fast              faster timing, 17.8 bytes/s (default 16.5), for short distances\n"
      "                      and quiet rooms\n"
      "  --safe              slower timing, 13.8 bytes/s, more time for a room's echoes\n"
      "  --room              timing for bare, reverberant rooms, 8.9 bytes/s: a 21.8 ms tone\n"
      "                      with aligned phases and a 90.7 ms gap, the calibration sent\n"
      "                      three times first (--calibrate is implied). In the simulator's\n"
      "                      strong room (RT60 0.6 s, echoes as strong as the direct sound)\n"
      "                      it loses 8 to 27 %% of the characters (clean to 20 dB, clock\n"
      "                      within 0.5 %%) where the others lose 58 to 82 %%; in SoX's\n"
      "                      reverb 40 to 100, 0 to 6 %% (others up to 51 %%). In a quiet\n"
      "                      room the default is better (0.3 %% lost at 20 dB, default 0)\n"
      "  --tone MS           length of each tone in milliseconds (default %.1f)\n"
      "  --gap MS            silence after each tone in milliseconds (default %.1f)\n"
      "  --amplitude A       largest sample, 0 < A <= 1 (default %.2f)\n"
      "  --lead MS           silence before the first tone in milliseconds (default %.0f)\n"
      "  -h, --help          show this help\n"
      "  --version           show the version\n"
      "\n"
      "An option's value may also be given as --option=VALUE; after \"--\" every argument is\n"
      "TEXT, even one that starts with a dash.\n"
      "\n"
      "Exit status:\n"
      "  0    sent\n"
      "  2    bad usage, unreadable input, a zero byte without --raw, an output file\n"
      "       that cannot be created or no sound output\n"
      "  3    writing the output failed (a full disk or device; nothing is left behind)\n"
      "  130  interrupted by %s while writing (the unfinished\n"
      "       file is removed)\n",
      kProgram, kProgram, kProgram, platform.outputNodes,
      tools::SoundOutput::kChoosesDevice
          ? "  --device NAME       play on this output (index or part of its name) instead of the\n"
            "                      default one\n"
          : "",
      kDefaultTiming.toneSamples / kSamplesPerMs, kDefaultTiming.gapSamples / kSamplesPerMs,
      kDefaultTiming.amplitude, kDefaultTiming.leadSamples / kSamplesPerMs, platform.interrupts);
}

int Fail(const std::string& message, int status = kExitFailed) {
  brindlemoor::PrintText(stderr, "%s: %s\n", kProgram, message.c_str());
  return status;
}

struct Options {
  std::vector<std::string> words;
  std::optional<std::string> file;
  std::optional<std::string> output;
  std::string device;
  int32_t sampleRate = kDefaultRate;
  int32_t bits = kDefaultBits;
  bool calibrate = false;
  bool raw = false;
  bool help = false;
  bool version = false;
  SymbolTiming timing = kDefaultTiming;
  // Set by --tone, --gap, --amplitude and --lead; applied over --fast, --safe or --room.
  std::optional<double> toneMs, gapMs, amplitude, leadMs;
};

int32_t MsToSamples(double ms) { return static_cast<int32_t>(std::lround(ms * kSamplesPerMs)); }

constexpr tools::KnownOption kOptions[] = {
    {"--output", 'o', "FILE"},
    {"--file", 0, "FILE"},
    {"--rate", 0, "HZ"},
    {"--bits", 0, "8|16"},
    {"--device", 0, "NAME"},
    {"--calibrate"},
    {"--raw"},
    {"--fast"},
    {"--safe"},
    {"--room"},
    {"--tone", 0, "MS"},
    {"--gap", 0, "MS"},
    {"--amplitude", 0, "A"},
    {"--lead", 0, "MS"},
    {"--help", 'h'},
    {"--version"},
};

// Empty on success, else the problem.
std::string ParseOptions(int argc, char** argv, Options& options) {
  tools::CommandLine line;
  if (std::string problem = tools::ParseCommandLine(kOptions, argc, argv, line); !problem.empty())
    return problem;
  options.words = line.positional;
  options.help = line.Has("--help");
  options.version = line.Has("--version");
  options.calibrate = line.Has("--calibrate");
  options.raw = line.Has("--raw");
  if (line.Has("--output")) options.output = line.Value("--output");
  if (line.Has("--file")) options.file = line.Value("--file");
  options.device = line.Value("--device");
  if (line.Has("--device") && !tools::SoundOutput::kChoosesDevice)
    return "--device: on this system the sound goes to the default output";
  if (line.Has("--fast") + line.Has("--safe") + line.Has("--room") > 1)
    return "--fast, --safe and --room exclude each other";
  if (line.Has("--fast")) options.timing = kFastTiming;
  if (line.Has("--safe")) options.timing = kSafeTiming;
  if (line.Has("--room")) {
    options.timing = kRoomTiming;
    options.calibrate = true;  // through the air, always
  }

  for (const auto& [name, value] : line.values) {
    const auto invalid = [&](const char* expected) {
      return tools::InvalidValue(name, value, expected);
    };
    double number = 0.0;
    if (name == "--rate") {
      if (value != "11025" && value != "22050" && value != "44100" && value != "48000")
        return invalid("11025, 22050, 44100 or 48000");
      options.sampleRate = std::stoi(value);
    } else if (name == "--bits") {
      if (value != "8" && value != "16") return invalid("8 or 16");
      options.bits = std::stoi(value);
    } else if (name == "--tone") {
      if (!tools::ParseDouble(value, 0.0, kMaxToneMs, number) || number == 0.0)
        return invalid("milliseconds above 0, at most 1000");
      options.toneMs = number;
    } else if (name == "--gap") {
      if (!tools::ParseDouble(value, 0.0, kMaxGapMs, number)) return invalid("0 to 2000 ms");
      options.gapMs = number;
    } else if (name == "--amplitude") {
      if (!tools::ParseDouble(value, 0.0, 1.0, number) || number == 0.0)
        return invalid("a number above 0, at most 1");
      options.amplitude = number;
    } else if (name == "--lead") {
      if (!tools::ParseDouble(value, 0.0, kMaxLeadMs, number)) return invalid("0 to 10000 ms");
      options.leadMs = number;
    }
  }
  if (options.help || options.version) return {};
  if (options.file && !options.words.empty()) return "give either TEXT or --file, not both";
  if (options.toneMs) options.timing.toneSamples = MsToSamples(*options.toneMs);
  if (options.gapMs) options.timing.gapSamples = MsToSamples(*options.gapMs);
  if (options.amplitude) options.timing.amplitude = *options.amplitude;
  if (options.leadMs) options.timing.leadSamples = MsToSamples(*options.leadMs);
  // The tone must hold its rise and at least one whole period at full level after it.
  if (options.timing.toneSamples < options.timing.riseSamples + kSymbolPeriod) {
    char problem[160];
    std::snprintf(problem, sizeof problem,
                  "a tone of %.1f ms is too short: it needs at least %.1f ms (its rise and one "
                  "full period)",
                  options.timing.toneSamples / kSamplesPerMs,
                  (options.timing.riseSamples + kSymbolPeriod) / kSamplesPerMs);
    return problem;
  }
  return {};
}

// Reads all of `stream` into `bytes`, refusing more than `limit` bytes. Empty on success.
std::string ReadAll(std::FILE* stream, std::size_t limit, std::vector<uint8_t>& bytes) {
  uint8_t buffer[1 << 14];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, stream);
    bytes.insert(bytes.end(), buffer, buffer + got);
    if (bytes.size() > limit) {
      return "more than " + std::to_string(limit) + " bytes to send; split the text";
    }
    if (got < sizeof buffer) break;
  }
  if (std::ferror(stream)) return std::strerror(errno);
  return {};
}

// The text to send. Empty string on success, else the problem (with the file's name).
std::string ReadText(const Options& options, std::vector<uint8_t>& text) {
  const std::size_t limit = options.output ? kMaxFileBytes : kMaxPlaybackBytes;
  if (!options.words.empty()) {
    for (std::size_t i = 0; i < options.words.size(); ++i) {
      if (i > 0) text.push_back(' ');
      text.insert(text.end(), options.words[i].begin(), options.words[i].end());
    }
    if (text.size() > limit) {
      return "more than " + std::to_string(limit) + " bytes to send; split the text";
    }
    return {};
  }
  if (!options.file) return ReadAll(stdin, limit, text);
  std::FILE* file = OpenStream(options.file->c_str(), "rb");
  if (file == nullptr) return *options.file + ": " + std::strerror(errno);
  const std::string problem = ReadAll(file, limit, text);
  std::fclose(file);
  return problem.empty() ? problem : *options.file + ": " + problem;
}

// Progress on standard error, for a terminal: "\rbrindlemoor-send: 42% (120 of 290 bytes)".
class Progress {
 public:
  Progress(std::size_t symbols, double seconds)
      : symbols(symbols), enabled(isatty(STDERR_FILENO) && seconds > kProgressAfterSeconds) {}
  void Show(double fraction) {
    if (!enabled) return;
    const int percent = static_cast<int>(std::lround(100.0 * std::fmin(fraction, 1.0)));
    if (percent == lastPercent) return;
    lastPercent = percent;
    brindlemoor::PrintText(stderr, "\r%s: %3d%% (%zu of %zu symbols)", kProgram, percent,
                           static_cast<std::size_t>(std::lround(fraction * symbols)), symbols);
    std::fflush(stderr);
  }
  void Finish() {
    if (enabled && lastPercent >= 0) std::fputc('\n', stderr);
  }

 private:
  std::size_t symbols;
  bool enabled;
  int lastPercent = -1;
};

constexpr int32_t kRates[] = {48000, 44100, 22050, 11025};

bool Fits(std::size_t messageBytes, const SymbolTiming& timing, int32_t rate, int32_t bits) {
  return MessageSynthesiser::SamplesFor(messageBytes, timing, rate) <= MaxWavSamples(bits);
}

// Empty when the WAV file of `messageBytes` symbols (the calibration included) fits the format's
// 32-bit sizes, else the problem: the size, and what would fit instead.
std::string CheckWavSize(const Options& options, std::size_t messageBytes, std::size_t textBytes) {
  const SymbolTiming& timing = options.timing;
  if (Fits(messageBytes, timing, options.sampleRate, options.bits)) return {};
  const double gib = static_cast<double>(
                         MessageSynthesiser::SamplesFor(messageBytes, timing, options.sampleRate)) *
                     (options.bits / 8) / (1024.0 * 1024.0 * 1024.0);
  std::string instead;
  if (options.bits == 16 && Fits(messageBytes, timing, options.sampleRate, 8)) {
    instead = "--bits 8";
  } else {
    for (const int32_t bits : {options.bits, 8}) {
      for (const int32_t rate : kRates) {
        if (rate < options.sampleRate && instead.empty() && Fits(messageBytes, timing, rate, bits))
          instead = "--rate " + std::to_string(rate) + (bits != options.bits ? " --bits 8" : "");
      }
    }
  }
  const int64_t perSymbol = SymbolSamples(timing, options.sampleRate);
  const int64_t silence = MessageSynthesiser::SamplesFor(0, timing, options.sampleRate);
  const int64_t symbolsThatFit = (MaxWavSamples(options.bits) - silence) / perSymbol;
  const int64_t textThatFits = symbolsThatFit - static_cast<int64_t>(messageBytes - textBytes);
  char problem[320];
  std::snprintf(problem, sizeof problem,
                "%zu bytes make %.1f GiB of sound at %d Hz, %d bits: more than the 4 GiB a WAV "
                "file can hold; %s%ssplit the text into pieces of at most %lld bytes",
                textBytes, gib, options.sampleRate, options.bits, instead.c_str(),
                instead.empty() ? "" : " would fit, or ",
                static_cast<long long>(std::max<int64_t>(textThatFits, 0)));
  return *options.output + ": " + problem;
}

int WriteFile(const Options& options, MessageSynthesiser& synth) {
  tools::CatchInterrupts();

  IoError error;
  std::unique_ptr<WavFileWriter> writer =
      WavFileWriter::Create(*options.output, options.sampleRate, options.bits, error);
  if (!writer) return Fail(*options.output + ": " + error.description);
  Progress progress(synth.SymbolCount(),
                    static_cast<double>(synth.TotalSamples()) / options.sampleRate);
  std::vector<double> chunk(kChunkSamples);
  int64_t written = 0;
  for (;;) {
    const std::size_t count = synth.Next(chunk);
    if (count == 0) break;
    if (!writer->Append(std::span(chunk).first(count), error)) {
      progress.Finish();
      return Fail(*options.output + ": " + error.description, kExitWriteFailed);
    }
    written += static_cast<int64_t>(count);
    progress.Show(static_cast<double>(written) / static_cast<double>(synth.TotalSamples()));
    if (tools::Interrupted()) {
      progress.Finish();
      writer.reset();  // removes the unfinished file
      brindlemoor::PrintText(stderr, "%s: interrupted; %s was not written\n", kProgram,
                             options.output->c_str());
      return kExitInterrupted;
    }
  }
  progress.Finish();
  if (!writer->Commit(error))
    return Fail(*options.output + ": " + error.description, kExitWriteFailed);
  return kExitSent;
}

int Play(const Options& options, MessageSynthesiser& synth) {
  const std::string where = options.device.empty() ? "default sound output" : options.device;
  IoError error;
  const std::unique_ptr<tools::SoundOutput> output = tools::SoundOutput::Open(error);
  if (!output) return Fail(where + ": " + error.description);

  std::vector<double> samples(static_cast<std::size_t>(synth.TotalSamples()));
  samples.resize(synth.Next(samples));
  const double seconds = static_cast<double>(samples.size()) / options.sampleRate;

  std::atomic<bool> done = false;
  bool played = false;
  std::thread player([&] {
    played = output->Play(samples, options.sampleRate, options.device, error);
    done = true;
  });
  // Progress by the clock: the device plays in real time once it has started.
  Progress progress(synth.SymbolCount(), seconds);
  const auto start = std::chrono::steady_clock::now();
  while (!done) {
    std::this_thread::sleep_for(kProgressInterval);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!done) progress.Show(elapsed.count() / seconds);
  }
  player.join();
  if (played) progress.Show(1.0);
  progress.Finish();
  if (!played) return Fail(where + ": " + error.description);
  return kExitSent;
}

}  // namespace

int main(int argc, char** argv) {
  ProgramArguments arguments(argc, argv);
  Options options;
  if (const std::string problem = ParseOptions(arguments.Count(), arguments.Values(), options);
      !problem.empty()) {
    return tools::UsageError(kProgram, problem);
  }
  if (options.help) {
    PrintUsage(stdout);
    return kExitSent;
  }
  if (options.version) {
    tools::PrintVersion(stdout, kProgram);
    return kExitSent;
  }

  if (options.output && options.file && tools::SameFile(*options.file, *options.output))
    return Fail(*options.output + ": -o would overwrite the --file being sent");
  std::vector<uint8_t> text;
  if (const std::string problem = ReadText(options, text); !problem.empty()) return Fail(problem);
  if (!options.raw) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] != 0) continue;
      return Fail("zero byte at offset " + std::to_string(i) +
                  ": the receiver takes a zero byte as the start of a calibration and would "
                  "swallow the bytes after it; remove it, or send with --raw");
    }
  }
  if (text.empty() && !options.calibrate) return Fail("nothing to send (the text is empty)");

  std::vector<uint8_t> message;
  if (options.calibrate) message = CalibrationSequence(options.timing.calibrationRounds);
  message.insert(message.end(), text.begin(), text.end());
  if (options.output) {
    if (const std::string problem = CheckWavSize(options, message.size(), text.size());
        !problem.empty())
      return Fail(problem);
  }
  MessageSynthesiser synth(message, options.timing, options.sampleRate);
  return options.output ? WriteFile(options, synth) : Play(options, synth);
}
