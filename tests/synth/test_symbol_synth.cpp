// The symbol synthesiser and the WAV writer: the waveform's period and scale, what the receiver's
// analysis makes of every byte's symbol, the envelope's peak, and WAV files that round-trip
// exactly or are not written at all.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "dsp/spectrum_analyzer.h"
#include "files/recording_file.h"
#include "files/wav_writer.h"
#include "receiver/calibration_state.h"
#include "receiver/decide_byte.h"
#include "receiver/framing.h"
#include "synth/symbol_synth.h"
#include "testing/case_name.h"
#include "testing/temp_directory.h"

namespace brindlemoor {
namespace {

namespace fs = std::filesystem;

// Index of the earliest sample of largest magnitude, as the receiver picks a symbol's peak.
template <typename T, typename Magnitude>
size_t EarliestPeak(const std::vector<T>& samples, Magnitude magnitude) {
  size_t peakIndex = 0;
  for (size_t i = 1; i < samples.size(); ++i) {
    if (magnitude(samples[i]) > magnitude(samples[peakIndex])) peakIndex = i;
  }
  return peakIndex;
}

int32_t U8Magnitude(uint8_t x) { return std::abs(static_cast<int32_t>(x) - kSilence); }

// What the receiver makes of one captured symbol: the 45 samples from its earliest largest
// sample, repeated to 512 and scaled so the peak is +-127, analysed and decided uncalibrated.
ByteDecision DecideCapturedSymbol(const std::vector<uint8_t>& symbol) {
  const size_t peakIndex = EarliestPeak(symbol, U8Magnitude);
  const int32_t peak = U8Magnitude(symbol[peakIndex]);
  SpectrumAnalyzer analyser;
  analyser.Initialize(kSymbolLength, kWindowRectangular);
  for (int32_t i = 0; i < kSymbolLength; ++i) {
    const int32_t sample = symbol[peakIndex + i % kSymbolPeriod] - kSilence;
    analyser.SetInput(i, static_cast<int16_t>(sample * kNormalisedPeak / peak));
  }
  std::array<int32_t, kSpectrumBins> spectrum{};
  analyser.ComputeMagnitudes(spectrum.data());
  return DecideByte(spectrum.data(), CalibrationState{});
}

TEST(SymbolSynthTest, ToneRepeatsExactlyAndPeaksAtOneOnItsFirstSample) {
  struct Case {
    int32_t rate;
    size_t period;
  };
  for (const PhaseSet phases : {PhaseSet::kLowCrest, PhaseSet::kAligned}) {
    for (const Case c : {Case{11025, 45}, Case{44100, 180}}) {
      for (const int byte : {0, 1, 65, 128, 170, 255}) {
        SCOPED_TRACE(::testing::Message()
                     << c.rate << " Hz, byte " << byte << ", phases " << static_cast<int>(phases));
        std::vector<double> tone;
        AppendTone(tone, EqualAmplitudes(static_cast<uint8_t>(byte)),
                   static_cast<int32_t>(10 * c.period), c.rate, phases);
        ASSERT_EQ(tone.size(), 10 * c.period);
        for (size_t i = 0; i + c.period < tone.size(); ++i) ASSERT_EQ(tone[i], tone[i + c.period]);
        double largest = 0.0;
        for (const double x : tone) largest = std::max(largest, std::fabs(x));
        EXPECT_EQ(largest, 1.0);
        EXPECT_EQ(std::fabs(tone[0]), 1.0);
      }
    }
  }
}

// The timings whose symbols every test below checks byte by byte.
struct NamedTiming {
  const char* name;
  const SymbolTiming* timing;
};

class TimingSymbolTest : public ::testing::TestWithParam<NamedTiming> {};

TEST_P(TimingSymbolTest, EveryByteIsDecidedFromOneCapturedPeriod) {
  for (int byte = 0; byte < 256; ++byte) {
    std::vector<double> symbol;
    AppendSymbol(symbol, static_cast<uint8_t>(byte), *GetParam().timing, kSampleRate);
    const ByteDecision decision = DecideCapturedSymbol(QuantiseToU8(symbol));
    ASSERT_TRUE(decision.accepted) << "byte " << byte << ", peak bin " << decision.peakBin;
    ASSERT_EQ(decision.byte, byte);
  }
}

TEST_P(TimingSymbolTest, EarliestLargestSampleStartsTheFirstFullLevelPeriod) {
  const SymbolTiming& timing = *GetParam().timing;
  const size_t rise = static_cast<size_t>(timing.riseSamples);
  const size_t tone = static_cast<size_t>(timing.toneSamples);
  for (int byte = 0; byte < 256; ++byte) {
    SCOPED_TRACE(::testing::Message() << "byte " << byte);
    std::vector<double> symbol;
    AppendSymbol(symbol, static_cast<uint8_t>(byte), timing, kSampleRate);
    ASSERT_EQ(symbol.size(), tone + static_cast<size_t>(timing.gapSamples));
    EXPECT_EQ(symbol[0], 0.0);
    EXPECT_TRUE(std::all_of(symbol.begin() + tone, symbol.end(), [](double x) { return x == 0; }));
    // The rise ends on the waveform's largest sample and every later one is weaker.
    EXPECT_EQ(EarliestPeak(symbol, [](double x) { return std::fabs(x); }), rise);
    EXPECT_EQ(std::fabs(symbol[rise]), timing.amplitude);
    double previous = timing.amplitude;
    for (size_t start = rise + kSymbolPeriod; start + kSymbolPeriod <= tone;
         start += kSymbolPeriod) {
      double largest = 0.0;
      for (size_t i = start; i < start + kSymbolPeriod; ++i) {
        largest = std::max(largest, std::fabs(symbol[i]));
      }
      EXPECT_LT(largest, previous) << "period from " << start;
      previous = largest;
    }
    // Rounding to 8 bits may tie the sample just before it; the analysed period then starts one
    // sample early, still ending well inside the tone.
    const size_t captured = EarliestPeak(QuantiseToU8(symbol), U8Magnitude);
    EXPECT_GE(captured + 1, rise);
    EXPECT_LT(captured, rise + kSymbolPeriod);
  }
}

INSTANTIATE_TEST_SUITE_P(Timings, TimingSymbolTest,
                         ::testing::Values(NamedTiming{"default", &kDefaultTiming},
                                           NamedTiming{"room", &kRoomTiming}),
                         brindlemoor::testing::CaseName());

// Peak over RMS of one period of `byte`'s tone.
double CrestFactor(uint8_t byte, PhaseSet phases) {
  std::vector<double> period;
  AppendTone(period, SymbolAmplitudes(byte, kDefaultTiming), kSymbolPeriod, kSampleRate, phases);
  double power = 0.0;
  for (const double x : period) power += x * x;
  return 1.0 / std::sqrt(power / kSymbolPeriod);  // the tone is scaled to a peak of 1
}

// The room timing relies on aligned phases raising the peak over the power: the receiver's
// re-sync level is half the peak, while a room's tail has only the power to match it.
TEST(SymbolSynthTest, AlignedPhasesRaiseEveryBytesPeakOverItsPower) {
  double lowest = 1e9;
  for (int byte = 1; byte < 256; ++byte) {
    const double aligned = CrestFactor(static_cast<uint8_t>(byte), PhaseSet::kAligned);
    EXPECT_GE(aligned, CrestFactor(static_cast<uint8_t>(byte), PhaseSet::kLowCrest) * 0.999)
        << "byte " << byte;
    lowest = std::min(lowest, aligned);
  }
  // Two components of equal amplitude in phase: peak 2, RMS 1.
  EXPECT_NEAR(lowest, 2.0, 0.05);
  EXPECT_GT(CrestFactor(255, PhaseSet::kAligned), 1.4 * CrestFactor(255, PhaseSet::kLowCrest));
}

TEST(SymbolSynthTest, LengthsScaleWithTheRate) {
  const std::vector<uint8_t> bytes = {'H', 'i'};
  const size_t atBase = SynthesiseMessage(bytes, kDefaultTiming, 11025).size();
  const SymbolTiming& t = kDefaultTiming;
  EXPECT_EQ(atBase, static_cast<size_t>(t.leadSamples + 2 * (t.toneSamples + t.gapSamples) +
                                        t.tailSamples));
  EXPECT_EQ(SynthesiseMessage(bytes, kDefaultTiming, 44100).size(), 4 * atBase);
  const std::vector<double> at48k = SynthesiseMessage(bytes, kDefaultTiming, 48000);
  EXPECT_NEAR(static_cast<double>(at48k.size()), atBase * 48000.0 / 11025.0, 6.0);
  // Between its samples the waveform may peak a little above the sampled peak.
  for (const double x : at48k) ASSERT_LE(std::fabs(x), kDefaultTiming.amplitude * 1.01);
}

TEST(SymbolSynthTest, QuantiseRoundsToNearestAndClamps) {
  const std::vector<double> in = {0.0, 1.0, -1.0, 1.5, -1.5, 0.4 / 127, 1.6 / 127, -2.6 / 127};
  const std::vector<uint8_t> expected = {128, 255, 1, 255, 0, 128, 130, 125};
  EXPECT_EQ(QuantiseToU8(in), expected);
}

TEST(SymbolSynthTest, CalibrationSequenceHasOneHarmonicPerStep) {
  EXPECT_EQ(CalibrationSequence(), (std::vector<uint8_t>{0, 1, 2, 4, 8, 16, 32, 64, 128}));
  EXPECT_EQ(CalibrationSequence(2),
            (std::vector<uint8_t>{0, 1, 2, 4, 8, 16, 32, 64, 128, 0, 1, 2, 4, 8, 16, 32, 64, 128}));
}

// A fresh directory for the files of one test, removed with everything in it.
class WavWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { directory = testing::MakeTempDirectory("wav-writer-test"); }
  void TearDown() override { fs::remove_all(directory); }

  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path directory;
};

std::vector<double> SampleMessage(int32_t rate) {
  const std::vector<uint8_t> bytes = {0x41, 0xff, 0x01};
  return SynthesiseMessage(bytes, kDefaultTiming, rate);
}

TEST_F(WavWriterTest, EightBitFileReadsBackAsTheQuantisedSamples) {
  const std::string path = (directory / "out.wav").string();
  const std::vector<double> samples = SampleMessage(kSampleRate);
  IoError error;
  ASSERT_TRUE(WriteWav(path, samples, kSampleRate, 8, error)) << error.description;
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.wav"});

  const auto recording = RecordingFile::Open(path, error);
  ASSERT_NE(recording, nullptr) << error.description;
  EXPECT_EQ(recording->SourceRate(), static_cast<int>(kSampleRate));
  EXPECT_EQ(recording->SourceFrames(), static_cast<long long>(samples.size()));
  std::vector<uint8_t> read(samples.size() + 1);
  read.resize(recording->Read(read.data(), read.size()));
  EXPECT_EQ(read, QuantiseToU8(samples));
}

TEST_F(WavWriterTest, SixteenBitFileHoldsTheRoundedSamples) {
  const std::string path = (directory / "out.wav").string();
  const std::vector<double> samples = SampleMessage(44100);
  IoError error;
  ASSERT_TRUE(WriteWav(path, samples, 44100, 16, error)) << error.description;

  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(info.samplerate, 44100);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  std::vector<short> read(samples.size() + 1);
  read.resize(static_cast<size_t>(sf_read_short(file, read.data(), sf_count_t(read.size()))));
  sf_close(file);
  ASSERT_EQ(read.size(), samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    ASSERT_EQ(read[i], std::lrint(samples[i] * 32767)) << "sample " << i;
  }
}

TEST_F(WavWriterTest, ReplacesAnExistingFileWhole) {
  const std::string path = (directory / "out.wav").string();
  IoError error;
  ASSERT_TRUE(WriteWav(path, SampleMessage(kSampleRate), kSampleRate, 8, error));
  const std::vector<double> shorter(100, 0.25);
  ASSERT_TRUE(WriteWav(path, shorter, kSampleRate, 8, error));
  const auto recording = RecordingFile::Open(path, error);
  ASSERT_NE(recording, nullptr) << error.description;
  EXPECT_EQ(recording->SourceFrames(), 100);
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.wav"});
}

TEST_F(WavWriterTest, FailureLeavesNothingBehind) {
  const std::string kept = (directory / "kept.wav").string();
  IoError error;
  ASSERT_TRUE(WriteWav(kept, SampleMessage(kSampleRate), kSampleRate, 8, error));
  const auto keptSize = fs::file_size(kept);
  fs::create_directory(directory / "taken");

  struct Case {
    std::string name;
    std::string path;
    int32_t bits;
  };
  const std::vector<Case> cases = {
      // Fails only at the final rename, after the whole file was written.
      {"destination is a directory", (directory / "taken").string(), 8},
      {"missing directory", (directory / "missing" / "out.wav").string(), 8},
      {"unsupported sample size", kept, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IoError failure;
    EXPECT_FALSE(WriteWav(c.path, SampleMessage(kSampleRate), kSampleRate, c.bits, failure));
    EXPECT_FALSE(failure.description.empty());
    EXPECT_EQ(failure.description.find('\n'), std::string::npos);
    EXPECT_EQ(failure.description.find(directory.string()), std::string::npos);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"kept.wav", "taken"}));
    EXPECT_TRUE(fs::is_empty(directory / "taken"));
    EXPECT_EQ(fs::file_size(kept), keptSize);
  }
}

// The bundled example must be what the checked-in generator makes with today's synthesiser.
TEST(ExampleRecordingTest, MatchesTheGenerator) {
  const std::string path = std::string(BRINDLEMOOR_SOURCE_DIR) + "/examples/hello.wav";
  IoError error;
  const auto recording = RecordingFile::Open(path, error);
  ASSERT_NE(recording, nullptr) << error.description;
  EXPECT_EQ(recording->SourceRate(), static_cast<int>(kSampleRate));
  const std::string greeting = "Hello from Brindlemoor!\n";
  const std::vector<uint8_t> bytes(greeting.begin(), greeting.end());
  const std::vector<uint8_t> expected =
      QuantiseToU8(SynthesiseMessage(bytes, kDefaultTiming, kSampleRate));
  std::vector<uint8_t> read(expected.size() + 1);
  read.resize(recording->Read(read.data(), read.size()));
  EXPECT_EQ(read, expected);
}

}  // namespace
}  // namespace brindlemoor
