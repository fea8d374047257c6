// "receive.txt" and "flag.dat" on disk: appended back to back, every byte 1..255 as given, and a
// line feed written as the platform's line end (CR LF on Windows, whose text mode adds the CR).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "files/directory_text_output.h"

namespace brindlemoor {
namespace {

#ifdef _WIN32
constexpr const char* kLineEnd = "\r\n";
#else
constexpr const char* kLineEnd = "\n";
#endif

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TextFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                ("brindlemoor-text-files-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
  }
  void TearDown() override { std::filesystem::remove_all(directory); }

  std::filesystem::path directory;
};

TEST_F(TextFilesTest, AppendsBackToBackWithThePlatformsLineEnd) {
  DirectoryTextOutput output(directory.string());
  ASSERT_TRUE(output.Append(OutputFile::kReceiveText, "ab\n", 3));
  ASSERT_TRUE(output.Append(OutputFile::kReceiveText, "\ncd", 3));
  ASSERT_TRUE(output.Append(OutputFile::kFlagData, "1, 2\n", 5));
  EXPECT_EQ(ReadBytes(directory / "receive.txt"), std::string("ab") + kLineEnd + kLineEnd + "cd");
  EXPECT_EQ(ReadBytes(directory / "flag.dat"), std::string("1, 2") + kLineEnd);
}

TEST_F(TextFilesTest, EveryOtherByteIsWrittenUnchanged) {
  // Carriage return, end-of-file (26) and the bytes above 127 included.
  std::string all;
  for (int b = 1; b <= 255; ++b) {
    if (b != '\n') all += static_cast<char>(b);
  }
  DirectoryTextOutput output(directory.string());
  ASSERT_TRUE(output.Append(OutputFile::kReceiveText, all.data(), all.size()));
  ASSERT_TRUE(output.Append(OutputFile::kReceiveText, all.data(), all.size()));
  EXPECT_EQ(ReadBytes(directory / "receive.txt"), all + all);
}

TEST_F(TextFilesTest, AFileThatCannotBeOpenedIsReportedAndSkipped) {
  DirectoryTextOutput output((directory / "missing").string());
  struct Seen {
    std::string path;
    int error = 0;
  } seen;
  output.SetFailureReporter(
      [](void* context, OutputFile, const char* path, int error) {
        *static_cast<Seen*>(context) = {path, error};
      },
      &seen);
  EXPECT_FALSE(output.Append(OutputFile::kReceiveText, "x", 1));
  EXPECT_NE(seen.error, 0);
  EXPECT_NE(seen.path.find("receive.txt"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(directory / "missing"));
}

}  // namespace
}  // namespace brindlemoor
