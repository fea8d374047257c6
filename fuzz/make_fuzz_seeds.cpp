// make-fuzz-seeds: writes the seed corpora of the fuzz targets into DIR/<target>/ (the checked-in
// ones live in fuzz/corpus/). Seeds are what the fuzzer could hardly find alone: synthesised
// symbols in several tick splits, the spectra the analyser really produces for calibrations and
// text, and recordings in every container the reader knows, whole and hostile.
//
//   make-fuzz-seeds DIR
//
// Exit status: 0 written, 1 a seed could not be written, 2 bad arguments.
#include <sndfile.h>
#include <sys/stat.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "convention/symbol_convention.h"
#include "dsp/spectrum_analyzer.h"
#include "receiver/framing.h"
#include "synth/symbol_synth.h"
#include "tools/hostile_recordings.h"

namespace brindlemoor {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t kRate = static_cast<int32_t>(kSampleRate);
// The bins a decision reads besides the peak: the fundamental's and every harmonic level's.
constexpr std::array<int32_t, 14> kDecisionBins = [] {
  std::array<int32_t, 14> bins{kFundamentalBin, kFundamentalBin + 1};
  std::size_t used = 2;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    bins[used++] = kBitBins[bit];
    if (kTwoBinLevel[bit]) bins[used++] = kBitBins[bit] + 1;
  }
  return bins;
}();

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  // fwrite may not be given a null pointer, which an empty vector's data() can be.
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

Bytes Symbols(const std::vector<uint8_t>& bytes) {
  SymbolTiming timing = kDefaultTiming;
  timing.leadSamples = 300;  // short seeds fuzz faster
  timing.tailSamples = 0;
  return QuantiseToU8(SynthesiseMessage(bytes, timing, kRate));
}

std::vector<uint8_t> Text(const char* text) {
  return std::vector<uint8_t>(text, text + std::strlen(text));
}

// Receive tick input: the split count and splits, then the samples.
Bytes TickSeed(const std::vector<uint8_t>& splits, const Bytes& samples) {
  Bytes seed = {static_cast<uint8_t>(splits.size() - 1)};
  seed.insert(seed.end(), splits.begin(), splits.end());
  seed.insert(seed.end(), samples.begin(), samples.end());
  return seed;
}

// Decision input for one synthesised symbol: its real spectrum, reduced to the bins a decision
// reads and the peak (operation 0).
void AppendSpectrum(Bytes& seed, uint8_t byte, SpectrumAnalyzer& analyser) {
  std::vector<double> tone;
  AppendTone(tone, byte, kSymbolLength, kRate);
  for (int32_t i = 0; i < kSymbolLength; ++i) {
    analyser.SetInput(i, static_cast<int16_t>(std::lrint(tone[static_cast<size_t>(i)] * 127)));
  }
  int32_t spectrum[kSpectrumBins];
  analyser.ComputeMagnitudes(spectrum);
  int32_t peakBin = 1;
  for (int32_t bin = 1; bin < kSpectrumBins; ++bin) {
    if (spectrum[bin] > spectrum[peakBin]) peakBin = bin;
  }
  seed.push_back(0);
  seed.push_back(static_cast<uint8_t>(kDecisionBins.size() + 1));
  const auto bin = [&](int32_t b) {
    seed.push_back(static_cast<uint8_t>(b));
    seed.push_back(static_cast<uint8_t>(spectrum[b] & 0xFF));
    seed.push_back(static_cast<uint8_t>(spectrum[b] >> 8));
  };
  for (const int32_t b : kDecisionBins) bin(b);
  bin(peakBin);
}

Bytes DecisionSeed(const std::vector<uint8_t>& bytes, int finishEvery, int trailingFinishes) {
  SpectrumAnalyzer analyser;
  analyser.Initialize(kSymbolLength, kWindowRectangular);
  Bytes seed;
  for (size_t i = 0; i < bytes.size(); ++i) {
    AppendSpectrum(seed, bytes[i], analyser);
    if (finishEvery > 0 && (i + 1) % static_cast<size_t>(finishEvery) == 0) seed.push_back(2);
  }
  for (int i = 0; i < trailingFinishes; ++i) seed.push_back(2);
  return seed;
}

// A small valid recording in any libsndfile format, written through a scratch file.
Bytes SoundFile(const std::string& scratch, int format, int rate, int channels,
                const std::vector<double>& mono) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(scratch.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return {};
  std::vector<double> frames;
  for (const double x : mono) frames.insert(frames.end(), static_cast<size_t>(channels), x * 0.9);
  sf_writef_double(file, frames.data(), static_cast<sf_count_t>(mono.size()));
  sf_close(file);
  std::FILE* in = std::fopen(scratch.c_str(), "rb");
  Bytes bytes;
  for (int c; in != nullptr && (c = std::fgetc(in)) != EOF;)
    bytes.push_back(static_cast<uint8_t>(c));
  if (in != nullptr) std::fclose(in);
  std::remove(scratch.c_str());
  return bytes;
}

}  // namespace
}  // namespace brindlemoor

int main(int argc, char** argv) {
  using namespace brindlemoor;
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs("usage: make-fuzz-seeds DIR\n", stderr);
    return 2;
  }
  const std::string root = argv[1];
  bool ok = true;
  const auto put = [&](const char* target, const std::string& name, const Bytes& bytes) {
    const std::string directory = root + "/" + target;
    mkdir(root.c_str(), 0755);
    mkdir(directory.c_str(), 0755);
    ok = WriteFile(directory + "/" + name, bytes) && ok;
  };

  // The receive tick.
  std::vector<uint8_t> calibrated = CalibrationSequence();
  const std::vector<uint8_t> hello = Text("Hi!\n");
  calibrated.insert(calibrated.end(), hello.begin(), hello.end());
  put("fuzz_receive_tick", "calibration-text-5-per-tick", TickSeed({5}, Symbols(calibrated)));
  put("fuzz_receive_tick", "text-uneven-ticks", TickSeed({1, 0, 3, 2}, Symbols(Text("abc"))));
  put("fuzz_receive_tick", "text-whole-ring", TickSeed({128}, Symbols(Text("\x01\xff\x7f"))));
  put("fuzz_receive_tick", "failing-calibration", TickSeed({2, 7}, Symbols({0, 1, 4, 'x'})));
  {
    std::vector<uint8_t> full(kTickTextLimit + 3, 'A');
    put("fuzz_receive_tick", "text-limit-in-one-tick", TickSeed({128}, Symbols(full)));
  }
  {
    // A tone that sounds from the very first sample, and a click at a block's end.
    Bytes samples = Symbols(Text("Z"));
    samples.erase(samples.begin(), samples.begin() + 300);
    samples.resize(kBlockSamples - 20, kSilence);
    for (int i = 0; i < 20; ++i) samples.push_back(static_cast<uint8_t>(i % 2 ? 20 : 236));
    put("fuzz_receive_tick", "tone-at-start-click-at-block-end", TickSeed({1}, samples));
  }
  put("fuzz_receive_tick", "silence", TickSeed({5}, Bytes(3 * kBlockSamples, kSilence)));

  // The decision and calibration.
  std::vector<uint8_t> text;
  for (int b = 1; b < 256; b += 9) text.push_back(static_cast<uint8_t>(b));
  calibrated = CalibrationSequence();
  calibrated.insert(calibrated.end(), text.begin(), text.end());
  put("fuzz_decide_route", "calibration-then-text", DecisionSeed(calibrated, 5, 0));
  put("fuzz_decide_route", "calibration-then-ten-silent-ticks", DecisionSeed(calibrated, 0, 11));
  put("fuzz_decide_route", "failing-calibrations", DecisionSeed({0, 1, 4, 0, 0, 1, 2, 4, 9}, 3, 1));
  put("fuzz_decide_route", "text-limit",
      DecisionSeed(std::vector<uint8_t>(kTickTextLimit + 2, 'q'), 0, 1));

  // The recording reader: every hostile and usable file, and valid ones in other containers.
  for (const HostileRecording& recording : HostileRecordings()) {
    if (recording.kind == HostileRecording::Kind::kBytes) {
      put("fuzz_recording_file", recording.name, recording.bytes);
    }
  }
  for (const HostileRecording& recording : TruncatedRecordings()) {
    put("fuzz_recording_file", recording.name, recording.bytes);
  }
  for (const HostileRecording& recording : DamagedRecordings()) {
    put("fuzz_recording_file", recording.name, recording.bytes);
  }
  // Three of the usable ones are enough: they differ only in a header field.
  for (const HostileRecording& recording : OddButUsableRecordings()) {
    if (recording.name == "honest.wav" || recording.name == "data-size-unknown.wav" ||
        recording.name == "riff-size-huge.wav") {
      put("fuzz_recording_file", recording.name, recording.bytes);
    }
  }
  std::vector<double> message = SynthesiseMessage(Text("ok"), kDefaultTiming, kRate);
  message.resize(1500);
  const std::string scratch = root + "/scratch.sound";
  const struct {
    const char* name;
    int format;
    int rate;
    int channels;
  } formats[] = {
      {"s16-stereo-44100.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2},
      {"float-22050.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1},
      {"u8-extensible.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_U8, 11025, 1},
      {"s24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 11025, 1},
      {"ulaw.au", SF_FORMAT_AU | SF_FORMAT_ULAW, 8000, 1},
      {"s16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 11025, 1},
      {"s16.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16, 11025, 1},
      {"s16.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 48000, 1},
  };
  for (const auto& f : formats) {
    const Bytes bytes = SoundFile(scratch, f.format, f.rate, f.channels, message);
    ok = !bytes.empty() && ok;
    put("fuzz_recording_file", f.name, bytes);
  }
  if (!ok) std::fputs("make-fuzz-seeds: a seed could not be written\n", stderr);
  return ok ? 0 : 1;
}
