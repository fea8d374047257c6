// brindlemoor-channel: passes a recording through a simulated channel (the sender's clock, a
// room, gain, noise at a set SNR, a DC offset, an 8-bit converter) and writes the result, so a
// sender's symbols can be tried against conditions without a loudspeaker.
//
// Exit status: 0 written (or --help); 2 bad usage, an unreadable input or an unwritable output
// (no output file is left behind).

#include <cstdio>
#include <string>

#include "channel/audio_file.h"
#include "channel/channel.h"
#include "channel/channel_stream.h"
#include "channel/clock_offset.h"
#include "channel/tone_power.h"
#include "command_line.h"
#include "files/wav_writer.h"
#include "option_values.h"
#include "platform/console_text.h"
#include "platform/program_arguments.h"
#include "same_file.h"

namespace {

constexpr const char* kProgram = "brindlemoor-channel";
constexpr int kExitDone = 0;
constexpr int kExitFailed = 2;
constexpr double kMaxSnrDb = 200.0;
constexpr double kMaxGain = 1000.0;
constexpr double kMaxDcOffset = 1.0;
// The high cut's corner stays below the Nyquist frequency of every rate the tool can meet.
constexpr double kMinHighCutHz = 100.0;
constexpr double kMaxHighCutHz = 5000.0;
// Symbols need more than their highest harmonic (2205 Hz) below half the rate.
constexpr int32_t kMinRate = 8000;

// The options in the order --help lists them.
constexpr brindlemoor::tools::KnownOption kOptions[] = {
    {.name = "--clock",
     .valueName = "PERCENT",
     .help = "the sender's sample clock runs PERCENT fast (negative: slow),\n"
             "-10 .. 10; the sound is resampled so that its pitch and length\n"
             "change by that much"},
    {.name = "--reverb",
     .valueName = "ROOM",
     .help = "off, mild (furnished room, RT60 0.25 s, echoes 10 dB below the\n"
             "direct sound) or strong (bare room, RT60 0.6 s, echoes as strong\n"
             "as the direct sound); default off"},
    {.name = "--high-cut",
     .valueName = "HZ",
     .help = "a loudspeaker that passes high frequencies less well: a\n"
             "12 dB/octave low-pass, -3 dB at HZ (100 .. 5000)"},
    {.name = "--gain",
     .valueName = "G",
     .help = "linear gain, greater than 0 (default 1); samples clip at full scale"},
    {.name = "--snr",
     .valueName = "DB",
     .help = "add white Gaussian noise DB decibels below the power of the tones\n"
             "(measured where the tones sound, not over the silences), counting\n"
             "the noise within the receiver's band, 0 to 5512 Hz"},
    {.name = "--seed",
     .valueName = "N",
     .help = "seed of the noise (default 1): the same seed gives the same noise"},
    {.name = "--dc",
     .valueName = "D",
     .help = "add a DC offset of D, a fraction of full scale (-1 .. 1)"},
    {.name = "--quantize8", .help = "round every sample to the 256 levels of an 8-bit converter"},
    {.name = "--bits", .valueName = "8|16", .help = "sample size of OUT (default 16)"},
    {.name = "--help", .shortName = 'h', .help = "show this help"},
    {.name = "--version", .help = "show the version"},
};
constexpr std::size_t kHelpColumn = 20;

void PrintUsage(std::FILE* to) {
  std::fprintf(
      to,
      "Usage: %s IN.wav OUT.wav [options]\n"
      "\n"
      "Passes the recording IN through a simulated channel and writes OUT (mono WAV at IN's\n"
      "rate). The effects apply in this order: clock offset, high cut, room, gain, noise,\n"
      "DC offset, 8-bit converter. The recording is read and written in blocks, so memory\n"
      "does not grow with its length; one that is damaged or cut short is refused.\n"
      "\n"
      "Options:\n",
      kProgram);
  std::fputs(brindlemoor::tools::OptionsHelp(kOptions, kHelpColumn).c_str(), to);
  std::fputs(
      "\n"
      "An option's value may also be given as --option=VALUE.\n"
      "\n"
      "Exit status:\n"
      "  0  written\n"
      "  2  bad usage, unreadable input or unwritable output\n",
      to);
}

int Fail(const std::string& message) {
  brindlemoor::PrintText(stderr, "%s: %s\n", kProgram, message.c_str());
  return kExitFailed;
}

struct Options {
  std::string input;
  std::string output;
  brindlemoor::ChannelSettings channel;
  int32_t bits = 16;
  bool help = false;
  bool version = false;
};

// Empty on success, else the problem.
std::string ParseOptions(int argc, char** argv, Options& options) {
  using namespace brindlemoor;
  tools::CommandLine line;
  if (std::string problem = tools::ParseCommandLine(kOptions, argc, argv, line); !problem.empty())
    return problem;
  options.help = line.Has("--help");
  options.version = line.Has("--version");
  options.channel.microphone.quantise8Bit = line.Has("--quantize8");
  for (const auto& [name, value] : line.values) {
    auto invalid = [&](const char* expected) { return tools::InvalidValue(name, value, expected); };
    if (name == "--clock") {
      if (!tools::ParseDouble(value, -kMaxClockOffsetPercent, kMaxClockOffsetPercent,
                              options.channel.path.clockOffsetPercent))
        return invalid("a percentage from -10 to 10");
    } else if (name == "--reverb") {
      if (value == "off") {
        options.channel.path.room = RoomKind::kNone;
      } else if (value == "mild") {
        options.channel.path.room = RoomKind::kMild;
      } else if (value == "strong") {
        options.channel.path.room = RoomKind::kStrong;
      } else {
        return invalid("off, mild or strong");
      }
    } else if (name == "--gain") {
      double gain = 0.0;
      if (!tools::ParseDouble(value, 0.0, kMaxGain, gain) || gain == 0.0)
        return invalid("a number above 0 and at most 1000");
      options.channel.path.gain = gain;
    } else if (name == "--high-cut") {
      double corner = 0.0;
      if (!tools::ParseDouble(value, kMinHighCutHz, kMaxHighCutHz, corner))
        return invalid("a corner frequency from 100 to 5000 Hz");
      options.channel.path.highCutHz = corner;
    } else if (name == "--snr") {
      double snr = 0.0;
      if (!tools::ParseDouble(value, -kMaxSnrDb, kMaxSnrDb, snr))
        return invalid("decibels from -200 to 200");
      options.channel.microphone.snrDb = snr;
    } else if (name == "--seed") {
      if (!tools::ParseSeed(value, options.channel.microphone.noiseSeed))
        return invalid("a non-negative integer");
    } else if (name == "--dc") {
      if (!tools::ParseDouble(value, -kMaxDcOffset, kMaxDcOffset,
                              options.channel.microphone.dcOffset))
        return invalid("a fraction of full scale from -1 to 1");
    } else if (name == "--bits") {
      if (value != "8" && value != "16") return invalid("8 or 16");
      options.bits = value == "8" ? 8 : 16;
    }
  }
  if (line.positional.size() > 2) return tools::UnexpectedArgument(line.positional[2]);
  if (options.help || options.version) return {};
  if (line.positional.size() < 2) return "needs an input and an output file";
  options.input = line.positional[0];
  options.output = line.positional[1];
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  using namespace brindlemoor;
  ProgramArguments arguments(argc, argv);
  Options options;
  if (const std::string problem = ParseOptions(arguments.Count(), arguments.Values(), options);
      !problem.empty()) {
    return tools::UsageError(kProgram, problem);
  }
  if (options.help) {
    PrintUsage(stdout);
    return kExitDone;
  }
  if (options.version) {
    tools::PrintVersion(stdout, kProgram);
    return kExitDone;
  }

  if (tools::SameFile(options.input, options.output))
    return Fail(options.output + ": the output would overwrite the input");
  IoError error;
  const std::unique_ptr<AudioFileReader> reader = AudioFileReader::Open(options.input, error);
  if (!reader) return Fail(options.input + ": " + error.description);
  const int32_t rate = reader->SampleRate();
  if (rate < kMinRate) {
    return Fail(options.input + ": a rate of " + std::to_string(rate) +
                " Hz is too low for symbols (at least 8000 Hz)");
  }
  if (options.channel.path.highCutHz >= rate / 2.0) {
    return Fail(options.input + ": --high-cut must lie below half the recording's rate of " +
                std::to_string(rate) + " Hz");
  }
  // Two passes in blocks, so that memory does not grow with the recording: the tones' power
  // first (the noise is scaled to it), then the channel itself.
  std::vector<double> block;
  double tonePower = 0.0;
  if (options.channel.microphone.snrDb) {
    ToneMeter meter(rate);
    while (reader->Read(block, error)) meter.Add(block);
    if (!error.description.empty()) return Fail(options.input + ": " + error.description);
    tonePower = meter.Finish().meanSquare;
    if (!reader->Rewind(error)) return Fail(options.input + ": " + error.description);
  }
  std::string problem;
  const std::unique_ptr<ChannelStream> channel =
      ChannelStream::Create(rate, options.channel, tonePower, problem);
  if (!channel) return Fail(options.input + ": " + problem);
  const std::unique_ptr<WavFileWriter> writer =
      WavFileWriter::Create(options.output, rate, options.bits, error);
  if (!writer) return Fail(options.output + ": " + error.description);
  std::vector<double> heard;
  while (reader->Read(block, error)) {
    channel->Process(block, heard);
    if (!writer->Append(heard, error)) return Fail(options.output + ": " + error.description);
  }
  if (!error.description.empty()) return Fail(options.input + ": " + error.description);
  channel->Finish(heard);
  if (!writer->Append(heard, error) || !writer->Commit(error)) {
    return Fail(options.output + ": " + error.description);
  }
  return kExitDone;
}
