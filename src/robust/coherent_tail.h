// Predicts each bit harmonic's tail from the earlier symbols' own components, in phase: a sender
// whose spacing is constant leaves, in a fixed room, the tail of a harmonic that an earlier
// symbol held at a fixed complex gain of that symbol's component. The gains are learned where
// the harmonic is off (its tail alone sounds there), and a harmonic's predicted tail is taken out
// of the analysed period only once it predicts that tail well.
#pragma once

#include <array>
#include <complex>
#include <cstdint>

#include "robust/period_roots.h"
#include "robust/robust_constants.h"
#include "robust/sample_history.h"

namespace brindlemoor::robust {

// Earlier symbols whose components predict a tail.
inline constexpr int32_t kTailSymbols = 6;
// The periods averaged into the analysed one, the last ending where the candidates' last does:
// late in the tone, where the tone has risen.
inline constexpr int32_t kCoherentPeriods = 4;
inline constexpr int32_t kCoherentOffset = kAnalysisDelay - kCoherentPeriods * kPeriod;

// How a predictor measures and when it takes a harmonic's tail out. The default measures late in
// a slowly rising tone. After a short tone those periods fall in the gap, too quiet to decide; a
// short tone is measured where its loudest candidates lie (the offset given to Clean).
struct TailWindow {
  int32_t periods = kCoherentPeriods;  // averaged into the measured period
  // A harmonic's tail is taken out once it was off in this many symbols after one that held it,
  // and its prediction leaves this many times less power there than it had (1.5: two thirds).
  int32_t leastLearned = 10;
  double leastGain = 1.5;
  // Its bit is decided without the tail only where the predicted tail holds at least this share
  // of the harmonic's power; elsewhere the tail hardly matters and the loudest periods decide.
  double leastTailShare = 0.0;
  // Whether taps fitted to a calibration's known symbols act before they can be judged.
  bool knownActs = true;
  // A harmonic not yet trusted still has its tail taken out right after a symbol that held it
  // far louder than usual (a lone bit, sent at full level), where its prediction leaves this
  // many times less power (0: never).
  double loudTailGain = 0.0;
  // Where the onsets follow each other closer than kCloseSpacing (gaps shorter than the tones),
  // a prediction is trusted once it leaves this many times less power than it had: there the
  // last tone's tail lies over the next one nearly as loud as a harmonic the room cuts, and a
  // prediction that takes out only part of it still helps. In close shoebox rooms (0.25 to 0.4 s,
  // 0.7 to 1.2 m) with the default timing, the harmonics that the sender's clock moved into a
  // notch were never trusted (their predictions left 1.0 to 1.5 times less power), and most of
  // the bits lost there followed a symbol that held the same harmonic (set bits read unset 4.7
  // to 7.1 % of the time, unset read set 3.3 to 5.1 %, against 2.5 % and 0.3 to 0.8 % after one
  // that did not). 1.0 / 1.2 / 0.9: the quick grid 450.18 -> 379.43 / 385.37 / 382.54 (SoX's
  // reverb 100 most), six shoebox rooms 3082.18 -> 3026.42 / 3048.94 / 3034.75; applied to
  // every timing, the room timing's tones, short after long gaps, lost 46 points in those rooms.
  double closeGain = 1.0;
  // A harmonic that the last symbol held, not yet trusted, still has its tail taken out where
  // its prediction leaves this many times less power where it is off and the predicted tail
  // stands against the measured component (over a quarter turn from it, or nearly as loud): a
  // tail that cancels the next tone's own component, whose taking out can only lift it (0: never).
  double cancellingGain = 0.0;
};
// Onsets closer than this (in samples) count as close (kDefaultTiming: 668; kRoomTiming: 1240).
inline constexpr double kCloseSpacing = 1000.0;
// Inside a short tone whose phases the sender aligns, a tone's own component is much like the
// tail of the one before: taps fitted to few symbols (a calibration's) take the tone itself out
// of a bit set in nearly every symbol, and it is read unset from then on. Only a prediction that
// has proven itself over many symbols acts there.
// A lone bit's tail, as loud as the next tone's set bits, is predicted well where the earlier
// symbols' usual tails are not (2.5: 4 dB; at 3 dB the strong room with the sender's clock 0.5 %
// fast lost a character more in each recording).
// Its predictions are held to the same bar however close the tones.
// A set bit after a symbol that held it, whose tone the last tone's tail cancels, is read
// unset unless that tail is taken out: in SoX's reverb 100 with the room timing, the sender's
// clock 0.5 % slow, harmonic 6's tail ran about 150 degrees against the next tone and stood
// louder than it, its prediction leaving 1.45 to 1.85 times less power (1.3: that cell 1.33 ->
// 0.53 % at 20 dB; 1.6 with no check of the phase: the strong room's room-timing cells 0.3 to
// 8-11 %, the tone itself taken out; with the check, 1.1 / 1.3 / 1.6 leave the strong room
// alike, 2.0 mends few of the slow clock's bytes).
inline constexpr TailWindow kShortToneWindow{2, 30, 4.0, 0.1, false, 2.5, 4.0, 1.3};

// Later still: the last two periods before the candidates' end, where a tone that a room's
// early echoes cut at its own harmonic (a pitch the sender's clock moved into a notch) has risen
// the most against the earlier tones' tails, though with the noise of half as many periods.
inline constexpr TailWindow kLateWindow{2};
inline constexpr int32_t kLateOffset = kAnalysisDelay - kLateWindow.periods * kPeriod;

class CoherentTail {
 public:
  using Complex = std::complex<double>;
  using Taps = std::array<Complex, kTailSymbols>;

  explicit CoherentTail(const TailWindow& window = TailWindow{});
  void Reset();
  // Measures the symbol whose onset is `onset` (the window's periods from `offset` after it,
  // averaged into `period`) and takes out of `period` the tail predicted in each harmonic whose
  // prediction is learned. True when some harmonic's was.
  bool Clean(const SampleHistory& history, int64_t onset, PeriodSamples& period,
             int32_t offset = kCoherentOffset);
  // Learns from the byte decided for the symbol last measured; `decided` false when none was.
  // `known` when the byte is the one sent (a calibration's symbol), not only the one decided;
  // `doubtful` holds the bits (1 << k) whose decision the symbol's two periods disagreed on,
  // which teach nothing (a short tone's predictor: only the bits decided for a loud tail);
  // `unclear` the bits decided unset that stood near their threshold, which teach a held
  // harmonic's further taps nothing.
  void Learn(bool decided, uint8_t byte, bool known = false, uint32_t doubtful = 0,
             uint32_t unclear = 0);
  // Learns from a symbol measured but not decided, whose components are kept as the predictions
  // leave them, except in the harmonics of `knownOff`'s bits (1 << k), known to be off there:
  // those learn from it as from a known symbol, but are not held to what it taught.
  void LearnUndecided(uint32_t knownOff);
  // Learns from a known symbol measured a little earlier or later in its tone than the symbols
  // are framed: the taps' equations alone, counted as no symbol learned from, so that taps
  // fitted to a calibration's few symbols do not hang on where one period of the room's tail
  // happened to fall.
  void LearnShifted(uint8_t byte);
  // While held (until the next reset or release), a harmonic whose taps a calibration's known
  // symbols taught learns no more from decided bytes: where the decisions are too often wrong to
  // teach (a room so strong that the calibration had to be found again). Only one taught a single
  // tap learns its further taps from them. Released when a later calibration completes as
  // framed: the room let the decisions stand again. A harmonic taught more than one tap whose
  // held prediction is judged not to take its tail out is let go of and learns from the decided
  // bytes again.
  void HoldKnown(bool hold);
  bool HoldsKnown() const { return holdKnown; }
  // The power of the last symbol's averaged period before its tails were taken out.
  double Energy() const { return energy; }
  // The bits whose harmonic's tail was taken out of the last symbol and decides it, bit k as
  // 1 << k.
  uint32_t CleanedBits() const;
  // Of those, the bits whose harmonic's taps only known symbols have taught so far: their
  // predictions have not yet been judged against the symbols that followed.
  uint32_t UnjudgedBits() const;
  // The bits whose harmonic's prediction is held to the taps a calibration's steps taught it
  // (a single tap's further taps learned from the text aside) and was not let go of: there a
  // louder earlier tone's tail is only partly taken out.
  uint32_t StepTaughtBits() const;
  // Notes how the last symbol's harmonics whose tails were taken out stood, where `byte`, decided
  // from the period so cleaned, has them set and unset.
  void NoteLevels(uint8_t byte);
  // How far the harmonic whose tail is taken out stands where set over where unset, in dB, for
  // the harmonic that stands least so of those decided both ways often enough; 0 before any.
  double Separation() const;
  // For the trace: per harmonic, how many dB less power the prediction leaves where the harmonic
  // is off, or -1 where the last symbol kept its tail.
  std::array<double, kBitCount> Gains() const;

 private:
  struct Harmonic {
    std::array<std::array<Complex, kTailSymbols>, kTailSymbols> normal{};  // sum of r r^H
    Taps cross{};                                                          // sum of r y
    Taps taps{};
    // The components the last symbols left in the harmonic, newest first.
    std::array<Complex, kTailSymbols> earlier{};
    double rawPower = 0.0;  // of the harmonic where it was off
    double weight = 0.0;    // of the symbols learned from, each forgotten as they are
    // The power where it was off, the power left there by the prediction made before learning
    // from it, and their weight, counted once the taps were learned from as many symbols as it
    // takes to act.
    double judgedRaw = 0.0;
    double judgedResidual = 0.0;
    double judgedWeight = 0.0;
    double onPower = 0.0;  // of the harmonic where it was on, and the weight of those
    double onWeight = 0.0;
    int32_t learned = 0;  // symbols it was off in, since the last reset
    int32_t known = 0;    // of those, the ones known to be sent with it off
    int32_t holding = 0;  // of those, a calibration's, whose taps are held
    // Where a calibration's symbols taught a single tap, held, the further taps are learned from
    // decided bytes on what the held one leaves: sums as above, and the symbols learned from.
    std::array<std::array<Complex, kTailSymbols>, kTailSymbols> furtherNormal{};
    Taps furtherCross{};
    int32_t furtherLearned = 0;
    // Before those act, the tap two back alone, from the symbols where only the one two back
    // held the harmonic: its sums and the symbols learned from.
    double secondPower = 0.0;
    Complex secondCross{};
    int32_t secondLearned = 0;
    // The power the prediction left where the further taps learned, and its weight.
    double furtherResidual = 0.0;
    double furtherWeight = 0.0;
    // The power where it was known off with no earlier symbol's tail (a calibration's first
    // symbols): the noise that a tap fitted to a single symbol carries into its prediction.
    double noisePower = 0.0;
    double noiseWeight = 0.0;
    // The power the taken-out tail left where the harmonic was decided set, and unset, and the
    // weights of those symbols.
    double setLeft = 0.0;
    double setWeight = 0.0;
    double unsetLeft = 0.0;
    double unsetWeight = 0.0;
    // While its taps are held: the power where it was decided off, clearly, the power the held
    // prediction left there, and the symbols counted. Released once they show the held taps
    // leave nearly as much as they found: from then on it learns from decided bytes.
    double heldRaw = 0.0;
    double heldResidual = 0.0;
    int32_t heldJudged = 0;
    bool released = false;
  };
  // Learns from the symbol last measured: the harmonics of `decidedBits` were decided as `byte`
  // has them, those of `knownBits` are known to be sent so, and those of `holdingBits` among them
  // hold their taps to what they teach.
  void LearnBits(uint32_t decidedBits, uint8_t byte, uint32_t knownBits, uint32_t holdingBits,
                 uint32_t doubtful, uint32_t unclear);
  void Solve(Harmonic& harmonic) const;
  void LearnFurtherTaps(Harmonic& harmonic, Complex y) const;
  // Whether a harmonic's prediction is trusted to take its tail out: judged by the power it left
  // where the harmonic was off, or until it could be, fitted to known symbols above the noise.
  bool Trusted(const Harmonic& harmonic) const;
  // Whether an untrusted harmonic's tail `predicted` is taken out all the same: the last symbol
  // held the harmonic far louder than its usual level when on, and the tail stands well over
  // what the prediction usually leaves.
  bool LoudTail(const Harmonic& harmonic, Complex predicted) const;
  // Whether an untrusted harmonic's tail `predicted` is taken out all the same: the last symbol
  // held the harmonic and the tail stands against `measured` (TailWindow::cancellingGain).
  bool CancellingTail(const Harmonic& harmonic, Complex predicted, Complex measured) const;

  TailWindow window;
  PeriodRoots roots;  // each bit harmonic measured and taken out in stream phase
  std::array<Harmonic, kBitCount> harmonics{};
  std::array<Complex, kBitCount> measured{};   // of the last symbol, in absolute phase
  std::array<Complex, kBitCount> predicted{};  // its predicted tails
  std::array<bool, kBitCount> cleaned{};
  std::array<bool, kBitCount> deciding{};  // cleaned, and the tail a share of the harmonic
  std::array<bool, kBitCount> loudOnly{};  // cleaned only for its loud tail
  double energy = 0.0;
  int64_t lastOnset = -1;
  int64_t lastSpacing = -1;
  double meanSpacing = -1.0;  // of the onsets, followed slowly
  bool holdKnown = false;
};

}  // namespace brindlemoor::robust
