// make-example: writes the bundled example recording, a short greeting sent with the default
// symbol timing at 11025 Hz, mono, unsigned 8-bit, exactly as the receiver captures sound.
//
// Exit status: 0 written (or --help), 1 the file could not be written, 2 bad arguments.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "capture/capture_format.h"
#include "files/io_error.h"
#include "files/wav_writer.h"
#include "synth/symbol_synth.h"

namespace {

constexpr std::string_view kGreeting = "Hello from Brindlemoor!\n";
constexpr int kExitWritten = 0;
constexpr int kExitWriteFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::FILE* stream) {
  std::fputs(
      "usage: make-example OUT.wav\n"
      "Writes the example recording: \"Hello from Brindlemoor!\" and a line feed as symbols,\n"
      "11025 Hz, mono, unsigned 8-bit WAV.\n",
      stream);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    PrintUsage(stdout);
    return kExitWritten;
  }
  if (argc != 2 || argv[1][0] == '-') {
    PrintUsage(stderr);
    return kExitUsage;
  }

  const std::vector<uint8_t> text(kGreeting.begin(), kGreeting.end());
  const std::vector<double> samples =
      brindlemoor::SynthesiseMessage(text, brindlemoor::kDefaultTiming, brindlemoor::kSampleRate);
  brindlemoor::IoError error;
  if (!brindlemoor::WriteWav(argv[1], samples, brindlemoor::kSampleRate,
                             brindlemoor::kBitsPerSample, error)) {
    std::fprintf(stderr, "make-example: %s: %s\n", argv[1], error.description.c_str());
    return kExitWriteFailed;
  }
  return kExitWritten;
}
