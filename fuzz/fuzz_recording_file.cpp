// The recording reader on arbitrary file contents: it either refuses the file with a one-line
// description, or yields the samples at 11025 Hz, never more than the file's frames imply, and
// for a capture-format file exactly its data bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "files/recording_file.h"
#include "fuzz/fuzz_input.h"

namespace brindlemoor::fuzz {
namespace {

// Resampling overshoots the exact length by the converter's delay at most.
constexpr long long kResamplerSlack = 4096;
constexpr std::size_t kReadChunk = 1102;

// One scratch file per process, rewritten for every input.
const std::string& ScratchPath() {
  static const std::string path = [] {
    std::string pattern = "/tmp/fuzz-recording-XXXXXX";
    const int fd = mkstemp(pattern.data());
    FUZZ_CHECK(fd >= 0);
    close(fd);
    std::atexit([] { unlink(ScratchPath().c_str()); });
    return pattern;
  }();
  return path;
}

}  // namespace
}  // namespace brindlemoor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brindlemoor;
  using namespace brindlemoor::fuzz;
  const std::string& path = ScratchPath();
  const int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
  FUZZ_CHECK(fd >= 0);
  FUZZ_CHECK(write(fd, data, size) == static_cast<ssize_t>(size));
  close(fd);

  IoError error;
  const std::unique_ptr<RecordingFile> recording = RecordingFile::Open(path, error);
  if (!recording) {
    FUZZ_CHECK(!error.description.empty());
    FUZZ_CHECK(error.description.find('\n') == std::string::npos);
    return 0;
  }
  FUZZ_CHECK(recording->SourceFrames() > 0);
  FUZZ_CHECK(recording->SourceRate() > 0);
  const long long bound =
      recording->SourceFrames() * static_cast<long long>(kSampleRate) / recording->SourceRate() +
      kResamplerSlack;
  uint8_t chunk[kReadChunk];
  long long total = 0;
  for (;;) {
    const std::size_t got = recording->Read(chunk, kReadChunk);
    FUZZ_CHECK(got <= kReadChunk);
    if (got == 0) break;
    total += static_cast<long long>(got);
    FUZZ_CHECK(total <= bound);
  }
  // Reading past the end stays at the end.
  FUZZ_CHECK(recording->Read(chunk, kReadChunk) == 0);
  return 0;
}
