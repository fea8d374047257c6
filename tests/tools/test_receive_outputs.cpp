// brindlemoor-receive's outputs from the outside: no output may be the recording it decodes or
// another output (whatever the names), and the dump appears only when complete, under the
// program's own messages and statuses.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "files/wav_writer.h"
#include "synth/symbol_synth.h"
#include "testing/case_name.h"
#include "testing/terminal_run.h"
#include "testing/tool_run.h"

namespace brindlemoor {
namespace {

namespace fs = std::filesystem;

// Waits until the process catches or blocks `signal` (as /proc shows), so that a signal sent to a
// program still starting on a loaded machine does not kill it outright.
bool WaitUntilCaught(pid_t pid, int signal, int seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("SigCgt:", 0) != 0 && line.rfind("SigBlk:", 0) != 0) continue;
      const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
      if (caught & (1ULL << (signal - 1))) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

using testing::ReadWhole;
using testing::RunTool;
using testing::ToolResult;

class ReceiveOutputsTest : public testing::ToolDirectoryTest {
 protected:
  // Writes `text` as an 11025 Hz 8-bit recording `name` in the directory.
  void WriteRecording(const std::string& name, const std::string& text) {
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    IoError error;
    ASSERT_TRUE(WriteWav((dir / name).string(), SynthesiseMessage(bytes, kDefaultTiming, 11025),
                         11025, 8, error))
        << error.description;
  }
  testing::TerminalResult OnTerminal(const std::vector<std::string>& args, bool out, bool err) {
    return testing::RunOnTerminal(BRINDLEMOOR_RECEIVE_TOOL, args, dir, out, err);
  }
  void SetUp() override {
    ToolDirectoryTest::SetUp();
    fs::copy_file(std::string(BRINDLEMOOR_SOURCE_DIR) + "/examples/hello.wav", dir / "a.wav");
    recording = ReadWhole(dir / "a.wav");
  }
  ToolResult Receive(const std::vector<std::string>& args) {
    return RunTool(BRINDLEMOOR_RECEIVE_TOOL, args, dir);
  }

  std::string recording;
};

struct Overlap {
  const char* name;
  std::string link;  // made as a symbolic link to a.wav first, when not empty
  std::vector<std::string> args;
  const char* says;
};

class ReceiveOverlapTest : public ReceiveOutputsTest,
                           public ::testing::WithParamInterface<Overlap> {};

TEST_P(ReceiveOverlapTest, RefusedWithTheRecordingIntact) {
  if (!GetParam().link.empty()) fs::create_symlink("a.wav", dir / GetParam().link);
  const std::vector<std::string> before = Entries();
  const ToolResult result = Receive(GetParam().args);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  EXPECT_NE(result.err.find(GetParam().says), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(Entries(), before);
  EXPECT_EQ(ReadWhole(dir / "a.wav"), recording);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiveOverlapTest,
    ::testing::Values(Overlap{"DumpIsInput",
                              "",
                              {"--input", "a.wav", "--dump", "a.wav"},
                              "--dump would overwrite"},
                      Overlap{"DumpIsInputByAnotherName",
                              "",
                              {"--input", "a.wav", "--dump", "./a.wav"},
                              "./a.wav: --dump would overwrite the recording"},
                      Overlap{"DumpIsALinkToTheInput",
                              "b.wav",
                              {"-i", "a.wav", "--dump", "b.wav"},
                              "b.wav: --dump would overwrite the recording"},
                      Overlap{"InputIsReceiveText",
                              "receive.txt",
                              {"receive.txt"},
                              "the recording is the output file receive.txt"},
                      Overlap{"InputIsFlagData", "flag.dat", {"flag.dat"}, "output file flag.dat"},
                      Overlap{"DumpIsReceiveText",
                              "receive.txt",
                              {"--input", "a.wav", "--dump", "receive.txt"},
                              "--dump would overwrite"}),
    brindlemoor::testing::CaseName());

TEST_F(ReceiveOutputsTest, DumpAppearsWholeWithNothingLeftBeside) {
  const ToolResult result = Receive({"--input", "a.wav", "--dump", "d.wav"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.wav", "d.wav", "receive.txt"}));
  // The dump holds what was captured: decoded again it gives the same text.
  fs::create_directory(dir / "again");
  const ToolResult again = Receive({"d.wav", "--output-dir", "again"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, result.out);
}

TEST_F(ReceiveOutputsTest, UnwritableDumpIsAnOutputFailureInTheProgramsWords) {
  const std::vector<std::string> before = Entries();
  const ToolResult result = Receive({"--input", "a.wav", "--dump", "no/such/dir/d.wav"});
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.err,
            "brindlemoor-receive: no/such/dir/d.wav: cannot create the file: No such file or "
            "directory\n");
  EXPECT_EQ(Entries(), before);
}

// SIGINT during a replay ends it after the tick in progress: exit status 0, a line saying how far
// it got, and the text decoded so far kept on stdout and in receive.txt. The replay is held in
// the middle by a small pipe on its standard output that the test does not read until the
// signal has been sent.
TEST_F(ReceiveOutputsTest, InterruptedReplayKeepsWhatWasDecoded) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += static_cast<char>(i % 61 == 60 ? '\n' : 'a' + i % 26);
  WriteRecording("long.wav", text);

  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  fcntl(pipeEnds[1], F_SETPIPE_SZ, 4096);
  const std::string errPath = (dir / "err").string();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, STDERR_FILENO);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execl(BRINDLEMOOR_RECEIVE_TOOL, BRINDLEMOOR_RECEIVE_TOOL, "--input", "long.wav",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the pipe is full by then
  ASSERT_EQ(kill(child, SIGINT), 0);
  std::string out;
  char buffer[4096];
  for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, got);
  close(pipeEnds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);

  const std::string err = ReadWhole(errPath);
  EXPECT_NE(err.find("stopped by Interrupt after "), std::string::npos) << err;
  EXPECT_NE(err.find("of long.wav; the text so far is kept"), std::string::npos) << err;
  EXPECT_GT(out.size(), 0u);
  EXPECT_LT(out.size(), text.size());
  EXPECT_EQ(out, text.substr(0, out.size()));
  EXPECT_EQ(ReadWhole(dir / "receive.txt"), out);
}

// Anyone within earshot can send bytes that would retitle or clear the terminal: there they are
// shown in caret notation, while pipes, files and receive.txt get the raw bytes.
TEST_F(ReceiveOutputsTest, ControlBytesAreVisibleOnlyOnATerminal) {
  const std::string raw = "safe\033]0;PWNED\007\033[2J\tx\nline\r\x7f\xe9!";
  const std::string shown = "safe^[]0;PWNED^G^[[2J\tx\nline^M^?\xe9!";
  WriteRecording("evil.wav", raw);

  const testing::TerminalResult terminal = OnTerminal({"evil.wav"}, true, false);
  EXPECT_EQ(terminal.status, 0) << terminal.err;
  EXPECT_EQ(terminal.terminal, shown);
  EXPECT_EQ(ReadWhole(dir / "receive.txt"), raw);

  const testing::TerminalResult forced = OnTerminal({"evil.wav", "--raw-stdout"}, true, false);
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(forced.terminal, raw);

  const ToolResult piped = Receive({"evil.wav"});
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, raw);
  EXPECT_EQ(ReadWhole(dir / "receive.txt"), raw + raw + raw);
}

// On a terminal a lone C1 byte is escaped; with --terminal-code-page 932 the bytes show as the
// Japanese code page shows them (half-width katakana), as the window does. The file stays raw.
TEST_F(ReceiveOutputsTest, TerminalShowsC1EscapedOrTheJapaneseCodePage) {
  const std::string raw = "\xb1\xb2 \x9b";
  WriteRecording("kana.wav", raw);
  struct Case {
    std::vector<std::string> args;
    std::string shown;
  };
  const Case cases[] = {
      {{"kana.wav"}, "\xb1\xb2 M-^["},
      {{"kana.wav", "--terminal-code-page", "932"}, "\xef\xbd\xb1\xef\xbd\xb2 \xef\xbf\xbd"},
  };
  for (const Case& c : cases) {
    const testing::TerminalResult terminal = OnTerminal(c.args, true, false);
    EXPECT_EQ(terminal.status, 0) << terminal.err;
    EXPECT_EQ(terminal.terminal, c.shown);
  }
  EXPECT_EQ(ReadWhole(dir / "receive.txt"), raw + raw);
}

// Progress of a long replay is never written into the text on the same terminal; with the text
// going elsewhere it is shown.
TEST_F(ReceiveOutputsTest, ProgressNeverSharesTheTextsTerminal) {
  const std::string text(1100, 'p');  // about 67 s of sound: progress is shown past 60 s
  WriteRecording("long.wav", text);

  const testing::TerminalResult shared = OnTerminal({"long.wav"}, true, true);
  EXPECT_EQ(shared.status, 0);
  EXPECT_EQ(shared.terminal, text);

  const testing::TerminalResult apart = OnTerminal({"long.wav"}, false, true);
  EXPECT_EQ(apart.status, 0);
  EXPECT_EQ(apart.out, text);
  EXPECT_NE(apart.terminal.find("100%"), std::string::npos) << apart.terminal;
}

// Outputs onto nodes that are not regular files, for brindlemoor-send -o and the receiver's
// --dump: "node" is made first as a FIFO (with or without a reader) or a symbolic link to
// target.wav, or "fifo-dir/receive.txt" as a FIFO without a reader. A FIFO or device is written
// through, never replaced; a FIFO without a reader is refused at once; a link is followed; "-" is
// standard output.
struct OutputNode {
  const char* name;
  const char* tool;  // "send" or "receive"
  const char* node;  // "fifo", "fifo-read", "link", "fifo-receive" or ""
  std::vector<std::string> args;
  int status;
  const char* says;  // in the one line on stderr; "" when nothing is said
};

class OutputNodeTest : public ReceiveOutputsTest, public ::testing::WithParamInterface<OutputNode> {
 protected:
  // The text a WAV's bytes decode to.
  std::string Decoded(const std::string& wav) {
    const fs::path scratch = dir / "scratch";
    fs::create_directory(scratch);
    std::ofstream(scratch / "x.wav", std::ios::binary) << wav;
    const ToolResult decoded = RunTool(BRINDLEMOOR_RECEIVE_TOOL, {"x.wav"}, scratch);
    fs::remove_all(scratch);
    return decoded.out;
  }
};

TEST_P(OutputNodeTest, WrittenThroughFollowedOrRefusedNeverReplaced) {
  const OutputNode& row = GetParam();
  const std::string kind = row.node;
  WriteRecording("hi.wav", "hi");
  std::string node = (dir / "node").string();
  if (kind == "fifo-receive") {
    fs::create_directory(dir / "fifo-dir");
    node = (dir / "fifo-dir" / "receive.txt").string();
  }
  const bool fifo = kind.starts_with("fifo");
  if (fifo) {
    ASSERT_EQ(mkfifo(node.c_str(), 0644), 0);
  }
  if (kind == "link") fs::create_symlink("target.wav", node);
  std::string read;
  std::thread reader;
  if (kind == "fifo-read") reader = std::thread([&] { read = ReadWhole(node); });
  // `timeout` guards against a wait for a reader that never comes.
  std::vector<std::string> args{
      "-s", "KILL", "60",
      std::string(row.tool) == "send" ? BRINDLEMOOR_SEND_TOOL : BRINDLEMOOR_RECEIVE_TOOL};
  args.insert(args.end(), row.args.begin(), row.args.end());
  const ToolResult result = RunTool("/usr/bin/timeout", args, dir);
  if (reader.joinable()) reader.join();
  EXPECT_EQ(result.status, row.status) << result.err;
  if (*row.says) {
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find(row.says), std::string::npos) << result.err;
  }
  if (fifo) {
    EXPECT_TRUE(fs::is_fifo(node));
  }
  if (kind == "fifo-read") {
    EXPECT_EQ(Decoded(read), "hi");
  }
  if (kind == "link") {
    EXPECT_TRUE(fs::is_symlink(node));
    EXPECT_EQ(Decoded(ReadWhole(dir / "target.wav")), "hi");
  }
  if (row.args.size() > 1 && row.args[1] == "-") {
    EXPECT_EQ(Decoded(result.out), "hi");
  }
  for (const std::string& name : Entries()) EXPECT_EQ(name.find(".tmp-"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputNodeTest,
    ::testing::Values(
        OutputNode{"SendToStandardOutput", "send", "", {"-o", "-", "--rate", "11025", "hi"}, 0, ""},
        OutputNode{"SendThroughAFifo", "send", "fifo-read", {"-o", "node", "hi"}, 0, ""},
        OutputNode{"SendToAFifoWithoutReader",
                   "send",
                   "fifo",
                   {"-o", "node", "hi"},
                   2,
                   "node: a FIFO with no reader"},
        OutputNode{"SendFollowsALink", "send", "link", {"-o", "node", "hi"}, 0, ""},
        OutputNode{"DumpThroughAFifo", "receive", "fifo-read", {"hi.wav", "--dump", "node"}, 0, ""},
        OutputNode{"DumpToAFifoWithoutReader",
                   "receive",
                   "fifo",
                   {"a.wav", "--dump", "node"},
                   3,
                   "node: a FIFO with no reader"},
        OutputNode{"DumpFollowsALink", "receive", "link", {"hi.wav", "--dump", "node"}, 0, ""},
        OutputNode{"ReceiveTextIntoAFifoWithoutReader",
                   "receive",
                   "fifo-receive",
                   {"a.wav", "--output-dir", "fifo-dir"},
                   3,
                   "fifo-dir/receive.txt: a FIFO with no reader (decoding goes on)"}),
    brindlemoor::testing::CaseName());

// The receiver's text on a standard output that fails (a full device, a closed descriptor, a
// reader that has gone): said once, exit status 3, and "receive.txt" still complete.
struct FailingOutput {
  const char* name;
  const char* to;  // "full", "closed" or "gone"
  const char* says;
};

class FailingOutputTest : public ReceiveOutputsTest,
                          public ::testing::WithParamInterface<FailingOutput> {};

TEST_P(FailingOutputTest, SaidOnceWithStatusThreeAndTheFileComplete) {
  const std::string to = GetParam().to;
  int outFd = testing::kOutputClosed;
  int gone[2] = {-1, -1};
  if (to == "full") outFd = open("/dev/full", O_WRONLY);
  if (to == "gone") {
    ASSERT_EQ(pipe(gone), 0);
    close(gone[0]);  // the reader is gone before the first write
    outFd = gone[1];
  }
  testing::RunningTool run =
      testing::StartTool(BRINDLEMOOR_RECEIVE_TOOL, {"a.wav"}, dir, -1, outFd);
  if (outFd >= 0) close(outFd);
  EXPECT_EQ(run.WaitWithin(60), 3) << run.Err();
  const std::string err = run.Err();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("cannot write the text to standard output: " + std::string(GetParam().says)),
            std::string::npos)
      << err;
  EXPECT_EQ(ReadWhole(dir / "receive.txt"), "Hello from Brindlemoor!\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, FailingOutputTest,
                         ::testing::Values(FailingOutput{"FullDevice", "full", "No space left"},
                                           FailingOutput{"Closed", "closed", "Bad file"},
                                           FailingOutput{"ReaderGone", "gone", "Broken pipe"}),
                         brindlemoor::testing::CaseName());

// SIGINT, SIGTERM and SIGHUP end the receiver cleanly in every state, keeping what arrived: a
// pipe that stalls after a message (whose text shows as it comes, not when a large block is
// full), a FIFO that never gets a writer (for the window too), a replay held by its standard
// output with a dump under way (no temporary file is left).
struct EndingSignal {
  const char* name;
  const char* input;  // "stalled-pipe", "fifo" or "held-replay"
  int signal;
  bool window;
  const char* says;
};

class EndingSignalTest : public ReceiveOutputsTest,
                         public ::testing::WithParamInterface<EndingSignal> {};

TEST_P(EndingSignalTest, EndsCleanlyKeepingWhatArrived) {
  const EndingSignal& row = GetParam();
  const std::string input = row.input;
#ifndef BRINDLEMOOR_WINDOW_TOOL
  if (row.window) GTEST_SKIP() << "the window is not built";
  const char* tool = BRINDLEMOOR_RECEIVE_TOOL;
#else
  const char* tool = row.window ? BRINDLEMOOR_WINDOW_TOOL : BRINDLEMOOR_RECEIVE_TOOL;
#endif
  int feed[2] = {-1, -1};
  testing::RunningTool run;
  if (input == "stalled-pipe") {
    WriteRecording("m.wav", "Hello");
    ASSERT_EQ(pipe2(feed, O_CLOEXEC), 0);
    const std::string wav = ReadWhole(dir / "m.wav");
    ASSERT_EQ(write(feed[1], wav.data(), wav.size()), static_cast<ssize_t>(wav.size()));
    run = testing::StartTool(tool, {"-"}, dir, feed[0]);
    EXPECT_EQ(run.ReadUntil("Hello", 30), "Hello");  // before the stream ends
  } else if (input == "fifo") {
    ASSERT_EQ(mkfifo((dir / "in.fifo").c_str(), 0644), 0);
    run = testing::StartTool(tool, {"--input", "in.fifo"}, dir);
    ASSERT_TRUE(WaitUntilCaught(run.pid, row.signal, 30));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // into the FIFO's open()
  } else {
    std::string text;
    for (int i = 0; i < 6000; ++i) text += static_cast<char>('a' + i % 26);
    WriteRecording("long.wav", text);
    run = testing::StartTool(tool, {"long.wav", "--dump", "d.wav"}, dir);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the pipe is full by then
  }
  ASSERT_EQ(kill(run.pid, row.signal), 0);
  EXPECT_EQ(run.WaitWithin(30), 0) << run.Err();
  if (feed[1] >= 0) close(feed[1]);
  if (feed[0] >= 0) close(feed[0]);
  EXPECT_NE(run.Err().find(row.says), std::string::npos) << run.Err();
  if (input == "stalled-pipe") {
    EXPECT_EQ(ReadWhole(dir / "receive.txt"), "Hello");
  }
  if (input == "held-replay") {
    EXPECT_EQ(ReadWhole(dir / "receive.txt"), run.text);
    EXPECT_TRUE(fs::exists(dir / "d.wav"));
  }
  for (const std::string& name : Entries()) EXPECT_EQ(name.find(".tmp-"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndingSignalTest,
    ::testing::Values(EndingSignal{"StalledPipeInterrupt", "stalled-pipe", SIGINT, false,
                                   "stopped by Interrupt after"},
                      EndingSignal{"StalledPipeHangup", "stalled-pipe", SIGHUP, false,
                                   "stopped by Hangup after"},
                      EndingSignal{"FifoWithoutWriter", "fifo", SIGTERM, false,
                                   "stopped by Terminated before any sound came from in.fifo"},
                      EndingSignal{"WindowFifoWithoutWriter", "fifo", SIGHUP, true,
                                   "stopped by Hangup before the window opened"},
                      EndingSignal{"ReplayWithDumpHangup", "held-replay", SIGHUP, false,
                                   "stopped by Hangup after"}),
    brindlemoor::testing::CaseName());

}  // namespace
}  // namespace brindlemoor
