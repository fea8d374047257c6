// brindlemoor-receive against hostile input and failing output, run as a child process the way a
// user runs it: every hostile recording is refused with one line on standard error that names the
// path, exit status 2, nothing on standard output and no output file, within an address-space
// limit and a time limit (a blocked or runaway run is killed and fails the test). Harmless header
// quirks decode normally. Output files that cannot be written are reported once each, with exit
// status 3, while decoding goes on.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_format.h"
#include "files/wav_writer.h"
#include "synth/symbol_synth.h"
#include "tools/hostile_recordings.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define BRINDLEMOOR_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define BRINDLEMOOR_SANITIZED 1
#endif
#endif

namespace brindlemoor {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTool = BRINDLEMOOR_RECEIVE_TOOL;
// The receiver needs a few MiB; a reader that believed a header's 4 GiB would not fit. (Sanitizer
// runtimes reserve terabytes of address space, so sanitised builds run without the limit.)
constexpr rlim_t kAddressSpaceLimit = rlim_t{256} << 20;
constexpr auto kRunLimit = std::chrono::seconds(30);
constexpr int kExitUsage = 2;
constexpr int kExitOutputFailed = 3;
constexpr uid_t kNobody = 65534;
constexpr int kCannotDropPrivileges = 125;

struct RunResult {
  int status = -1;  // exit status, or -1 after a signal
  int signal = 0;
  bool timedOut = false;
  std::string out;
  std::string err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class HostileInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "brindlemoor-hostile-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory = pattern;
    // Readable by the unprivileged user some runs switch to.
    fs::permissions(directory, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
  }
  void TearDown() override {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(directory, ignored)) {
      if (entry.symlink_status(ignored).type() == fs::file_type::directory) {
        fs::permissions(entry.path(), fs::perms::owner_all, ignored);
      }
    }
    fs::remove_all(directory, ignored);
  }

  // Runs the receiver with `args`; stdout and stderr are captured in files.
  // `input`, when given, becomes standard input (a FIFO is opened in the child, so it waits for
  // its writer there). With `interruptAfter`, SIGINT is sent that long after the start.
  RunResult Receive(const std::vector<std::string>& args, bool unprivileged = false,
                    const fs::path& input = {},
                    std::chrono::milliseconds interruptAfter = std::chrono::milliseconds(0)) {
    const fs::path out = directory / "run.out";
    const fs::path err = directory / "run.err";
    const pid_t child = fork();
    if (child == 0) {
      const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (outFd < 0 || errFd < 0) _exit(127);
      dup2(outFd, STDOUT_FILENO);
      dup2(errFd, STDERR_FILENO);
      if (!input.empty()) {
        const int inFd = open(input.c_str(), O_RDONLY);
        if (inFd < 0) _exit(127);
        dup2(inFd, STDIN_FILENO);
      }
#ifndef BRINDLEMOOR_SANITIZED
      const rlimit limit{kAddressSpaceLimit, kAddressSpaceLimit};
      setrlimit(RLIMIT_AS, &limit);
#endif
      if (unprivileged && geteuid() == 0 &&
          (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
        _exit(kCannotDropPrivileges);
      }
      std::vector<char*> argv{const_cast<char*>(kTool)};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(kTool, argv.data());
      _exit(127);
    }
    RunResult run;
    if (child < 0) return run;
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + kRunLimit;
    bool interrupted = interruptAfter.count() == 0;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
      if (!interrupted && std::chrono::steady_clock::now() > start + interruptAfter) {
        kill(child, SIGINT);
        interrupted = true;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        run.timedOut = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    run.out = Slurp(out);
    run.err = Slurp(err);
    return run;
  }

  // Runs the receiver on `recording` given to its standard input through a pipe.
  RunResult ThroughPipe(const fs::path& recording, const fs::path& output) {
    const fs::path fifo = directory / "pipe";
    EXPECT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string content = Slurp(recording);
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << content; });
    RunResult run = Receive({"-", "--output-dir", output.string()}, false, fifo);
    writer.join();
    fs::remove(fifo);
    return run;
  }

  // An empty directory the receiver may write to, for each run's output.
  fs::path FreshOutput(const std::string& name) {
    const fs::path output = directory / name;
    fs::create_directory(output);
    fs::permissions(output, fs::perms::all);
    return output;
  }

  // A recording of a calibration and then `text`, long enough to span several ticks.
  fs::path MessageRecording(const std::string& text) {
    std::vector<uint8_t> symbols = CalibrationSequence();
    symbols.insert(symbols.end(), text.begin(), text.end());
    const fs::path path = directory / "message.wav";
    IoError error;
    EXPECT_TRUE(
        WriteWav(path.string(),
                 SynthesiseMessage(symbols, kDefaultTiming, static_cast<int32_t>(kSampleRate)),
                 static_cast<int32_t>(kSampleRate), kBitsPerSample, error))
        << error.description;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
    return path;
  }

  fs::path directory;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

TEST_F(HostileInputTest, EveryHostileRecordingIsRefusedWithOneLineAndNothingWritten) {
  const fs::path inputs = directory / "inputs";
  fs::create_directory(inputs);
  const std::vector<HostileRecording> recordings = HostileRecordings();
  ASSERT_GE(recordings.size(), 30u);
  for (const HostileRecording& recording : recordings) {
    SCOPED_TRACE(recording.name);
    std::string problem;
    ASSERT_TRUE(MakeHostileRecording(recording, inputs.string(), problem)) << problem;
    const fs::path output = FreshOutput("out-" + recording.name);
    const std::string path =
        recording.viaStandardInput ? "standard input" : (inputs / recording.name).string();
    const RunResult run = recording.viaStandardInput
                              ? ThroughPipe(inputs / recording.name, output)
                              : Receive({"--input", path, "--output-dir", output.string()});
    ASSERT_FALSE(run.timedOut) << "still running after the time limit";
    ASSERT_EQ(run.signal, 0) << "killed by signal " << run.signal << "; stderr: " << run.err;
    EXPECT_EQ(run.status, kExitUsage) << run.err;
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> lines = Lines(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    const std::string expected = "brindlemoor-receive: " + path + ": " + recording.reason;
    EXPECT_EQ(lines[0].rfind(expected, 0), 0u)
        << "the line names the path, then says what is wrong: " << lines[0];
    EXPECT_TRUE(fs::is_empty(output)) << "an output file was created";
  }
}

TEST_F(HostileInputTest, HarmlessHeaderQuirksDecodeAsUsual) {
  for (const HostileRecording& recording : OddButUsableRecordings()) {
    SCOPED_TRACE(recording.name);
    std::string problem;
    ASSERT_TRUE(MakeHostileRecording(recording, directory.string(), problem)) << problem;
    const fs::path output = FreshOutput("out-" + recording.name);
    const RunResult run = Receive(
        {"--input", (directory / recording.name).string(), "--output-dir", output.string()});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, recording.text);
    EXPECT_EQ(Slurp(output / "receive.txt"), recording.text);
  }
}

// A recording that holds less than its header declares: what is there is decoded, then one line
// names the file and what was missing, and the status is 0.
TEST_F(HostileInputTest, TruncatedRecordingsDecodeWhatTheyHoldThenWarnOnce) {
  for (const HostileRecording& recording : TruncatedRecordings()) {
    SCOPED_TRACE(recording.name);
    std::string problem;
    ASSERT_TRUE(MakeHostileRecording(recording, directory.string(), problem)) << problem;
    const fs::path output = FreshOutput("out-" + recording.name);
    const std::string path = (directory / recording.name).string();
    const RunResult run = Receive({"--input", path, "--output-dir", output.string()});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    const std::string expected = "brindlemoor-receive: " + path + ": warning: " + recording.reason;
    EXPECT_EQ(lines[0].rfind(expected, 0), 0u) << lines[0];
    EXPECT_EQ(Slurp(output / "receive.txt"), run.out);
    if (recording.name == "truncated-data.wav") {
      // Cut in the middle: the first half of the text, and what the cut symbol decodes to.
      ASSERT_GT(run.out.size(), recording.text.size() / 4) << run.out;
      EXPECT_LT(run.out.size(), recording.text.size() * 3 / 4) << run.out;
      EXPECT_EQ(recording.text.rfind(run.out.substr(0, run.out.size() - 1), 0), 0u) << run.out;
    } else {
      EXPECT_EQ(run.out, recording.text);
    }
  }
}

// Damage inside a recording, sizes in containers other than WAV and a streaming writer's unknown
// size through a pipe: decoded as far as the file goes, with one warning that says what really
// happened, or none when nothing was missing.
TEST_F(HostileInputTest, DamagedAndUnusualRecordingsWarnOnlyAboutWhatWentWrong) {
  for (const HostileRecording& recording : DamagedRecordings()) {
    SCOPED_TRACE(recording.name);
    std::string problem;
    ASSERT_TRUE(MakeHostileRecording(recording, directory.string(), problem)) << problem;
    const fs::path output = FreshOutput("out-" + recording.name);
    const fs::path path = directory / recording.name;
    const RunResult run =
        recording.viaStandardInput
            ? ThroughPipe(path, output)
            : Receive({"--input", path.string(), "--output-dir", output.string()});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    if (recording.reason.empty()) {
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(run.out, recording.text);
    } else {
      const std::vector<std::string> lines = Lines(run.err);
      ASSERT_EQ(lines.size(), 1u) << run.err;
      const std::string expected =
          "brindlemoor-receive: " + path.string() + ": warning: " + recording.reason;
      EXPECT_EQ(lines[0].rfind(expected, 0), 0u) << lines[0];
      EXPECT_EQ(lines[0].find("truncated") == std::string::npos,
                recording.reason.find("truncated") == std::string::npos)
          << lines[0];
      EXPECT_NE(run.out.find(recording.text), std::string::npos) << run.out;
    }
  }
}

// A replay stopped by a signal before the end of a whole file says where it stopped, and does not
// call the file truncated.
TEST_F(HostileInputTest, ReplayStoppedBySignalDoesNotCallTheFileTruncated) {
  // Ten hours of a sparse WAV (no disk used): far longer than the replay gets before the signal.
  const fs::path path = directory / "long.wav";
  IoError error;
  ASSERT_TRUE(WriteWav(path.string(), std::vector<double>(1, 0.0),
                       static_cast<int32_t>(kSampleRate), kBitsPerSample, error))
      << error.description;
  constexpr uint32_t kFrames = 10 * 3600 * kSampleRate;
  {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    const auto le = [&](std::streamoff at, uint32_t value) {
      const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                             static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
      file.seekp(at);
      file.write(bytes, 4);
    };
    le(4, 36 + kFrames);
    le(40, kFrames);
  }
  fs::resize_file(path, 44 + kFrames);
  const fs::path output = FreshOutput("out-interrupted");
  const RunResult run = Receive({"--input", path.string(), "--output-dir", output.string()}, false,
                                {}, std::chrono::milliseconds(500));
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("stopped by "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("truncated"), std::string::npos) << run.err;
}

// Standard input and a FIFO are decoded as streams: a pipe cannot seek, so nothing may read the
// recording twice. A FIFO with no writer yet is waited for, as any reader of one would.
TEST_F(HostileInputTest, StandardInputAndFifosAreDecodedAsStreams) {
  const std::string text = "streamed through a pipe, read once\n";
  const fs::path recording = MessageRecording(text);
  const std::string content = Slurp(recording);
  const fs::path fifo = directory / "stream.wav";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  for (const bool fromStandardInput : {true, false}) {
    SCOPED_TRACE(fromStandardInput ? "--input -" : "--input FIFO");
    const fs::path output = FreshOutput(fromStandardInput ? "out-stdin" : "out-fifo");
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << content; });
    const RunResult run =
        fromStandardInput ? Receive({"--input", "-", "--output-dir", output.string()}, false, fifo)
                          : Receive({"--input", fifo.string(), "--output-dir", output.string()});
    writer.join();
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, text);
    EXPECT_EQ(Slurp(output / "receive.txt"), text);
  }
}

// A WAV past 4 GiB cannot state its sizes in 32 bits: one whose data size wrapped to a small
// number is refused, not decoded as the sliver the header claims (a sparse file: no disk used).
TEST_F(HostileInputTest, WavWhoseSizesWrappedPast4GiBIsRefused) {
  const fs::path recording = MessageRecording("the first few seconds of a long day\n");
  const fs::path big = directory / "wrapped.wav";
  fs::copy_file(recording, big);
  constexpr std::uintmax_t kPast4GiB = (std::uintmax_t{1} << 32) + 65536;
  std::error_code error;
  fs::resize_file(big, kPast4GiB, error);
  if (error) GTEST_SKIP() << "no sparse file of 4 GiB here: " << error.message();
  const fs::path output = FreshOutput("out-wrapped");
  const RunResult run = Receive({"--input", big.string(), "--output-dir", output.string()});
  fs::remove(big);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, kExitUsage) << run.err;
  EXPECT_EQ(run.out, "");
  const std::vector<std::string> lines = Lines(run.err);
  ASSERT_EQ(lines.size(), 1u) << run.err;
  EXPECT_EQ(lines[0].rfind("brindlemoor-receive: " + big.string() + ": cannot be trusted: ", 0), 0u)
      << lines[0];
  EXPECT_TRUE(fs::is_empty(output));
}

// Output that cannot be written: each file is reported once however many ticks write to it, the
// whole text still reaches standard output, and the exit status is 3. A missing or non-directory
// output directory is bad usage, found before anything is decoded.
TEST_F(HostileInputTest, OutputThatCannotBeWrittenIsReportedOnceWhileDecodingGoesOn) {
  const std::string text = "three seconds of text and more, so that several ticks write it\n";
  const fs::path recording = MessageRecording(text);

  struct Case {
    const char* name;
    std::function<fs::path(const fs::path& output)> prepare;  // returns the --output-dir
    bool unprivileged;
    int status;
    std::vector<std::string> messages;  // the stderr lines, after "brindlemoor-receive: "
    bool decodes;
  };
  const std::vector<Case> cases = {
      {"read-only directory",
       [](const fs::path& output) {
         fs::permissions(output, fs::perms::owner_read | fs::perms::owner_exec |
                                     fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
         return output;
       },
       true,
       kExitOutputFailed,
       {"cannot write {}/flag.dat: Permission denied (decoding goes on)",
        "cannot write {}/receive.txt: Permission denied (decoding goes on)"},
       true},
      {"files that are directories",
       [](const fs::path& output) {
         fs::create_directory(output / "receive.txt");
         fs::create_directory(output / "flag.dat");
         return output;
       },
       false,
       kExitOutputFailed,
       {"cannot write {}/flag.dat: Is a directory (decoding goes on)",
        "cannot write {}/receive.txt: Is a directory (decoding goes on)"},
       true},
      {"full device",
       [](const fs::path& output) {
         fs::create_symlink("/dev/full", output / "receive.txt");
         return output;
       },
       false,
       kExitOutputFailed,
       {"cannot write {}/receive.txt: No space left on device (decoding goes on)"},
       true},
      {"directory is a file",
       [](const fs::path& output) {
         fs::remove(output);
         std::ofstream(output) << "a file";
         return output;
       },
       false,
       kExitUsage,
       {"{}: not a directory"},
       false},
      {"directory under a file",
       [](const fs::path& output) {
         fs::remove(output);
         std::ofstream(output) << "a file";
         return output / "inner";
       },
       false,
       kExitUsage,
       {"{}: Not a directory"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path output = c.prepare(FreshOutput(std::string("out-") + c.name));
    const RunResult run =
        Receive({"--input", recording.string(), "--output-dir", output.string()}, c.unprivileged);
    if (run.status == kCannotDropPrivileges) {
      ADD_FAILURE() << "running as root and cannot switch to an unprivileged user";
      continue;
    }
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.signal, 0) << run.err;
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, c.decodes ? text : "") << "decoding must go on";
    std::vector<std::string> expected;
    for (std::string message : c.messages) {
      message.replace(message.find("{}"), 2, output.string());
      expected.push_back("brindlemoor-receive: " + message);
    }
    std::vector<std::string> lines = Lines(run.err);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, expected);
  }
}

}  // namespace
}  // namespace brindlemoor
