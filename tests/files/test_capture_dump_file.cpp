// The dump of captured samples reads back byte for byte as an 11025 Hz unsigned 8-bit WAV.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "files/capture_dump_file.h"

namespace brindlemoor {
namespace {

TEST(CaptureDumpFile, ReadsBackExactlyTheBytesWrittenInPieces) {
  const std::filesystem::path path =
      ::testing::TempDir() + "capture-dump-" + std::to_string(getpid()) + ".wav";
  std::vector<uint8_t> samples(3000);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 37 + 5);

  IoError error;
  auto dump = CaptureDumpFile::Create(path.string(), 11025, error);
  ASSERT_NE(dump, nullptr) << error.description;
  size_t at = 0;
  for (size_t piece : {0u, 1u, 1102u, 37u, 1860u}) {
    ASSERT_TRUE(dump->Write(samples.data() + at, piece, error)) << error.description;
    at += piece;
  }
  ASSERT_EQ(at, samples.size());
  ASSERT_TRUE(dump->Close(error)) << error.description;

  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(info.samplerate, 11025);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
  std::vector<uint8_t> back(samples.size() + 10);
  back.resize(static_cast<size_t>(sf_read_raw(file, back.data(), back.size())));
  sf_close(file);
  std::filesystem::remove(path);
  EXPECT_EQ(back, samples);
}

TEST(CaptureDumpFile, NamesTheReasonWhenTheFileCannotBeCreated) {
  IoError error;
  EXPECT_EQ(CaptureDumpFile::Create("/nonexistent-dir/x.wav", 11025, error), nullptr);
  EXPECT_FALSE(error.description.empty());
}

}  // namespace
}  // namespace brindlemoor
