// brindlemoor-robustness: sends a fixed set of texts as symbols through the channel simulator
// and the headless receiver over a grid of noise levels, sample-clock offsets and rooms, for
// each sender timing with and without a calibration first, and reports the character error rate
// of every cell and the bytes per second of every timing. Writes robustness.md (the tables) and
// robustness.dat (for the plot) to the output directory.
//
// Every cell is deterministic: the noise seed is fixed per cell and the rooms are fixed presets.
// Exit status: 0 done; 1 the clean channel does not decode (the bench's own check); 2 bad usage
// or an output file that cannot be written.

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "channel/channel.h"
#include "channel/loopback.h"
#include "channel/text_distance.h"
#include "convention/symbol_convention.h"
#include "files/wav_writer.h"
#include "shoebox_room.h"
#include "sox_room.h"
#include "synth/jittered_message.h"
#include "synth/symbol_synth.h"

namespace {

using namespace brindlemoor;

constexpr const char* kProgram = "brindlemoor-robustness";
constexpr int kExitDone = 0;
constexpr int kExitCheckFailed = 1;
constexpr int kExitUsage = 2;
constexpr int32_t kDefaultRate = 44100;
constexpr int32_t kRecordingBits = 16;
// SymbolTiming lengths are given at the receiver's rate.
constexpr int32_t kTimingRate = static_cast<int32_t>(kSampleRate);

struct NamedTiming {
  std::string name;  // the timing's name, with "-robust" for the robust framing's cells
  SymbolTiming timing;
  Framing framing = Framing::kExact;
};

// A room of the channel simulator, or SoX's reverb at a reverberance (then `simulated` is kNone).
struct BenchRoom {
  RoomKind simulated = RoomKind::kNone;
  int32_t soxReverberance = 0;                               // 0: not a SoX room
  std::optional<bench::ShoeboxRoom> shoebox = std::nullopt;  // the held-out rooms
  std::string Name() const {
    if (shoebox) return shoebox->Name();
    return soxReverberance > 0 ? "sox" + std::to_string(soxReverberance)
                               : std::string(RoomName(simulated));
  }
};

struct Grid {
  std::vector<double> snrDb;  // NaN: no noise
  std::vector<double> clockPercent;
  std::vector<BenchRoom> rooms;
  std::vector<bool> calibrations;
  std::vector<NamedTiming> timings;
  int32_t sampleRate = kDefaultRate;
  int32_t seeds = 1;
  double highCutHz = 0.0;
  int32_t jitterSamples = 0;  // each gap drawn within +-this (at 11025 Hz)
  std::string keepDirectory;  // where each recording the receiver heard is kept; empty: nowhere
  std::string text;           // the message every cell sends (TextSet() unless --text)
  std::string textFile;       // where --text read it; empty: the bench's own
};

struct Cell {
  std::string timing;
  bool calibrated = false;
  std::string room;  // BenchRoom::Name()
  double clockPercent = 0.0;
  double snrDb = NAN;
  std::size_t errors = 0;  // message edit distance summed over the seeds
  std::size_t junk = 0;    // characters made up in the silence before and after
  std::size_t sent = 0;    // text bytes summed over the seeds
  int32_t calibrationsCompleted = 0;
  double Cer() const { return sent ? static_cast<double>(errors) / sent : 0.0; }
};

// The texts: two lines of prose and every byte 1..255 in a scrambled order (167 b mod 256
// permutes the non-zero bytes), so every symbol the sender can send is tried.
std::string TextSet() {
  std::string text =
      "The quick brown fox jumps over the lazy dog. 0123456789\n"
      "Pack my box with five dozen liquor jugs! (x + y) * 2 = 42; #@%&~\n";
  for (int b = 1; b <= 255; ++b) text.push_back(static_cast<char>(static_cast<uint8_t>(b * 167)));
  return text;
}

// The message: the bench's own texts, or the bytes of `file` (a zero byte would start a
// calibration, so a text holding one is refused, as the sender refuses it).
bool ReadMessage(const std::string& file, std::string& text, std::string& problem) {
  if (file.empty()) {
    text = TextSet();
    return true;
  }
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  if (in) bytes << in.rdbuf();  // an empty file sets the failbit of `bytes` alone
  if (!in || in.bad()) {
    problem = file + ": cannot be read";
    return false;
  }
  text = bytes.str();
  if (text.empty()) problem = file + ": holds no text";
  if (text.find('\0') != std::string::npos) problem = file + ": holds a zero byte";
  return problem.empty();
}

double BytesPerSecond(const SymbolTiming& timing) {
  return static_cast<double>(kTimingRate) / (timing.toneSamples + timing.gapSamples);
}

std::string SnrLabel(double snr) {
  if (std::isnan(snr)) return "clean";
  std::ostringstream out;
  out << snr << " dB";
  return out.str();
}

// The kept recording of one cell and seed: DIR/TIMING_ROOM_CLOCK_SNR_SEED.wav, no spaces.
std::string KeptRecordingPath(const std::string& directory, const std::string& timing,
                              const std::string& room, double clock, double snr, int32_t seed) {
  std::ostringstream out;
  out << directory << '/' << timing << '_' << room << '_' << clock << '_'
      << (std::isnan(snr) ? std::string("clean") : std::to_string(static_cast<int>(snr)) + "dB")
      << '_' << seed << ".wav";
  return out.str();
}

std::string ClockLabel(double percent) {
  std::ostringstream out;
  out << (percent > 0 ? "+" : "") << percent << " %";
  return out.str();
}

std::vector<double> ParseList(const std::string& text) {
  std::vector<double> values;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    values.push_back(item == "clean" ? NAN : std::stod(item));
  }
  return values;
}

// tone,rise,gap[,amplitude[,margin[,fundamental[,knee,kneeLevel[,aligned[,rounds]]]]]], lengths
// at 11025 Hz; aligned 1 gives every component the same phase, rounds is how many calibration
// sequences are sent.
bool ParseTiming(const std::string& argument, NamedTiming& named) {
  const std::size_t equals = argument.find('=');
  if (equals == std::string::npos) {  // a preset by its name
    for (const NamedTiming& preset : std::vector<NamedTiming>{{"default", kDefaultTiming},
                                                              {"fast", kFastTiming},
                                                              {"safe", kSafeTiming},
                                                              {"room", kRoomTiming}}) {
      if (preset.name == argument) named = preset;
    }
    return !named.name.empty();
  }
  named.name = argument.substr(0, equals);
  const std::vector<double> v = ParseList(argument.substr(equals + 1));
  if (v.size() < 3 || v.size() > 10) return false;
  named.timing = kDefaultTiming;
  named.timing.toneSamples = static_cast<int32_t>(v[0]);
  named.timing.riseSamples = static_cast<int32_t>(v[1]);
  named.timing.gapSamples = static_cast<int32_t>(v[2]);
  if (v.size() >= 4) named.timing.amplitude = v[3];
  if (v.size() >= 5) named.timing.levelMargin = v[4];
  if (v.size() >= 6) named.timing.fundamentalLevel = v[5];
  if (v.size() >= 8) {
    named.timing.kneeSamples = static_cast<int32_t>(v[6]);
    named.timing.kneeLevel = v[7];
  }
  if (v.size() >= 9) named.timing.phases = v[8] != 0 ? PhaseSet::kAligned : PhaseSet::kLowCrest;
  if (v.size() >= 10) named.timing.calibrationRounds = static_cast<int32_t>(v[9]);
  if (named.timing.calibrationRounds < 1) return false;
  return named.timing.riseSamples > 0 && named.timing.riseSamples < named.timing.toneSamples;
}

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "Usage: %s [--out DIR] [--quick] [--rate HZ] [--seeds N]\n"
               "          [--snr LIST] [--clock LIST] [--reverb LIST] [--calibration LIST]\n"
               "          [--sox-reverb LIST] [--shoebox LIST] [--high-cut HZ] [--framing LIST] "
               "[--jitter N]\n"
               "          [--keep DIR] [--text FILE]\n"
               "          [--timing PRESET | NAME=TONE,RISE,GAP[,AMPLITUDE[,MARGIN,FUNDAMENTAL\n"
               "          [,KNEE,KNEE_LEVEL[,ALIGNED[,ROUNDS]]]]]]...\n"
               "\n"
               "Measures the character error rate of texts sent through the channel simulator\n"
               "and received by the headless receiver, over a grid of SNR (dB, or 'clean'),\n"
               "clock offset (%%), room (off, mild, strong) and calibration (on, off), for the\n"
               "default, fast, safe and room timings (or the --timing ones, lengths in samples\n"
               "at 11025 Hz, the rest as in SymbolTiming; ALIGNED 1 for aligned phases, ROUNDS\n"
               "calibration sequences), optionally behind a loudspeaker's high cut.\n"
               "--shoebox RT60:DISTANCE,... adds held-out rooms (an image-source shoebox room,\n"
               "reverberation time in seconds, microphone distance in metres) on the SoX grid,\n"
               "reported apart: rooms that no framing was tuned on.\n"
               "--jitter N draws each gap uniformly within +-N samples (at 11025 Hz) of the\n"
               "timing's, as a sender whose gaps jitter (a fixed generator).\n"
               "--keep DIR writes every recording the receiver heard to\n"
               "DIR/TIMING_ROOM_CLOCK_SNR_SEED.wav, to decode again with brindlemoor-receive\n"
               "--trace (the calibration sequence, then the text, from 0.2 s on).\n"
               "--text FILE sends FILE's bytes in every cell instead of the bench's texts.\n"
               "--framing exact,robust (the default) decodes every cell with both framings;\n"
               "the robust framing's rows carry the timing's name with -robust.\n"
               "--sox-reverb adds rooms made by SoX's reverb at those reverberances (1..100;\n"
               "sox must be on PATH) on a smaller grid: clean, 30, 20 and 15 dB, clock -0.5,\n"
               "0 and +0.5 %%. Writes DIR/robustness.md and DIR/robustness.dat (default DIR:\n"
               "docs/robustness). --quick runs a small grid and writes nothing unless --out\n"
               "is given.\n",
               kProgram);
}

Grid FullGrid() {
  Grid grid;
  grid.snrDb = {NAN, 30, 25, 20, 15, 10, 5, 0, -5};
  grid.clockPercent = {-2, -1, -0.5, 0, 0.5, 1, 2};
  grid.rooms = {{RoomKind::kNone}, {RoomKind::kMild}, {RoomKind::kStrong}};
  grid.calibrations = {false, true};
  grid.timings = {{"default", kDefaultTiming},
                  {"fast", kFastTiming},
                  {"safe", kSafeTiming},
                  {"room", kRoomTiming}};
  return grid;
}

Grid QuickGrid() {
  Grid grid = FullGrid();
  grid.snrDb = {NAN, 20, 10};
  grid.clockPercent = {-0.5, 0, 2};
  return grid;
}

// The recording level a careful user sets: echoes that add up in phase must not clip, so a sound
// whose loudest sample exceeds kLoudestLevel is turned down to it (never up).
constexpr double kLoudestLevel = 0.9;
void SetRecordingLevel(PropagatedSound& sound) {
  double loudest = 0.0;
  for (const double x : sound.samples) loudest = std::max(loudest, std::fabs(x));
  if (loudest <= kLoudestLevel) return;
  const double scale = kLoudestLevel / loudest;
  for (double& x : sound.samples) x *= scale;
  sound.tonePower *= scale * scale;
}

// Runs every cell of the grid; false when a run could not be set up.
bool RunGrid(const Grid& grid, const std::string& scratch, std::vector<Cell>& cells) {
  const std::string& text = grid.text;
  const std::vector<uint8_t> textBytes(text.begin(), text.end());
  for (const NamedTiming& timing : grid.timings) {
    std::vector<uint8_t> calibrated = CalibrationSequence(timing.timing.calibrationRounds);
    calibrated.insert(calibrated.end(), textBytes.begin(), textBytes.end());
    for (const bool calibration : grid.calibrations) {
      const std::vector<double> sent = JitteredMessage(
          calibration ? calibrated : textBytes, timing.timing, grid.sampleRate, grid.jitterSamples);
      for (const BenchRoom& room : grid.rooms) {
        for (const double clock : grid.clockPercent) {
          AcousticPath path;
          path.clockOffsetPercent = clock;
          path.room = room.simulated;
          path.highCutHz = grid.highCutHz;
          PropagatedSound sound;
          std::string problem;
          // A SoX room replaces the simulator's room; the dry sound keeps its level through it,
          // so the tones' power (what the noise is measured against) stays the direct sound's.
          if (!PropagateSound(sent, grid.sampleRate, path, sound, problem) ||
              (room.soxReverberance > 0 &&
               !bench::ApplySoxReverb(std::vector<double>(sound.samples), grid.sampleRate,
                                      room.soxReverberance, scratch, sound.samples, problem)) ||
              (room.shoebox &&
               !bench::ApplyShoeboxRoom(std::vector<double>(sound.samples), grid.sampleRate,
                                        *room.shoebox, scratch, sound.samples, problem))) {
            std::fprintf(stderr, "%s: %s\n", kProgram, problem.c_str());
            return false;
          }
          SetRecordingLevel(sound);
          for (std::size_t s = 0; s < grid.snrDb.size(); ++s) {
            Cell cell{timing.name, calibration, room.Name(), clock, grid.snrDb[s]};
            for (int32_t seed = 0; seed < grid.seeds; ++seed) {
              Microphone microphone;
              if (!std::isnan(cell.snrDb)) microphone.snrDb = cell.snrDb;
              microphone.noiseSeed = 1000 * (s + 1) + seed;
              const std::vector<double> captured = CaptureSound(sound, microphone);
              if (!grid.keepDirectory.empty()) {
                const std::string kept = KeptRecordingPath(grid.keepDirectory, timing.name,
                                                           cell.room, clock, cell.snrDb, seed);
                IoError error;
                if (!WriteWav(kept, captured, grid.sampleRate, kRecordingBits, error)) {
                  std::fprintf(stderr, "%s: %s: %s\n", kProgram, kept.c_str(),
                               error.description.c_str());
                  return false;
                }
              }
              Received received;
              IoError error;
              if (!ReceiveSound(captured, grid.sampleRate, kRecordingBits, scratch, received, error,
                                timing.framing)) {
                std::fprintf(stderr, "%s: %s: %s\n", kProgram, scratch.c_str(),
                             error.description.c_str());
                return false;
              }
              cell.errors += MessageDistance(text, received.text);
              cell.junk += JunkCharacters(text, received.text);
              cell.sent += text.size();
              // A completion line has no ':' (a failure line has two).
              std::istringstream lines(received.flags);
              bool completed = false;
              for (std::string line; std::getline(lines, line);) {
                completed = completed || line.find(':') == std::string::npos;
              }
              cell.calibrationsCompleted += completed;
            }
            std::fprintf(stderr,
                         "%-8s cal %-3s room %-6s clock %-7s snr %-7s CER %.4f junk %zu "
                         "calibrations %d\n",
                         cell.timing.c_str(), calibration ? "on" : "off", cell.room.c_str(),
                         ClockLabel(clock).c_str(), SnrLabel(cell.snrDb).c_str(), cell.Cer(),
                         cell.junk, cell.calibrationsCompleted);
            cells.push_back(cell);
          }
        }
      }
    }
  }
  return true;
}

const Cell* Find(const std::vector<Cell>& cells, const std::string& timing, bool calibrated,
                 const std::string& room, double clock, double snr) {
  for (const Cell& c : cells) {
    const bool sameSnr = std::isnan(snr) ? std::isnan(c.snrDb) : c.snrDb == snr;
    if (c.timing == timing && c.calibrated == calibrated && c.room == room &&
        c.clockPercent == clock && sameSnr)
      return &c;
  }
  return nullptr;
}

std::string CerText(const Cell* cell) {
  if (cell == nullptr) return "";
  if (cell->errors == 0) return "0";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f %%", 100.0 * cell->Cer());
  return buffer;
}

// Lowest SNR of the grid down to which every cell (from clean downwards) stays at 0 errors.
std::string LowestCleanSnr(const Grid& grid, const std::vector<Cell>& cells,
                           const std::string& timing, bool calibrated, const std::string& room,
                           double clock) {
  std::string lowest = "none";
  for (const double snr : grid.snrDb) {
    const Cell* cell = Find(cells, timing, calibrated, room, clock, snr);
    if (cell == nullptr || cell->errors != 0) break;
    lowest = SnrLabel(snr);
  }
  return lowest;
}

// Largest |offset| of the grid up to which every offset of either sign stays at 0 errors.
std::string LargestCleanClock(const Grid& grid, const std::vector<Cell>& cells,
                              const std::string& timing, bool calibrated, const std::string& room,
                              double snr) {
  std::vector<double> magnitudes;
  for (const double c : grid.clockPercent) magnitudes.push_back(std::fabs(c));
  std::sort(magnitudes.begin(), magnitudes.end());
  magnitudes.erase(std::unique(magnitudes.begin(), magnitudes.end()), magnitudes.end());
  std::string largest = "none";
  for (const double m : magnitudes) {
    bool clean = true;
    for (const double c : grid.clockPercent) {
      if (std::fabs(c) != m) continue;
      const Cell* cell = Find(cells, timing, calibrated, room, c, snr);
      clean = clean && cell != nullptr && cell->errors == 0;
    }
    if (!clean) break;
    std::ostringstream out;
    out << "±" << m << " %";
    largest = out.str();
  }
  return largest;
}

std::size_t JunkTotal(const std::vector<Cell>& cells, const std::string& timing) {
  std::size_t total = 0;
  for (const Cell& c : cells) total += c.timing == timing ? c.junk : 0;
  return total;
}

// "a / b" of the cells of `timing` with calibration at the given clock offsets (or rooms).
std::string PairText(const std::vector<Cell>& cells, const std::string& timing,
                     const std::vector<std::string>& rooms, const std::vector<double>& clocks,
                     double snr) {
  std::string text;
  for (const std::string& room : rooms) {
    for (const double c : clocks) {
      const Cell* cell = Find(cells, timing, true, room, c, snr);
      if (cell == nullptr) continue;
      text += (text.empty() ? "" : " / ") + CerText(cell);
    }
  }
  return text;
}

// One table of the cells of `rooms` for every timing, a row per room, clock and calibration.
void WriteRoomTable(std::ostream& out, const Grid& grid, const std::vector<Cell>& cells,
                    const std::string& timing) {
  out << "| room | clock | cal |";
  for (const double snr : grid.snrDb) out << " " << SnrLabel(snr) << " |";
  out << "\n|---|---|---|";
  for (std::size_t i = 0; i < grid.snrDb.size(); ++i) out << "---|";
  out << "\n";
  for (const BenchRoom& room : grid.rooms) {
    for (const double clock : grid.clockPercent) {
      for (const bool calibration : grid.calibrations) {
        out << "| " << room.Name() << " | " << ClockLabel(clock) << " | "
            << (calibration ? "on" : "off") << " |";
        for (const double snr : grid.snrDb) {
          out << " " << CerText(Find(cells, timing, calibration, room.Name(), clock, snr)) << " |";
        }
        out << "\n";
      }
    }
  }
}

void WriteMarkdown(std::ostream& out, const Grid& grid, const Grid& soxGrid,
                   const Grid& heldOutGrid, const std::vector<Cell>& cells) {
  const std::string& text = grid.text;
  out << "# Robustness of the sender's timings\n\n"
      << "Generated by `scripts/robustness.sh` (bench/robustness); do not edit by hand.\n\n"
      << "Each cell sends the same " << text.size() << " bytes ("
      << (grid.textFile.empty() ? "two lines of prose and every byte 1..255"
                                : "of " + grid.textFile)
      << ") as one message at " << grid.sampleRate
      << " Hz, 16-bit, through the channel simulator and decodes it with the headless "
         "receiver's code path (WAV file, conversion to 11025 Hz 8-bit, replay on the virtual "
         "clock). "
      << "CER is the character error rate: the edit distance from the sent text over its "
         "length, summed over "
      << grid.seeds << (grid.seeds == 1 ? " noise seed" : " noise seeds")
      << " per cell. Characters that noise makes up in the silence before the first symbol "
         "and after the last are not counted (the receiver hears noise there whatever the "
         "sender does); the summary gives their number.\n\n"
      << "- SNR: power of the direct sound's tones (measured only where tones sound, not over "
         "the gaps) over the power of white noise within the receiver's band, 0 to 5512 Hz.\n"
      << "- Clock: the sender's sample clock runs that much fast (+) or slow (-); the sound is "
         "resampled.\n"
      << "- Rooms: mild = RT60 0.25 s, echoes 10 dB below the direct sound (a furnished room, "
         "devices about 30 cm apart); strong = RT60 0.6 s, echoes as strong as the direct sound "
         "(a bare room, about a metre apart). The room passes the sound's power on unchanged, "
         "and the recording level is turned down where echoes would otherwise clip.\n";
  if (!soxGrid.rooms.empty()) {
    out << "- sox40 .. sox100: SoX's `reverb` effect (Freeverb) at that reverberance, its other "
           "settings at their defaults, in place of the simulator's room: a model of a room that "
           "this project did not write. These rooms run on a smaller grid (below).\n";
  }
  out << "- cal: the calibration sequence is sent first.\n"
      << "- NAME-robust: the same cells decoded with the robust framing (`--robust`) instead of "
         "the exact one.\n\n";

  out << "## Summary\n\n"
      << "| timing | symbol (samples at 11025 Hz) | bytes/s | clean | lowest SNR at 0 errors "
         "(cal, no room, 0 %) | lowest SNR at 0 errors (cal, mild room, 0 %) | largest clock "
         "offset at 0 errors (cal, no room, clean) | 20 dB, mild, ±0.5 %, cal | 20 dB, strong, "
         "±0.5 %, cal | sox60 / sox80, clean, 0 %, cal | made-up characters in all cells |\n"
      << "|---|---|---|---|---|---|---|---|---|---|---|\n";
  for (const NamedTiming& timing : grid.timings) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.2f", BytesPerSecond(timing.timing));
    out << "| " << timing.name << " | " << timing.timing.toneSamples << " tone + "
        << timing.timing.gapSamples << " gap | " << rate << " | "
        << CerText(Find(cells, timing.name, false, "off", 0.0, NAN)) << " | "
        << LowestCleanSnr(grid, cells, timing.name, true, "off", 0.0) << " | "
        << LowestCleanSnr(grid, cells, timing.name, true, "mild", 0.0) << " | "
        << LargestCleanClock(grid, cells, timing.name, true, "off", NAN) << " | "
        << PairText(cells, timing.name, {"mild"}, {-0.5, 0.5}, 20.0) << " | "
        << PairText(cells, timing.name, {"strong"}, {-0.5, 0.5}, 20.0) << " | "
        << PairText(cells, timing.name, {"sox60", "sox80"}, {0.0}, NAN) << " | "
        << JunkTotal(cells, timing.name) << " |\n";
  }

  for (const NamedTiming& timing : grid.timings) {
    out << "\n## " << timing.name << " timing: " << timing.timing.toneSamples << "-sample tone, "
        << timing.timing.riseSamples << "-sample rise, " << timing.timing.gapSamples
        << "-sample gap\n\n";
    WriteRoomTable(out, grid, cells, timing.name);
  }
  if (!soxGrid.rooms.empty()) {
    out << "\n## Rooms modelled by SoX's reverb\n";
    for (const NamedTiming& timing : soxGrid.timings) {
      out << "\n### " << timing.name << " timing\n\n";
      WriteRoomTable(out, soxGrid, cells, timing.name);
    }
  }
  if (heldOutGrid.rooms.empty()) return;
  out << "\n## Held-out rooms\n\n"
      << "An image-source model of a shoebox room (5 x 4 x 2.7 m, the same absorption on every "
         "wall, set by Sabine's formula for the reverberation time; boxRT60sDISTANCEm), written "
         "for this bench and never used to tune either framing.\n";
  for (const NamedTiming& timing : heldOutGrid.timings) {
    out << "\n### " << timing.name << " timing\n\n";
    WriteRoomTable(out, heldOutGrid, cells, timing.name);
  }
}

// One line per cell: timing, calibration (0/1), room, clock %, SNR (dB, 99 for clean), CER.
void WriteData(std::ostream& out, const std::vector<Cell>& cells) {
  out << "# timing calibration room clock_percent snr_db cer\n";
  for (const Cell& c : cells) {
    out << c.timing << " " << c.calibrated << " " << c.room << " " << c.clockPercent << " "
        << (std::isnan(c.snrDb) ? 99.0 : c.snrDb) << " " << c.Cer() << "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  Grid grid = FullGrid();
  std::string outDir = "docs/robustness";
  bool quick = false;
  bool outGiven = false;
  std::vector<NamedTiming> timings;
  std::vector<BenchRoom> soxRooms;
  std::vector<BenchRoom> heldOutRooms;
  std::vector<Framing> framings = {Framing::kExact, Framing::kRobust};
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string arg = argv[i];
      auto value = [&]() -> std::string {
        if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
        return argv[++i];
      };
      if (arg == "--help") {
        PrintUsage(stdout);
        return kExitDone;
      } else if (arg == "--quick") {
        quick = true;
        const Grid small = QuickGrid();
        grid.snrDb = small.snrDb;
        grid.clockPercent = small.clockPercent;
      } else if (arg == "--out") {
        outDir = value();
        outGiven = true;
      } else if (arg == "--rate") {
        grid.sampleRate = std::stoi(value());
      } else if (arg == "--high-cut") {
        grid.highCutHz = std::stod(value());
      } else if (arg == "--text") {
        grid.textFile = value();
      } else if (arg == "--keep") {
        grid.keepDirectory = value();
      } else if (arg == "--jitter") {
        grid.jitterSamples = std::stoi(value());
        if (grid.jitterSamples < 0) throw std::invalid_argument("--jitter takes samples >= 0");
      } else if (arg == "--seeds") {
        grid.seeds = std::stoi(value());
      } else if (arg == "--snr") {
        grid.snrDb = ParseList(value());
      } else if (arg == "--clock") {
        grid.clockPercent = ParseList(value());
      } else if (arg == "--reverb") {
        grid.rooms.clear();
        std::stringstream in(value());
        for (std::string item; std::getline(in, item, ',');) {
          if (item == "off")
            grid.rooms.push_back({RoomKind::kNone});
          else if (item == "mild")
            grid.rooms.push_back({RoomKind::kMild});
          else if (item == "strong")
            grid.rooms.push_back({RoomKind::kStrong});
          else
            throw std::invalid_argument("unknown room '" + item + "'");
        }
      } else if (arg == "--sox-reverb") {
        for (const double reverberance : ParseList(value())) {
          if (!(reverberance >= 1 && reverberance <= 100))
            throw std::invalid_argument("--sox-reverb takes reverberances 1..100");
          soxRooms.push_back({RoomKind::kNone, static_cast<int32_t>(reverberance)});
        }
      } else if (arg == "--calibration") {
        grid.calibrations.clear();
        std::stringstream in(value());
        for (std::string item; std::getline(in, item, ',');) {
          if (item != "on" && item != "off") throw std::invalid_argument("on or off");
          grid.calibrations.push_back(item == "on");
        }
      } else if (arg == "--shoebox") {
        std::stringstream in(value());
        for (std::string item; std::getline(in, item, ',');) {
          const std::size_t colon = item.find(':');
          if (colon == std::string::npos) throw std::invalid_argument("--shoebox takes RT60:DIST");
          bench::ShoeboxRoom box{std::stod(item.substr(0, colon)),
                                 std::stod(item.substr(colon + 1))};
          if (!(box.rt60Seconds >= 0.1 && box.distanceMetres > 0 && box.distanceMetres <= 3.5))
            throw std::invalid_argument("--shoebox: RT60 from 0.1 s, distance up to 3.5 m");
          heldOutRooms.push_back({RoomKind::kNone, 0, box});
        }
      } else if (arg == "--framing") {
        framings.clear();
        std::stringstream in(value());
        for (std::string item; std::getline(in, item, ',');) {
          if (item != "exact" && item != "robust") throw std::invalid_argument("exact or robust");
          framings.push_back(item == "exact" ? Framing::kExact : Framing::kRobust);
        }
      } else if (arg == "--timing") {
        NamedTiming named;
        if (!ParseTiming(value(), named)) throw std::invalid_argument("bad --timing");
        timings.push_back(named);
      } else {
        throw std::invalid_argument("unknown option '" + arg + "'");
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s (see --help)\n", kProgram, e.what());
    return kExitUsage;
  }
  if (!timings.empty()) grid.timings = timings;
  std::string problem;
  if (!ReadMessage(grid.textFile, grid.text, problem)) {
    std::fprintf(stderr, "%s: %s\n", kProgram, problem.c_str());
    return kExitUsage;
  }
  // Every timing once per framing, the exact rows first.
  std::vector<NamedTiming> framed;
  for (const Framing framing : framings) {
    for (NamedTiming named : grid.timings) {
      named.framing = framing;
      if (framing == Framing::kRobust) named.name += "-robust";
      framed.push_back(named);
    }
  }
  grid.timings = framed;
  if (grid.sampleRate < kTimingRate || grid.seeds < 1) {
    std::fprintf(stderr, "%s: the rate must be at least 11025 Hz and seeds at least 1\n", kProgram);
    return kExitUsage;
  }

  const std::string scratch = "/tmp/brindlemoor-robustness-" + std::to_string(getpid()) + ".wav";
  std::vector<Cell> cells;
  // The SoX rooms run on a smaller grid: the calibrated and uncalibrated cells of every timing at
  // the clock offsets and SNRs where the targets lie, so that they add minutes, not an hour.
  Grid soxGrid = grid;
  soxGrid.rooms = soxRooms;
  soxGrid.snrDb = {NAN, 30, 20, 15};
  soxGrid.clockPercent = {-0.5, 0, 0.5};
  Grid heldOutGrid = soxGrid;
  heldOutGrid.rooms = heldOutRooms;
  if (!RunGrid(grid, scratch, cells) || (!soxRooms.empty() && !RunGrid(soxGrid, scratch, cells)) ||
      (!heldOutRooms.empty() && !RunGrid(heldOutGrid, scratch, cells)))
    return kExitUsage;

  std::ostringstream markdown;
  WriteMarkdown(markdown, grid, soxGrid, heldOutGrid, cells);
  std::fputs(markdown.str().c_str(), stdout);
  if (!quick || outGiven) {
    std::ofstream md(outDir + "/robustness.md");
    std::ofstream dat(outDir + "/robustness.dat");
    md << markdown.str();
    WriteData(dat, cells);
    if (!md || !dat) {
      std::fprintf(stderr, "%s: cannot write to %s\n", kProgram, outDir.c_str());
      return kExitUsage;
    }
  }
  for (const NamedTiming& timing : grid.timings) {
    const Cell* clean = Find(cells, timing.name, false, "off", 0.0, NAN);
    if (clean != nullptr && clean->errors != 0 && grid.jitterSamples == 0) {
      std::fprintf(stderr, "%s: check failed: the %s timing loses characters on a clean channel\n",
                   kProgram, timing.name.c_str());
      return kExitCheckFailed;
    }
  }
  return kExitDone;
}
