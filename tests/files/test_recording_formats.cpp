// The formats --help names: what libsndfile reads in this build (on Windows, the codecs
// cross-built into it), that recordings in each compressed format really decode, and the
// wrapping of that list into help lines.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "files/recording_file.h"
#include "files/recording_formats.h"
#include "testing/temp_directory.h"

namespace brindlemoor::testing {
namespace {

TEST(RecordingFormatsTest, NamesEveryFormatTheReceiverIsExpectedToRead) {
  const std::string formats = ", " + ReadableRecordingFormats() + ",";
  for (const char* format :
       {"WAV", "AIFF", "AU", "W64", "RF64", "FLAC", "Ogg (Vorbis, Opus)", "MP3"}) {
    EXPECT_NE(formats.find(std::string(", ") + format + ","), std::string::npos)
        << format << " missing from" << formats;
  }
  EXPECT_EQ(formats.find(", RAW,"), std::string::npos) << "raw data cannot be recognised";
}

struct CodecCase {
  const char* name;
  int format;
};

class CompressedRecordingTest : public ::testing::TestWithParam<CodecCase> {};

// One second of a 980 Hz tone at 48 kHz, written by libsndfile with the codec, must come back as
// about a second of capture samples (codecs pad a little) swinging well away from silence.
TEST_P(CompressedRecordingTest, DecodesAboutOneSecondOfTone) {
  const std::filesystem::path folder = MakeTempDirectory("recording-formats");
  const std::string path = (folder / GetParam().name).string();
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 1;
  info.format = GetParam().format;
  SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(out, nullptr) << sf_strerror(nullptr);
  std::vector<float> tone(48000);
  for (std::size_t i = 0; i < tone.size(); ++i) {
    tone[i] = 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 980 * i / 48000.0));
  }
  EXPECT_EQ(sf_writef_float(out, tone.data(), 48000), 48000);
  sf_close(out);

  IoError error;
  std::unique_ptr<RecordingFile> recording = RecordingFile::Open(path, error);
  ASSERT_NE(recording, nullptr) << error.description;
  std::vector<uint8_t> samples(20000);
  std::size_t total = 0;
  for (std::size_t got; (got = recording->Read(samples.data() + total, 1000)) > 0;) {
    total += got;
    ASSERT_LE(total + 1000, samples.size());
  }
  recording.reset();
  EXPECT_GE(total, 11025u);
  EXPECT_LE(total, 11025u + 1500u);
  const auto [low, high] = std::minmax_element(samples.begin(), samples.begin() + total);
  EXPECT_LT(*low, 128 - 40);
  EXPECT_GT(*high, 128 + 40);
  std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, CompressedRecordingTest,
    ::testing::Values(CodecCase{"tone.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                      CodecCase{"tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                      CodecCase{"tone.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
                      CodecCase{"tone.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III}),
    [](const ::testing::TestParamInfo<CodecCase>& info) {
      std::string name = info.param.name;
      return name.substr(name.find('.') + 1);
    });

struct WrapCase {
  const char* text;
  std::size_t width;
  const char* wrapped;
};

class WrapAtSpacesTest : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapAtSpacesTest, BreaksAtTheLastSpaceThatFits) {
  EXPECT_EQ(WrapAtSpaces(GetParam().text, GetParam().width), GetParam().wrapped);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrapAtSpacesTest,
    ::testing::Values(WrapCase{"a bb ccc", 80, "a bb ccc\n"},    // fits on one line
                      WrapCase{"a bb ccc", 4, "a bb\nccc\n"},    // exactly the width
                      WrapCase{"a bb ccc", 3, "a\nbb\nccc\n"},   // one word a line
                      WrapCase{"abcdef gh", 3, "abcdef\ngh\n"},  // a longer word stays whole
                      WrapCase{"", 10, "\n"}));

}  // namespace
}  // namespace brindlemoor::testing
