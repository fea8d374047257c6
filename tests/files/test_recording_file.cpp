// Reading recordings: byte-exact pass-through and conversion of capture-format content, mixing and
// resampling of anything else, streams and files cut short, and a clear refusal of every kind of
// unusable file.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_format.h"
#include "files/recording_file.h"
#include "testing/temp_directory.h"

namespace brindlemoor::testing {
namespace {

namespace fs = std::filesystem;

// Every byte value, then a ramp that is not periodic in any small block size.
std::vector<uint8_t> TestBytes() {
  std::vector<uint8_t> bytes;
  for (int v = 0; v < 256; ++v) bytes.push_back(static_cast<uint8_t>(v));
  for (int i = 0; i < 5000; ++i) bytes.push_back(static_cast<uint8_t>(i * 13 + i / 300));
  return bytes;
}

// The 16-bit sample that libsndfile turns into unsigned byte `b` (and into the float (b-128)/128).
short ShortFor(uint8_t b) { return static_cast<short>((b - 128) * 256); }

std::vector<uint8_t> ReadAll(RecordingFile& file, std::size_t chunk) {
  std::vector<uint8_t> all;
  std::vector<uint8_t> buffer(chunk);
  for (;;) {
    const std::size_t got = file.Read(buffer.data(), chunk);
    if (got == 0) break;
    all.insert(all.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got));
  }
  return all;
}

std::vector<uint8_t> FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

class RecordingFileTest : public ::testing::Test {
 protected:
  void SetUp() override { directory = testing::MakeTempDirectory("brindlemoor-capture"); }
  void TearDown() override { fs::remove_all(directory); }

  // Writes a sound file with libsndfile; `write` gets the open handle.
  fs::path Write(const std::string& name, int format, int rate, int channels,
                 const std::function<void(SNDFILE*)>& write) {
    const fs::path path = directory / name;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    if (file) {
      write(file);
      sf_close(file);
    }
    return path;
  }

  fs::path WriteShorts(const std::string& name, int format, int rate, int channels,
                       const std::vector<short>& interleaved) {
    return Write(name, format, rate, channels, [&](SNDFILE* file) {
      sf_writef_short(file, interleaved.data(),
                      static_cast<sf_count_t>(interleaved.size()) / channels);
    });
  }

  std::unique_ptr<RecordingFile> OpenOk(const fs::path& path) {
    IoError error;
    auto file = RecordingFile::Open(path.string(), error);
    EXPECT_NE(file, nullptr) << error.description;
    return file;
  }

  fs::path directory;
};

TEST_F(RecordingFileTest, CaptureFormatFilePassesThroughByteForByte) {
  const std::vector<uint8_t> bytes = TestBytes();
  const fs::path path =
      Write("u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 11025, 1, [&](SNDFILE* f) {
        sf_set_string(f, SF_STR_TITLE, "chunks around the data");
        sf_write_raw(f, bytes.data(), static_cast<sf_count_t>(bytes.size()));
      });
  const std::vector<uint8_t> raw = FileBytes(path);
  const auto data = std::search(raw.begin(), raw.end(), bytes.begin(), bytes.end());
  ASSERT_NE(data, raw.end()) << "the samples are stored as written";

  auto file = OpenOk(path);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->SourceFrames(), static_cast<long long>(bytes.size()));
  EXPECT_EQ(file->SourceRate(), 11025);
  for (const std::size_t chunk : {std::size_t{1}, std::size_t{1102}, std::size_t{1} << 16}) {
    auto again = OpenOk(path);
    EXPECT_EQ(ReadAll(*again, chunk), bytes) << chunk;
  }
}

// Content that is exactly representable in the capture format comes out exactly, whatever the
// container, encoding or channel count; channels are mixed by their mean.
TEST_F(RecordingFileTest, ExactContentSurvivesEveryEncodingAt11025Hz) {
  const std::vector<uint8_t> bytes = TestBytes();
  std::vector<short> mono;
  std::vector<short> twin;
  std::vector<short> leftOnly;
  std::vector<float> floats;
  std::vector<uint8_t> halved;  // left = b, right = silence
  for (const uint8_t b : bytes) {
    mono.push_back(ShortFor(b));
    twin.insert(twin.end(), {ShortFor(b), ShortFor(b)});
    leftOnly.insert(leftOnly.end(), {ShortFor(b), 0});
    floats.push_back(static_cast<float>(b - 128) / 128.0f);
    halved.push_back(static_cast<uint8_t>(128 + std::lrint((b - 128) / 2.0)));
  }
  struct Case {
    const char* name;
    int format;
    int channels;
    const std::vector<short>* shorts;
    const std::vector<uint8_t>* expected;
  };
  const Case cases[] = {
      {"u8-stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 2, &twin, &bytes},
      {"s16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, &mono, &bytes},
      {"s16-stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, &twin, &bytes},
      {"u8-ext.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_U8, 1, &mono, &bytes},
      {"s16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, &mono, &bytes},
      {"s24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1, &mono, &bytes},
      {"left-only.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, &leftOnly, &halved},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto file = OpenOk(WriteShorts(c.name, c.format, 11025, c.channels, *c.shorts));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadAll(*file, 1000), *c.expected);
  }
  const fs::path floatPath =
      Write("float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 11025, 1, [&](SNDFILE* f) {
        sf_writef_float(f, floats.data(), static_cast<sf_count_t>(floats.size()));
      });
  auto file = OpenOk(floatPath);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(*file, 4096), bytes);
}

// Float samples at the capture rate are quantised as clamp(128 + lrint(x * 128), 0, 255): halves
// round to even, anything beyond the range clamps, NaN is silence.
TEST_F(RecordingFileTest, FloatSamplesAreQuantisedAsTheHeaderSays) {
  std::vector<float> samples = {0.0f,          0.5f / 128,     1.5f / 128,  -0.5f / 128,
                                -1.5f / 128,   126.5f / 128,   127.5f / 128, -127.5f / 128,
                                -128.5f / 128, 0.99999f,       1.0f,        -1.0f,
                                2.0f,          -2.0f,          1e30f,       -1e30f,
                                INFINITY,      -INFINITY,      NAN,         0.3f / 128,
                                -0.7f / 128,   std::nextafter(0.5f / 128, 1.0f)};
  for (int i = -3000; i <= 3000; ++i) samples.push_back(static_cast<float>(i) / 2900.0f);
  std::vector<uint8_t> expected;
  for (const float x : samples) {
    const double scaled = static_cast<double>(x) * 128.0;
    expected.push_back(std::isnan(scaled) ? uint8_t{128}
                                          : static_cast<uint8_t>(std::clamp(
                                                128L + std::lrint(std::clamp(scaled, -1e6, 1e6)),
                                                0L, 255L)));
  }
  const fs::path path =
      Write("edges.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 11025, 1, [&](SNDFILE* f) {
        sf_command(f, SFC_SET_CLIPPING, nullptr, SF_FALSE);
        sf_writef_float(f, samples.data(), static_cast<sf_count_t>(samples.size()));
      });
  auto file = OpenOk(path);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(*file, 1102), expected);
}

// 2 s of a 245 Hz tone at 44100 Hz, 16-bit stereo, louder on the left: mixed to mono and brought
// to 11025 Hz it must last 2 s, repeat every 45 samples, and have the mean of the two amplitudes.
TEST_F(RecordingFileTest, StereoAt44100IsMixedAndResampled) {
  constexpr int kRate = 44100;
  constexpr int kFrames = 2 * kRate;
  std::vector<short> samples;
  for (int i = 0; i < kFrames; ++i) {
    const double tone = std::sin(2 * std::numbers::pi * 245.0 * i / kRate);
    samples.push_back(static_cast<short>(std::lrint(0.6 * 32767 * tone)));
    samples.push_back(static_cast<short>(std::lrint(0.2 * 32767 * tone)));
  }
  const fs::path path =
      WriteShorts("tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2, samples);
  auto file = OpenOk(path);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->SourceFrames(), kFrames);
  EXPECT_EQ(file->SourceRate(), kRate);
  const std::vector<uint8_t> out = ReadAll(*file, 4096);

  ASSERT_NEAR(static_cast<double>(out.size()), 2.0 * kSampleRate, 4.0);
  int low = 255;
  int high = 0;
  int worstRepeat = 0;
  for (std::size_t i = 500; i + 45 + 500 < out.size(); ++i) {
    low = std::min<int>(low, out[i]);
    high = std::max<int>(high, out[i]);
    worstRepeat = std::max(worstRepeat, std::abs(out[i] - out[i + 45]));
  }
  EXPECT_LE(worstRepeat, 2);
  EXPECT_NEAR(high - low, 2 * 0.4 * 128, 4);  // the mean of 0.6 and 0.2
  EXPECT_NEAR((high + low) / 2.0, 128, 2);

  // The stream does not depend on how it is read.
  for (const std::size_t chunk : {std::size_t{1}, std::size_t{37}, std::size_t{1102}}) {
    auto again = OpenOk(path);
    EXPECT_EQ(ReadAll(*again, chunk), out) << chunk;
  }
}

// A 16-bit mono WAV written by libsndfile: a 44-byte header, then the samples.
std::vector<uint8_t> CanonicalWav(int frames) {
  std::vector<uint8_t> wav;
  const auto word = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) wav.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) wav.push_back(static_cast<uint8_t>(t[i]));
  };
  tag("RIFF");
  word(36 + 2 * frames, 4);
  tag("WAVE");
  tag("fmt ");
  word(16, 4);
  word(1, 2);          // PCM
  word(1, 2);          // mono
  word(11025, 4);      // rate
  word(2 * 11025, 4);  // bytes per second
  word(2, 2);          // block align
  word(16, 2);         // bits
  tag("data");
  word(2 * frames, 4);
  for (int i = 0; i < frames; ++i) word(static_cast<uint32_t>((i * 97) & 0x7fff), 2);
  return wav;
}

TEST_F(RecordingFileTest, UnusableFilesAreRefusedWithOneClearLine) {
  const auto withRate = [](uint32_t rate) {
    std::vector<uint8_t> wav = CanonicalWav(100);
    for (int i = 0; i < 4; ++i) wav[24 + i] = static_cast<uint8_t>(rate >> (8 * i));
    return wav;
  };
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
    const char* description;  // expected at the start of the description
  };
  const Case cases[] = {
      {"missing.wav", [](const fs::path&) {}, "no such file or directory"},
      {"folder.wav", [](const fs::path& p) { fs::create_directory(p); }, "is a directory"},
      {"empty.wav", [](const fs::path& p) { WriteBytes(p, {}); }, "is empty (0 bytes)"},
      {"notes.txt",
       [](const fs::path& p) {
         const std::string text = "these are not the samples you are looking for\n";
         WriteBytes(p, std::vector<uint8_t>(text.begin(), text.end()));
       },
       "not a recognised audio file"},
      {"header-only.wav",
       [](const fs::path& p) {
         std::vector<uint8_t> wav = CanonicalWav(5000);
         wav.resize(44);
         WriteBytes(p, wav);
       },
       "truncated: header declares 5000 frames, file holds 0"},
      {"silent.wav", [](const fs::path& p) { WriteBytes(p, CanonicalWav(0)); },
       "contains no audio"},
      {"fast.wav", [&](const fs::path& p) { WriteBytes(p, withRate(5'000'000)); },
       "unsupported sample rate of 5000000 Hz"},
      {"slow.wav", [&](const fs::path& p) { WriteBytes(p, withRate(20)); },
       "unsupported sample rate of 20 Hz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = directory / c.name;
    c.make(path);
    IoError error;
    EXPECT_EQ(RecordingFile::Open(path.string(), error), nullptr);
    EXPECT_EQ(error.description.rfind(c.description, 0), 0u) << error.description;
    EXPECT_EQ(error.description.find('\n'), std::string::npos);
    EXPECT_EQ(error.description.find(c.name), std::string::npos) << "the caller names the file";
  }

  // The generator above makes valid files when left whole.
  WriteBytes(directory / "whole.wav", CanonicalWav(5000));
  EXPECT_NE(OpenOk(directory / "whole.wav"), nullptr);
  WriteBytes(directory / "rate.wav", withRate(11025));
  EXPECT_NE(OpenOk(directory / "rate.wav"), nullptr);
}

// The same stereo content in 16-bit integers (read without a detour through float), 24-bit and
// float gives the same samples after mixing and resampling.
TEST_F(RecordingFileTest, SixteenBitInputGivesWhatFloatInputGives) {
  constexpr int kRate = 48000;
  std::vector<short> shorts;
  std::vector<float> floats;
  for (int i = 0; i < kRate; ++i) {
    const double tone = 0.7 * std::sin(2 * std::numbers::pi * 735.0 * i / kRate);
    const short left = static_cast<short>(std::lrint(32767 * tone));
    const short right = static_cast<short>(-left / 3 + (i % 7) * 5);
    shorts.insert(shorts.end(), {left, right});
    floats.insert(floats.end(), {left / 32768.0f, right / 32768.0f});
  }
  const auto decode = [&](const fs::path& path) {
    auto file = OpenOk(path);
    return file ? ReadAll(*file, 1102) : std::vector<uint8_t>{};
  };
  const std::vector<uint8_t> fromShorts =
      decode(WriteShorts("s16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2, shorts));
  ASSERT_NEAR(static_cast<double>(fromShorts.size()), kSampleRate, 2.0);
  EXPECT_EQ(decode(WriteShorts("s24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, kRate, 2, shorts)),
            fromShorts);
  EXPECT_EQ(decode(Write("f32.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, 2,
                         [&](SNDFILE* f) { sf_writef_float(f, floats.data(), kRate); })),
            fromShorts);
}

// A file cut short is decoded as far as it goes; Shortfall then says how much was missing.
TEST_F(RecordingFileTest, TruncatedFilesDecodeWhatTheyHoldAndSaySo) {
  std::vector<uint8_t> whole = CanonicalWav(5000);
  WriteBytes(directory / "whole.wav", whole);
  std::vector<uint8_t> cut = whole;
  cut.resize(44 + 2 * 3000 + 1);  // and half a frame
  WriteBytes(directory / "cut.wav", cut);

  std::vector<short> flacSamples(20000);
  for (std::size_t i = 0; i < flacSamples.size(); ++i) {
    flacSamples[i] = static_cast<short>((i * 7919) % 20000 - 10000);
  }
  const std::vector<uint8_t> flacBytes = FileBytes(
      WriteShorts("whole.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 11025, 1, flacSamples));
  WriteBytes(directory / "cut.flac",
             std::vector<uint8_t>(flacBytes.begin(), flacBytes.begin() + flacBytes.size() / 2));

  auto wholeFile = OpenOk(directory / "whole.wav");
  ASSERT_NE(wholeFile, nullptr);
  const std::vector<uint8_t> all = ReadAll(*wholeFile, 1102);
  ASSERT_EQ(all.size(), 5000u);
  EXPECT_EQ(wholeFile->Shortfall(), "");

  auto cutFile = OpenOk(directory / "cut.wav");
  ASSERT_NE(cutFile, nullptr);
  EXPECT_EQ(ReadAll(*cutFile, 1102), std::vector<uint8_t>(all.begin(), all.begin() + 3000));
  EXPECT_EQ(cutFile->Shortfall(),
            "truncated: header declares 5000 frames, file holds 3000; decoded those, 2000 frames "
            "(0.2 s of 0.5 s) are missing");

  auto cutFlac = OpenOk(directory / "cut.flac");
  ASSERT_NE(cutFlac, nullptr);
  const std::size_t held = ReadAll(*cutFlac, 4096).size();
  EXPECT_GT(held, 5000u);
  EXPECT_LT(held, 15000u);
  EXPECT_EQ(cutFlac->Shortfall().rfind("truncated: header declares 20000 frames, file holds ", 0),
            0u)
      << cutFlac->Shortfall();
}

// A FIFO is read as a stream, front to back, and gives what the same file gives: in the capture
// format (passed through) and at 44.1 kHz in 16-bit stereo (converted).
TEST_F(RecordingFileTest, FifoIsReadAsAStream) {
  std::vector<short> stereo;
  for (int i = 0; i < 3 * 44100; ++i) {
    const double tone = std::sin(2 * std::numbers::pi * 490.0 * i / 44100);
    stereo.insert(stereo.end(), {static_cast<short>(std::lrint(20000 * tone)), short{0}});
  }
  const std::vector<uint8_t> bytes = TestBytes();
  const fs::path files[] = {
      Write("u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 11025, 1,
            [&](SNDFILE* f) {
              sf_write_raw(f, bytes.data(), static_cast<sf_count_t>(bytes.size()));
            }),
      WriteShorts("s16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, stereo),
  };
  for (const fs::path& path : files) {
    SCOPED_TRACE(path.filename().string());
    auto regular = OpenOk(path);
    ASSERT_NE(regular, nullptr);
    const std::vector<uint8_t> expected = ReadAll(*regular, 1102);
    EXPECT_EQ(regular->Shortfall(), "");

    const fs::path fifo = directory / "stream";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<uint8_t> content = FileBytes(path);
    std::thread writer([&] {
      std::ofstream out(fifo, std::ios::binary);
      out.write(reinterpret_cast<const char*>(content.data()),
                static_cast<std::streamsize>(content.size()));
    });
    auto streamed = OpenOk(fifo);
    std::vector<uint8_t> got;
    if (streamed) got = ReadAll(*streamed, 1102);
    writer.join();
    ASSERT_NE(streamed, nullptr);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(streamed->SourceFrames(), 0) << "a stream's length is not known ahead";
    EXPECT_EQ(streamed->Shortfall(), "");
    fs::remove(fifo);
  }
}

// A WAV that libsndfile reads in another encoding (GSM 6.10) decodes without a seek.
TEST_F(RecordingFileTest, GsmInWavIsDecoded) {
  std::vector<short> tone(8000);
  for (std::size_t i = 0; i < tone.size(); ++i) {
    tone[i] =
        static_cast<short>(std::lrint(12000 * std::sin(2 * std::numbers::pi * 245.0 * i / 8000)));
  }
  auto file = OpenOk(WriteShorts("gsm.wav", SF_FORMAT_WAV | SF_FORMAT_GSM610, 8000, 1, tone));
  ASSERT_NE(file, nullptr);
  const std::vector<uint8_t> out = ReadAll(*file, 1102);
  // Whole GSM blocks of 320 samples: the tone and a little padding.
  EXPECT_GE(file->SourceFrames(), 8000);
  EXPECT_NEAR(static_cast<double>(out.size()), file->SourceFrames() * kSampleRate / 8000.0, 4.0);
  const auto [low, high] = std::minmax_element(out.begin() + 2000, out.end() - 2000);
  EXPECT_GT(*high - *low, 60) << "the tone is there";
  EXPECT_EQ(file->Shortfall(), "");
}

}  // namespace
}  // namespace brindlemoor::testing
