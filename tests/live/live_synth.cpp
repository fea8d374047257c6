// live-synth: synthesises a message with the symbol synthesiser for the live end-to-end tests,
// and either writes it to a WAV file (for paplay) or plays it on a sound output through
// PortAudio, as a sender would.
//
//   live-synth [--rate HZ] [--bits 8|16] [--calibrate] (--wav OUT.wav | --play [--device SEL]) TEXT
//
// --calibrate puts the calibration sequence before the text. Exit status: 0 done, 1 the file or
// the output failed, 2 bad arguments.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "capture/capture_format.h"
#include "files/wav_writer.h"
#include "live/portaudio_output.h"
#include "synth/symbol_synth.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Usage() {
  std::fputs(
      "usage: live-synth [--rate HZ] [--bits 8|16] [--calibrate] (--wav OUT.wav | --play "
      "[--device SEL]) TEXT\n",
      stderr);
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace brindlemoor;
  int32_t rate = static_cast<int32_t>(kSampleRate);
  int32_t bits = kBitsPerSample;
  bool calibrate = false;
  bool play = false;
  std::string wavPath;
  std::string device;
  std::string text;
  bool haveText = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--rate" && hasValue) {
      rate = std::atoi(argv[++i]);
    } else if (arg == "--bits" && hasValue) {
      bits = std::atoi(argv[++i]);
    } else if (arg == "--calibrate") {
      calibrate = true;
    } else if (arg == "--wav" && hasValue) {
      wavPath = argv[++i];
    } else if (arg == "--play") {
      play = true;
    } else if (arg == "--device" && hasValue) {
      device = argv[++i];
    } else if (!haveText && !arg.starts_with("--")) {
      text = arg;
      haveText = true;
    } else {
      return Usage();
    }
  }
  if (!haveText || play == !wavPath.empty() || rate < static_cast<int32_t>(kSampleRate) ||
      (bits != 8 && bits != 16)) {
    return Usage();
  }

  std::vector<uint8_t> bytes;
  if (calibrate) bytes = CalibrationSequence();
  bytes.insert(bytes.end(), text.begin(), text.end());
  const std::vector<double> samples = SynthesiseMessage(bytes, kDefaultTiming, rate);

  IoError error;
  if (play) {
    PortAudioSession session(PortAudioSession::Probe::kQuiet);
    if (!PlaySamples(session, device, samples, rate, error)) {
      std::fprintf(stderr, "live-synth: cannot play: %s\n", error.description.c_str());
      return kExitFailed;
    }
    return 0;
  }
  if (!WriteWav(wavPath, samples, rate, bits, error)) {
    std::fprintf(stderr, "live-synth: %s: %s\n", wavPath.c_str(), error.description.c_str());
    return kExitFailed;
  }
  return 0;
}
