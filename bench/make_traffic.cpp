// make-traffic: writes virtual traffic (calibrations, text, silences, noise; see
// traffic_stream.h) to a WAV file in the capture format, 11025 Hz mono unsigned 8-bit, streamed
// so that any length takes constant memory.
//
//   make-traffic [--seconds S | --hours H] [--seed N] [--messages FILE] OUT.wav
//
// --messages writes the text of every message sent, back to back, to FILE.
// Exit status: 0 written, 1 the file could not be written, 2 bad arguments.
#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "bench/traffic_stream.h"

namespace {

constexpr int kExitWriteFailed = 1;
constexpr int kExitUsage = 2;
constexpr std::size_t kBufferSamples = 65536;

int Usage() {
  std::fputs(
      "usage: make-traffic [--seconds S | --hours H] [--seed N] [--messages FILE] OUT.wav\n"
      "Writes S seconds (default one hour) of virtual traffic as an 11025 Hz mono unsigned\n"
      "8-bit WAV file.\n",
      stderr);
  return kExitUsage;
}

bool ParseNumber(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && value > 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace brindlemoor;
  double seconds = 3600;
  double seed = 1;
  std::string out;
  std::string messagesPath;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--seconds" && hasValue) {
      if (!ParseNumber(argv[++i], seconds)) return Usage();
    } else if (arg == "--hours" && hasValue) {
      if (!ParseNumber(argv[++i], seconds)) return Usage();
      seconds *= 3600;
    } else if (arg == "--seed" && hasValue) {
      if (!ParseNumber(argv[++i], seed)) return Usage();
    } else if (arg == "--messages" && hasValue) {
      messagesPath = argv[++i];
    } else if (arg.starts_with("-") || !out.empty()) {
      return Usage();
    } else {
      out = arg;
    }
  }
  if (out.empty()) return Usage();

  SF_INFO info{};
  info.samplerate = static_cast<int>(kSampleRate);
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
  SNDFILE* file = sf_open(out.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    std::fprintf(stderr, "make-traffic: %s: %s\n", out.c_str(), sf_strerror(nullptr));
    return kExitWriteFailed;
  }

  const bench::SymbolBank bank;
  const auto total = static_cast<uint64_t>(seconds * kSampleRate);
  bench::TrafficStream stream(bank, static_cast<uint64_t>(seed), 0, total);
  bench::MessageList messages;
  if (!messagesPath.empty()) stream.SetMessageSink(&messages);
  std::vector<uint8_t> buffer(kBufferSamples);
  bool ok = true;
  while (const std::size_t got = stream.Read(buffer.data(), buffer.size())) {
    // Unsigned 8-bit WAV data is the capture format's bytes.
    if (sf_write_raw(file, buffer.data(), static_cast<sf_count_t>(got)) !=
        static_cast<sf_count_t>(got)) {
      ok = false;
      break;
    }
  }
  if (sf_close(file) != 0 || !ok) {
    std::fprintf(stderr, "make-traffic: %s: write failed\n", out.c_str());
    std::remove(out.c_str());
    return kExitWriteFailed;
  }
  if (!messagesPath.empty()) {
    std::FILE* text = std::fopen(messagesPath.c_str(), "wb");
    if (text == nullptr) {
      std::perror(messagesPath.c_str());
      return kExitWriteFailed;
    }
    for (const std::string& message : messages.messages) {
      std::fwrite(message.data(), 1, message.size(), text);
    }
    std::fclose(text);
  }
  const bench::TrafficLog& log = stream.Log();
  std::fprintf(stderr,
               "make-traffic: %s: %.0f s, %llu symbols, %u messages (%llu bytes), %u calibrations, "
               "%u failing calibrations, %.0f s of noise\n",
               out.c_str(), seconds, static_cast<unsigned long long>(log.symbols), log.messages,
               static_cast<unsigned long long>(log.textBytes), log.calibrations,
               log.failedCalibrations, static_cast<double>(log.noiseSamples) / kSampleRate);
  return 0;
}
