// The --trace line of one symbol.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "receiver/symbol_trace_format.h"

namespace brindlemoor {
namespace {

std::string Format(const SymbolTrace& trace, bool calibrated) {
  char line[kSymbolTraceLineBytes];
  const std::size_t size = FormatSymbolTrace(trace, calibrated, line);
  return std::string(line, size);
}

TEST(SymbolTraceFormat, ShowsOnsetLevelsThresholdsAndTheOutcome) {
  std::array<int32_t, 256> spectrum{};
  spectrum[11] = 1000;  // the fundamental is the strongest bin: P = 1000
  spectrum[23] = 900;   // bit 0
  spectrum[91] = 800;   // bit 6
  SymbolTrace trace{7, 505, 100, 3, spectrum.data(), {true, 65, 1000, 11, Rejection::kNone}};
  const std::string prefix =
      "symbol block 7 pos 505 peak 100@3 spectrum 1000@11 levels 900 0 0 0 0 0 800 0 "
      "thresholds 500 333 333 200 250 333 400 500";
  EXPECT_EQ(Format(trace, false), prefix + ": byte 65 'A'\n");
  EXPECT_EQ(Format(trace, true), prefix + " (calibrated): byte 65 'A'\n");

  trace.decision = {true, 10, 1000, 11, Rejection::kNone};
  EXPECT_EQ(Format(trace, false), prefix + ": byte 10\n");

  // The robust framing's gate: held, then a run that begins a message.
  trace.gate = GateVerdict::kHeld;
  trace.gateHeld = 2;
  trace.gateDropped = 1;
  trace.gateRun = 4;
  EXPECT_EQ(Format(trace, false), prefix +
                                      ": byte 10, 1 held dropped (off the run's spacing), held "
                                      "(2 of a run of 4 at a steady spacing)\n");
  trace.gate = GateVerdict::kReleased;
  trace.gateHeld = 3;
  trace.gateDropped = 0;
  EXPECT_EQ(
      Format(trace, false),
      prefix + ": byte 10, a run of 4 at a steady spacing begins a message (3 held passed)\n");
  trace.gate = GateVerdict::kNone;

  // The robust framing's harmonic gains, after the levels they were applied to.
  const std::array<double, kBitCount> gains = {0.5, 1, 1, 1, 1, 1, 1, 0.875};
  trace.harmonicGains = &gains;
  EXPECT_EQ(Format(trace, false),
            "symbol block 7 pos 505 peak 100@3 spectrum 1000@11 levels 900 0 0 0 0 0 800 0 gains "
            "0.50 1.00 1.00 1.00 1.00 1.00 1.00 0.88 thresholds 500 333 333 200 250 333 400 500: "
            "byte 10\n");
  trace.harmonicGains = nullptr;

  // The robust framing's tails taken out in phase: each harmonic's prediction gain, or "-" where
  // its bit was decided as before.
  // "taught" where only a calibration's known symbols taught the taps, not yet judged.
  const std::array<double, kBitCount> tailGains = {9.04, -1, -1, -1, -1, -1, NAN, 3.5};
  trace.tailGains = &tailGains;
  trace.tailsDecided = true;
  EXPECT_NE(Format(trace, false)
                .find(" 800 0 tails out in phase (dB) 9.0 - - - - - taught 3.5 thresholds"),
            std::string::npos);
  trace.tailsDecided = false;
  EXPECT_NE(Format(trace, false).find(" tails in phase undecided (dB) 9.0 -"), std::string::npos);
  trace.tailGains = nullptr;

  // The robust framing's loudest candidate periods, averaged in phase into the analysed one.
  trace.periodicity = 0.98;
  trace.loudCandidates = 5;
  EXPECT_EQ(Format(trace, false)
                .rfind("symbol block 7 pos 505 peak 100@3 periodicity 0.98 (5 "
                       "loudest candidates averaged in phase) spectrum",
                       0),
            0u);
  trace.loudOnlyPeriodic = true;
  EXPECT_NE(Format(trace, false)
                .find("(5 loudest candidates averaged in phase, of the most "
                      "periodic: a calibration step awaited) spectrum"),
            std::string::npos);
  trace.periodicity = -2.0;
  trace.loudCandidates = 0;
  trace.loudOnlyPeriodic = false;

  trace.decision = {false, 0, 1000, 11, Rejection::kNoFundamental};
  spectrum[11] = 60;
  spectrum[12] = 39;
  EXPECT_EQ(Format(trace, false),
            "symbol block 7 pos 505 peak 100@3 spectrum 1000@11 levels 900 0 0 0 0 0 800 0 "
            "thresholds 500 333 333 200 250 333 400 500: rejected, no fundamental "
            "(bins 11+12 = 99, needs > 100)\n");

  trace.decision = {false, 0, 101, 45, Rejection::kPeakNotHarmonic};
  EXPECT_NE(Format(trace, false)
                .find("thresholds 50 33 33 20 25 33 40.4 50: rejected, strongest "
                      "bin 45 is not a harmonic\n"),
            std::string::npos);

  trace.symbolPeak = 0;
  trace.symbolPeakIndex = 0;
  trace.decision = {false, 0, 0, -1, Rejection::kSilent};
  // The robust framing: why its onset is not where the symbol clock put it.
  trace.onsetNote = "before the clock's window";
  EXPECT_EQ(Format(trace, false),
            "symbol block 7 pos 505 peak 0@0 (onset before the clock's window): silent, skipped\n");
  trace.onsetNote = nullptr;
  EXPECT_EQ(Format(trace, false), "symbol block 7 pos 505 peak 0@0: silent, skipped\n");
  trace.decidedAgain = "on the found clock";
  EXPECT_EQ(
      Format(trace, false),
      "symbol block 7 pos 505 peak 0@0 (decided again on the found clock): silent, skipped\n");
  trace.decidedAgain = nullptr;

  // The robust framing: a 0 routed as the calibration step it awaited.
  trace.stepFromZero = 0;
  EXPECT_EQ(Format(trace, false),
            "routed symbol block 7 pos 505 byte 0: calibration step 0, its harmonic 2 alone "
            "stands out (level 900), read as byte 1\n");
}

}  // namespace
}  // namespace brindlemoor
