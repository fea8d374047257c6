#include "robust/calibration_reframe.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "receiver/decide_byte.h"
#include "receiver/period_analysis.h"
#include "receiver/tick_text.h"
#include "robust/calibration_preamble.h"
#include "robust/period_choice.h"
#include "robust/preamble_text.h"
#include "robust/robust_trace.h"
#include "robust/symbol_gate.h"

namespace brindlemoor::robust {
namespace {

// Text begins without bit 7 (no ASCII character holds it): the first symbols after a calibration
// that had to be found again, measured again on the found clock, teach its last step's harmonic
// the tail that step left, which no tone of the calibration follows.
constexpr uint32_t kOffAfterCalibration = 1u << (kBitCount - 1);
// The found tones also teach the tails measured this far (samples) earlier and later in each
// tone: a calibration teaches harmonic 8 from a single step, and the tail that one period of the
// room leaves there moves with where the period falls (teaching the tones 15 samples later than
// found lost 1.5 times as much in the strong room with the default timing, clock -0.5 to
// +0.5 %). Taught around the found place, the taps keep the tail the text's periods meet, whose
// onsets wander by some 30 samples about the tones' starts (±45: the strong room's 3-seed sum
// 237 → 220; ±30: 227; ±60 in steps of 20: 217).
constexpr std::array<int32_t, 6> kShiftedTeaching{-45, -30, -15, 15, 30, 45};
// The last onset framed before the calibration was found goes to the found clock's next slot
// once it lies a third of a spacing past one: this many thirds are added before rounding down
// (the text's first symbols are measured
// again and decided up to it). Framed on the clock that missed the calibration, it can lie half
// a symbol off: the nearest slot (half a spacing) left a letter out (the strong room with the
// default timing, 12 cells: 90.60 points against 87.15).
constexpr int32_t kSlotThirds = 2;
// Why the trace shows such a symbol decided again.
constexpr const char* kOnFoundClock = "on the found calibration's clock";

// The byte of the calibration's tone `tone`: the 0, then each step's bit.
uint8_t KnownTone(int32_t tone) {
  return tone == 0 ? uint8_t{0} : static_cast<uint8_t>(1u << (tone - 1));
}

// The found clock's slot that the onset `onset`, framed on the clock that missed the
// calibration, goes to; -1 for none.
int64_t SlotOnset(int64_t onset, const PreambleFit& fit) {
  if (onset < 0) return -1;
  const int64_t slot = (onset - fit.start + kSlotThirds * fit.spacing / 3) / fit.spacing;
  return fit.start + slot * fit.spacing;
}

// Whether the found calibration's last step is heard out, so that its tones can be measured again.
bool HeardOut(const PreambleFit& fit, int64_t count) {
  return fit.found &&
         fit.start + (PreambleSearch::kTones - 1) * fit.spacing + kAnalysisDelay <= count;
}

// The found calibration's steps as the period without the earlier symbols' tails hears them:
// each step's level there, before the taps it teaches are learned (its harmonic sounded in no
// earlier step, so none of its tail is taken out). That period is decided with these gains, as
// the loudest candidates are with the steps measured where they are; each is averaged with the
// loudest candidates' level of the step, since one period late in a tone hears more noise (alone,
// the strong room at 15 dB lost up to 5 points more).
struct TailFreeSteps {
  LevelTable levels{};
  bool silent = false;  // one of them was: the calibration found is not used there
};

void MeasureTailFreeStep(TailFreeSteps& steps, int32_t step, const PeriodSamples& period,
                         const LevelTable& loudest, SpectrumAnalyzer& analyser) {
  ChosenPeriod scaled;
  ScalePeriod(period, scaled);
  if (scaled.peak == 0) {
    steps.silent = true;
    return;
  }
  std::array<int32_t, kSpectrumBins> spectrum{};
  AnalyseRepeatedPeriod(scaled.samples.data(), scaled.peak, analyser, spectrum.data());
  const auto k = static_cast<std::size_t>(step);
  const int32_t level = (HarmonicLevel(spectrum.data(), step) + loudest[k]) / 2;
  steps.levels[k] = level;
  steps.levels[kBitCount] += level;
}

// A symbol framed between the found calibration's last tone and its finding, its onset at
// `onset` on the found clock, measured again there with the tones' taps: decided and routed
// there in place of the byte decided on the clock that missed the calibration (the text's first
// letters, read with the last step's tail in them). True when the text is full; a full text
// routes nothing more.
bool DecideRemeasured(RobustFramer& framer, int64_t onset, const PeriodSamples& period,
                      ReceiveContext& context) {
  if (context.text.length >= kTickTextLimit) return true;
  ChosenPeriod scaled;
  ScalePeriod(period, scaled);
  if (scaled.peak == 0) {
    ReportDecidedAgain(context, onset, scaled.peak, kCoherentOffset, framer.balanced.data(),
                       ByteDecision{false, 0, 0, -1, Rejection::kSilent}, ThresholdShares{},
                       framer.balance, kOnFoundClock);
    return false;
  }
  AnalyseRepeatedPeriod(scaled.samples.data(), scaled.peak, context.analyser, context.spectrum);
  framer.balance.Apply(context.spectrum, framer.balanced.data());
  ByteDecision decision =
      framer.tailFreeLevels.Decide(framer.balanced.data(), framer.tailFreeCalibration);
  // Text begins without bit 7, whose last step's tail no tap takes out yet.
  decision.byte = static_cast<uint8_t>(decision.byte & ~kOffAfterCalibration);
  const ThresholdShares shares = framer.tailFreeLevels.Shares(decision.byte);
  ReportDecidedAgain(context, onset, scaled.peak, kCoherentOffset, framer.balanced.data(), decision,
                     shares, framer.balance, kOnFoundClock);
  if (!decision.accepted || decision.byte == 0) return false;
  NoteFirstLetter(framer.firstLetters, onset, context.spectrum, framer.tailFreeLevels);
  framer.tailFreeLevels.Follow(decision.byte);
  const LetterRoute route = RouteFirstLetter(framer.firstLetters, true, decision.byte, onset,
                                             framer.balance, framer.tailFreeCalibration, context);
  if (route != LetterRoute::kNotHeld) return route == LetterRoute::kFull;
  return RouteByte(decision.byte, context.spectrum, context.calibration, context.text,
                   context.files);
}

// The tail predictor learned from the mis-framed symbols: it starts again from the nine tones
// found, each measured where it lies and known as sent, so that their taps act from the next
// symbol on. The decisions that could not frame the calibration are too often wrong to teach
// the taps the tones taught; the symbols framed since the last tone are measured again on the
// found clock, so that the next one lines up with them, and teach only the last step's harmonic.
// The last of them, when not yet heard out, is measured once it is. True when the text is full.
bool TeachTails(RobustFramer& framer, const PreambleFit& fit, ReceiveContext& context) {
  const CalibrationState& calibration = context.calibration;
  SpectrumAnalyzer& analyser = context.analyser;
  framer.coherent.Reset();
  framer.lateTone.Reset();
  framer.known = KnownSymbols();
  PeriodSamples scratch{};
  PeriodSamples lateScratch{};
  // Each shifted pass begins before the last tone measured, so that its first tone follows no
  // earlier one; the last pass, where the tones were found, leaves the components the next
  // symbols' tails are predicted from.
  for (const int32_t shift : kShiftedTeaching) {
    for (int32_t tone = 0; tone < PreambleSearch::kTones; ++tone) {
      framer.coherent.Clean(framer.history,
                            fit.start + shift + static_cast<int64_t>(tone) * fit.spacing, scratch);
      framer.coherent.LearnShifted(KnownTone(tone));
      framer.lateTone.Clean(framer.history,
                            fit.start + shift + static_cast<int64_t>(tone) * fit.spacing, scratch,
                            kLateOffset);
      framer.lateTone.LearnShifted(KnownTone(tone));
    }
  }
  TailFreeSteps steps;
  for (int32_t tone = 0; tone < PreambleSearch::kTones; ++tone) {
    framer.coherent.Clean(framer.history, fit.start + static_cast<int64_t>(tone) * fit.spacing,
                          scratch);
    if (tone > 0) MeasureTailFreeStep(steps, tone - 1, scratch, calibration.gainTable, analyser);
    framer.coherent.Learn(true, KnownTone(tone), true);
    framer.lateTone.Clean(framer.history, fit.start + static_cast<int64_t>(tone) * fit.spacing,
                          lateScratch, kLateOffset);
    framer.lateTone.Learn(true, KnownTone(tone), true);
  }
  framer.tailFreeCalibration = calibration;
  if (!steps.silent) framer.tailFreeCalibration.gainTable = steps.levels;
  framer.coherent.HoldKnown(true);
  framer.lateTone.HoldKnown(true);
  // The gains learned from the mis-framed symbols start again with the text.
  framer.balance.Restart();
  const int64_t last = fit.start + static_cast<int64_t>(PreambleSearch::kTones - 1) * fit.spacing;
  int64_t onset = last + fit.spacing;
  bool full = false;
  OpenFirstLetters(framer.firstLetters);
  for (; onset <= framer.lastOnset && onset + kAnalysisDelay <= framer.history.Count();
       onset += fit.spacing) {
    framer.coherent.Clean(framer.history, onset, scratch);
    framer.lateTone.Clean(framer.history, onset, lateScratch, kLateOffset);
    full = DecideRemeasured(framer, onset, scratch, context) || full;
    framer.coherent.LearnUndecided(kOffAfterCalibration);
    framer.lateTone.LearnUndecided(kOffAfterCalibration);
  }
  framer.lateRemeasure = onset <= framer.lastOnset ? onset : -1;
  return full;
}

}  // namespace

// The last symbol framed before the calibration was found, now heard out on the found clock.
bool RemeasureLate(RobustFramer& framer, ReceiveContext& context) {
  PeriodSamples scratch{};
  framer.coherent.Clean(framer.history, framer.lateRemeasure, scratch);
  PeriodSamples lateScratch{};
  framer.lateTone.Clean(framer.history, framer.lateRemeasure, lateScratch, kLateOffset);
  const bool full = DecideRemeasured(framer, framer.lateRemeasure, scratch, context);
  framer.coherent.LearnUndecided(kOffAfterCalibration);
  framer.lateTone.LearnUndecided(kOffAfterCalibration);
  framer.lateRemeasure = -1;
  return full;
}

// Once a 0 has been heard and no calibration followed it as framed, the calibration sequence is
// looked for in the recent sound; found, its steps are measured again where they lie and the
// symbol clock takes their spacing and phase. True when the text is full.
bool ReframePreamble(ReceiveContext& context, RobustFramer& framer) {
  if (framer.preambleZero < 0) return false;
  const int64_t count = framer.history.Count();
  if (framer.preambleZero < count - kHistorySamples + kPeriod) {
    framer.preambleZero = -1;
    return false;
  }
  if (context.calibration.calibrating != 0 || framer.zeroOnset >= 0) return false;
  const PreambleFit fit = framer.preamble.Find(framer.history, framer.preambleZero);
  // The last step must be heard out before it is measured again.
  if (!HeardOut(fit, count)) return false;
  framer.preambleZero = -1;
  bool full = framer.firstLetters.open && ReleaseFirstLetters(framer.firstLetters, framer.balance,
                                                              framer.tailFreeCalibration, context);
  // The text held since the 0 passes up to the found calibration's first tone; from there on
  // its tones misread are dropped, and the symbols after them are decided again on the found
  // clock (TeachTails, RemeasureLate).
  const int64_t firstTone = fit.start - fit.spacing / 2;
  if (full) {
    framer.preambleText = PreambleText{};  // a full text drops the rest, as the tick does
  } else {
    full = ReleasePreambleText(framer.preambleText, context, firstTone,
                               std::numeric_limits<int64_t>::max());
  }
  // Its tones and the symbols after them, framed on the clock that missed it, may still be held
  // for a run at a steady spacing (with the sender's clock 0.5 % fast in the strong room none
  // had begun): they are let go, being decided again, and the found calibration begins the
  // message, so that they pass no more as text after it (its steps read as "p\x80" before the
  // first word) and its first letters stay held until the balance has learned.
  const int64_t lastTone =
      fit.start + static_cast<int64_t>(PreambleSearch::kTones - 1) * fit.spacing;
  SymbolGate& gate = framer.gate;
  gate.BeginFound(firstTone, static_cast<double>(fit.spacing),
                  std::max(lastTone, SlotOnset(framer.lastOnset, fit)));
  // Nothing before a calibration's first tone belongs to the message it begins.
  if (gate.Dropped() > 0) gate.ClearHeld();
  CalibrationState calibration = context.calibration;
  calibration.calibrating = 0;
  RouteByte(0, context.spectrum, calibration, context.text, context.files);
  for (int32_t step = 0; step < kBitCount; ++step) {
    const int64_t onset = fit.start + static_cast<int64_t>(step + 1) * fit.spacing;
    const ChosenPeriod period = ChoosePeriods(framer.history, framer.roots, onset, true).loud;
    if (period.peak == 0) return full;
    AnalyseRepeatedPeriod(period.samples.data(), period.peak, context.analyser, context.spectrum);
    RouteByte(static_cast<uint8_t>(1u << step), context.spectrum, calibration, context.text,
              context.files);
  }
  context.calibration = calibration;
  framer.rhythm.Keep(fit.spacing);
  framer.detector.SetClock(fit.spacing);
  if (framer.lastOnset >= 0) framer.lastOnset = SlotOnset(framer.lastOnset, fit);
  return TeachTails(framer, fit, context) || full;
}

// A calibration completed as framed is looked for in the sound as a found one is; its tones'
// rises all on one line as first measured (PreambleFit::steady) show a steady sender, whose clock
// is set steady once echoes scatter its onsets' jumps as a jittering sender's (each onset then at
// its window's strongest jump, early and late by turns).
void NoteFramedCalibration(RobustFramer& framer) {
  if (framer.preambleZero < 0) return;
  const PreambleFit fit = framer.preamble.Find(framer.history, framer.preambleZero);
  if (!HeardOut(fit, framer.history.Count()) || !fit.steady) return;
  framer.framedSpacing = fit.spacing;
}

}  // namespace brindlemoor::robust
