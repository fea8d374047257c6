#include "robust/robust_tick.h"

#include <algorithm>
#include <cassert>

#include "capture/capture_format.h"
#include "receiver/framing.h"
#include "receiver/period_analysis.h"
#include "robust/calibration_reframe.h"
#include "robust/calibration_start.h"
#include "robust/calibration_step.h"
#include "robust/known_symbol.h"
#include "robust/period_choice.h"
#include "robust/robust_trace.h"
#include "robust/symbol_gate.h"

namespace brindlemoor::robust {
namespace {

// A period with less of its 200..2500 Hz power on the 245 Hz grid is no symbol: noise, speech or
// music. Symbols, even in a bare room at 20 dB, keep 0.95 or more; ten minutes of pink noise
// reached 0.94. Where the sender's rhythm expects a symbol a little less will do, which keeps
// symbols that noise at 10 dB has smeared; 0.85 there let music whose notes sit near the grid
// make up three times as many characters, and the periods now chosen later in the tone keep
// 0.92 even in a bare room.
constexpr double kLeastGridShare = 0.95;
constexpr double kLeastGridShareOnClock = 0.92;
// The period without the earlier symbols' tails decides only where it is this loud against the
// loudest candidate: late in a long tone, not in the gap after a short one.
constexpr double kCoherentLoudness = 0.5;
// Bits 5..7: the harmonics that a calibration's known steps teach fewer than three taps (only
// the steps after a bit's own hold its harmonic off), too few to predict a tail from further
// back: where such taps read a bit off that the loudest candidates read set, they took too much
// out of it (in SoX's reverb 40 to 80, 140 such bits were set, none unset).
constexpr uint32_t kFewTapBits = 0xe0;
// The tone's end decides once its set bits stand this many dB further over its unset ones than
// they do in the default window: the later periods hold half the noise's average.
constexpr double kLeastEndSeparation = 1.0;
// Nor where the default window already separates them by this many dB: there its decisions
// stand, and the tone's end, nearer its edge, misread a bit now and then (a mild room, the
// sender's clock 0.5 % slow, 20 dB: 24 dB in the default window, 26 dB at the end, and a
// newline read as '*'). In a strong room it stood at 4 to 17 dB where the end decided.
constexpr double kMostSeparationForEnd = 18.0;
// Bit 5 (harmonic 7): where the taps are held, the default window reads it unset and the tone's
// end set, the two levels together decide it (the joint reading below).
constexpr uint32_t kJointBits = 0x20;

// Where earlier symbols' tails were taken out in phase: each harmonic's prediction gain, and
// whether the period without them decided.
struct TailNote {
  std::array<double, kBitCount> gains{};
  bool decided = false;
};

void Report(ReceiveContext& context, const RobustFramer& framer, int64_t onset,
            const ChosenPeriod& period, const ByteDecision& decision, const ThresholdShares& shares,
            const SymbolGate* gate = nullptr, GateVerdict verdict = GateVerdict::kNone,
            const TailNote* tails = nullptr) {
  if (context.observer == nullptr) return;
  SymbolTrace trace =
      TraceAt(context, onset, period.peak, period.offset, framer.balanced.data(), decision);
  trace.periodicity = period.gridShare;
  trace.onsetNote = framer.pendingNote;
  trace.loudCandidates = period.loudCandidates;
  trace.loudOnlyPeriodic = period.onlyPeriodic;
  trace.thresholdShares = &shares;
  const std::array<double, kBitCount> gains = framer.balance.Gains();
  trace.harmonicGains = &gains;
  if (tails != nullptr) {
    trace.tailGains = &tails->gains;
    trace.tailsDecided = tails->decided;
  }
  if (gate != nullptr) {
    trace.gate = verdict;
    trace.gateHeld = gate->HeldCount();
    trace.gateDropped = gate->Dropped();
    trace.gateRun = kRunLength;
  }
  context.observer->OnSymbol(trace);
}

// Why the gate released or dropped held symbols that never began a run, for --trace.
const char* LoneReason(LoneVerdict verdict) {
  switch (verdict) {
    case LoneVerdict::kReleased:
      return "a lone tone: steady on the grid, silence before and after";
    case LoneVerdict::kNotSteady:
      return "not a lone tone: a period of one held symbol strays off the grid";
    case LoneVerdict::kLoneZero:
      return "not a lone tone: a calibration begins only with its steps";
    case LoneVerdict::kFades:
      return "not a lone tone: it fades instead of ending, as notes and vowels do";
    case LoneVerdict::kNoQuiet:
      return "not a lone tone: another sound came shortly before or after";
    case LoneVerdict::kTooMany:
      return "as many as a run, at no steady spacing or not all steady";
    case LoneVerdict::kWaiting:
      break;
  }
  return "";
}

// Traces a held 0 that began no calibration.
void ReportZeroDropped(ReceiveContext& context, int64_t onset) {
  if (context.observer == nullptr) return;
  const std::array<int32_t, kSpectrumBins> silent{};
  SymbolTrace trace = TraceAt(context, onset, 0, 0, silent.data(), ByteDecision{});
  trace.gate = GateVerdict::kLoneDropped;
  trace.gateReason = "no calibration: the next symbol is not its first step";
  context.observer->OnSymbol(trace);
}

// Routes an accepted byte whose symbol began at `onset`; a 0 whose awaited calibration step's
// harmonic alone stands out is that step, and says so in the trace. A 0 outside a calibration
// waits for the next symbol, and is routed before it only when that symbol is the calibration's
// first step. True when the text is full.
bool RouteAfterLetters(ReceiveContext& context, RobustFramer& framer, uint8_t byte,
                       const int32_t* spectrum, int64_t onset) {
  if (framer.zeroOnset >= 0) {
    const int64_t zero = framer.zeroOnset;
    framer.zeroOnset = -1;
    if (onset - zero <= kLongestSpacing && IsFirstStep(byte, spectrum, context.calibration)) {
      if (ReleasePreambleText(framer.preambleText, context)) return true;
      RouteByte(0, spectrum, context.calibration, context.text, context.files);
      framer.looseStart.Begin(byte);
    } else {
      ReportZeroDropped(context, zero);
    }
  }
  if (byte == 0 && context.calibration.calibrating == 0) {
    framer.zeroOnset = onset;
    return false;
  }
  const int32_t step = StepReadFromZero(byte, spectrum, context.calibration);
  if (step >= 0) {
    byte = static_cast<uint8_t>(1u << step);
    if (context.observer != nullptr) {
      SymbolTrace trace = TraceAt(context, onset, 0, 0, spectrum, ByteDecision{});
      trace.stepFromZero = step;
      context.observer->OnSymbol(trace);
    }
  }
  const bool wasCalibrating = context.calibration.calibrating != 0;
  if (!wasCalibrating && byte != 0 && framer.preambleZero >= 0 &&
      HoldPreambleText(framer.preambleText, byte, onset, framer.preambleZero,
                       framer.rhythm.Spacing())) {
    return false;
  }
  if (ReleasePreambleText(framer.preambleText, context)) return true;
  bool full = RouteByte(byte, spectrum, context.calibration, context.text, context.files);
  if (wasCalibrating && byte != 0) framer.looseStart.Took(byte);
  // A calibration begun on a loose first step that failed was a letter read as 0: what it took
  // is text.
  if (wasCalibrating && context.calibration.calibrating == 0) {
    const bool completed = context.calibration.calibrationStep == kBitCount;
    for (const uint8_t taken : framer.looseStart.Ended(completed)) {
      if (full) break;
      full = RouteByte(taken, spectrum, context.calibration, context.text, context.files);
    }
  }
  // A calibration completed as framed: nothing to frame anew, and the decisions teach again.
  if (context.calibration.calibrating == 0 && context.calibration.calibrationStep == kBitCount) {
    if (wasCalibrating) NoteFramedCalibration(framer);
    framer.preambleZero = -1;
    if (wasCalibrating) {
      framer.coherent.HoldKnown(false);
      framer.lateTone.HoldKnown(false);
    }
  }
  return full;
}

// Routes an accepted byte whose symbol began at `onset` as RouteAfterLetters does, holding the
// first letters after a calibration found again until the harmonic balance has learned from
// FirstLetters::kMost of them; anything but more text releases them first. True when the text
// is full.
bool Route(ReceiveContext& context, RobustFramer& framer, uint8_t byte, const int32_t* spectrum,
           int64_t onset) {
  // The first letters after a calibration found again pass before anything but more text.
  const bool letter = byte != 0 && context.calibration.calibrating == 0 && framer.zeroOnset < 0 &&
                      framer.preambleZero < 0 && framer.preambleText.count == 0;
  const LetterRoute route = RouteFirstLetter(framer.firstLetters, letter, byte, onset,
                                             framer.balance, framer.tailFreeCalibration, context);
  if (route != LetterRoute::kNotHeld) return route == LetterRoute::kFull;
  return RouteAfterLetters(context, framer, byte, spectrum, onset);
}

// Held symbols that never began a run, once silence has followed them: each is traced, and
// those released pass. True when the text is full.
bool ExpireHeld(ReceiveContext& context, RobustFramer& framer, int64_t now) {
  SymbolGate& gate = framer.gate;
  const LoneVerdict verdict = gate.Expire(now, framer.toneEnd.Sharp());
  if (verdict == LoneVerdict::kWaiting) return false;
  framer.toneEnd.Stop();
  bool full = false;
  for (int32_t i = 0; i < gate.HeldCount() && !full; ++i) {
    const HeldSymbol& held = gate.Held(i);
    const bool released = verdict == LoneVerdict::kReleased && !held.echo;
    if (context.observer != nullptr) {
      ByteDecision decision;
      decision.byte = held.byte;
      SymbolTrace trace = TraceAt(context, held.onset, 0, 0, held.spectrum.data(), decision);
      trace.gate = released ? GateVerdict::kLoneReleased : GateVerdict::kLoneDropped;
      trace.gateReason =
          held.echo ? "an echo, much weaker than the loudest held" : LoneReason(verdict);
      context.observer->OnSymbol(trace);
    }
    if (released) full = Route(context, framer, held.byte, held.spectrum.data(), held.onset);
  }
  gate.ClearHeld();
  return full;
}

// Frames, analyses, decides and routes the pending symbol: the loudest candidate periods averaged
// in phase, or when they make no byte, of the most periodic candidate periods the one decided
// most clearly, weighed by its loudness (early in a slowly rising tone the last tone's tail, only
// partly subtracted, can decide a bit as clearly as the tone itself). True when the text is full.
bool DecodePending(ReceiveContext& context, RobustFramer& framer) {
  const int64_t onset = framer.pendingOnset;
  framer.pendingOnset = -1;
  // A calibration is under way, or a 0 waits for its first step.
  const bool stepAwaited = context.calibration.calibrating != 0 || framer.zeroOnset >= 0;
  const CandidatePeriods candidates =
      ChoosePeriods(framer.history, framer.roots, onset, stepAwaited);
  const ChosenPeriod& first = candidates.periods[0];
  if (first.peak == 0) {
    Report(context, framer, onset, first, ByteDecision{false, 0, 0, -1, Rejection::kSilent},
           framer.levels.Shares());
    return false;
  }
  const double leastShare = framer.pendingOnClock ? kLeastGridShareOnClock : kLeastGridShare;
  double loudest = 0.0;
  bool steady = true;   // every candidate period on the grid: a lone tone may pass
  bool onGrid = false;  // some candidate period on the grid: a symbol
  for (int32_t c = 0; c < candidates.count; ++c) {
    const ChosenPeriod& period = candidates.periods[static_cast<std::size_t>(c)];
    loudest = std::max(loudest, period.energy);
    steady = steady && period.peak != 0 && period.gridShare >= kLoneGridShare;
    onGrid = onGrid || (period.peak != 0 && period.gridShare >= leastShare);
  }
  if (!onGrid) {
    framer.gate.NoteSound(onset, first.energy);
    Report(context, framer, onset, first, ByteDecision{false, 0, 0, -1, Rejection::kNotPeriodic},
           framer.levels.Shares());
    return false;
  }
  // Analyses one period, balances its spectrum and decides its byte by `levels`' thresholds.
  // The period whose spectrum the analyser last left in the context is not analysed again.
  const ChosenPeriod* inSpectrum = nullptr;
  auto decideBy = [&](const ChosenPeriod& period, const BitLevels& levels,
                      const CalibrationState& calibration, bool tailsIn = true,
                      bool ownTailIn = false) {
    AnalyseRepeatedPeriod(period.samples.data(), period.peak, context.analyser, context.spectrum);
    inSpectrum = &period;
    framer.balance.Apply(context.spectrum, framer.balanced.data());
    return levels.Decide(framer.balanced.data(), calibration, tailsIn, ownTailIn);
  };
  // Late in the tone, with the earlier symbols' tails predicted in phase and taken out: it
  // decides the bits whose harmonic's tail has been learned (coherent_tail.h). Where those
  // periods are too quiet (a short tone has ended), the periods where the loudest candidate lies.
  PeriodSamples clean{};
  PeriodSamples shortClean{};
  const bool lateCleaned = framer.coherent.Clean(framer.history, onset, clean) &&
                           framer.coherent.Energy() >= kCoherentLoudness * loudest;
  const int32_t loudOffset = candidates.loud.offset;
  const bool shortCleaned = candidates.loud.peak != 0 &&
                            framer.shortTone.Clean(framer.history, onset, shortClean, loudOffset) &&
                            framer.shortTone.Energy() >= kCoherentLoudness * loudest;
  const bool useShort = !lateCleaned && shortCleaned;
  // At the tone's end instead, where its own decisions leave the set bits further over the
  // unset ones than the default window's leave them there.
  PeriodSamples endClean{};
  // Measured at every symbol, as the default window is: it learns from every one.
  const bool endMeasured = framer.lateTone.Clean(framer.history, onset, endClean, kLateOffset);
  const bool endCleaned =
      lateCleaned && endMeasured && framer.lateTone.Energy() >= kCoherentLoudness * loudest;
  const double separation = framer.coherent.Separation();
  const bool useEnd = endCleaned && separation < kMostSeparationForEnd &&
                      framer.lateTone.Separation() > separation + kLeastEndSeparation;
  const CoherentTail& tail =
      useShort ? framer.shortTone : (useEnd ? framer.lateTone : framer.coherent);
  ChosenPeriod coherent = candidates.loud;
  coherent.samples = {};
  coherent.peak = 0;
  coherent.offset = useShort ? loudOffset : (useEnd ? kLateOffset : kCoherentOffset);
  coherent.loudCandidates = 0;
  ChosenPeriod other = coherent;
  other.offset = useEnd ? kCoherentOffset : kLateOffset;
  // Where the taps are held (a room so strong that the calibration had to be found again),
  // the tails lift the loudest candidates' levels that the thresholds follow, and the steps
  // were measured with them: harmonic 7, set in most text, stood a median 1.3 times over its
  // threshold without them, and one in seven of its set bits fell under it. The period
  // without them is judged there by thresholds learned from its own levels and by the steps
  // as it hears them.
  auto decideClean = [&](const PeriodSamples& samples, const CoherentTail& by,
                         ChosenPeriod& period) {
    ScalePeriod(samples, period);
    if (period.peak == 0) return ByteDecision{};
    framer.tailFreeLevels.SetStepTaught(by.StepTaughtBits());
    return by.HoldsKnown() ? decideBy(period, framer.tailFreeLevels, framer.tailFreeCalibration)
                           : decideBy(period, framer.levels, context.calibration, false);
  };
  ByteDecision inPhase;
  const bool cleanedTails = lateCleaned || shortCleaned;
  if (cleanedTails) {
    inPhase = decideClean(useShort ? shortClean : (useEnd ? endClean : clean), tail, coherent);
    if (coherent.peak != 0 && tail.HoldsKnown() && framer.firstLetters.open)
      NoteFirstLetter(framer.firstLetters, onset, context.spectrum, framer.tailFreeLevels);
  }
  if (endCleaned) {
    CoherentTail& otherTail = useEnd ? framer.coherent : framer.lateTone;
    const ByteDecision otherPhase = decideClean(useEnd ? clean : endClean, otherTail, other);
    if (otherPhase.accepted) otherTail.NoteLevels(otherPhase.byte);
    if (inPhase.accepted) (useEnd ? framer.lateTone : framer.coherent).NoteLevels(inPhase.byte);
    // The period without tails is judged from here on as its own window's taps stand.
    framer.tailFreeLevels.SetStepTaught(tail.StepTaughtBits());
    // Where the taps are held (a room so strong that the calibration had to be found again)
    // and the default window decides, the tone's end measures the same tone again with noise
    // of its own. Harmonic 7, set in most text, stands there barely over its threshold and
    // falls under it now and then: where the default window reads bit 5 unset and the end
    // reads it set, it is read as both levels together say. Of the bits the two windows
    // disputed (the strong room, the image-source shoebox rooms, clean to 15 dB), that is the
    // one dispute the end settled better in both kinds of room: where the two levels set a bit
    // 5 the default window read unset, they were right 32 times of 32 in the strong room and 47
    // of 90 in the shoebox rooms. Weighing every disputed bit so misread the shoebox rooms'
    // bits 4 and 6 (their end reads harmonic 6 over its threshold where unset and harmonic 8
    // under it where set): 55 points summed there, against none now.
    if (!useEnd && tail.HoldsKnown() && inPhase.accepted && otherPhase.accepted) {
      const BitLevels& otherLevels = otherTail.HoldsKnown() ? framer.tailFreeLevels : framer.levels;
      inPhase.byte = JointByte(inPhase, framer.tailFreeLevels.Shares(inPhase.byte), otherPhase,
                               otherLevels.Shares(otherPhase.byte),
                               tail.CleanedBits() & otherTail.CleanedBits() & kJointBits);
    }
  }
  // The loudest candidates averaged in phase decide when they make a byte: near the end of the
  // tone, where earlier tones' tails are weakest against it, and over several periods. A set bit
  // 6 after a louder held one is judged against the lowered bar (bit_levels.cpp) only where no
  // period of the symbol had its tails taken out: short tones after long gaps, whose tails the
  // predictor does not reach (SoX's reverb 100, the sender's clock 0.5 % slow: 1.33 % of the
  // text lost clean, 0.80 so). Where one had (long tones after short gaps), the lowered bar read
  // tails there as set bits (a mild room with a jittering sender, close shoebox rooms: a
  // character here and there) and the tail-cleaned bits are decided in phase anyway.
  // Bit 4's harmonic kept its tail where others had theirs taken out.
  const bool ownTailIn =
      cleanedTails && ((tail.CleanedBits() >> BitLevels::kNeighbourBit) & 1u) == 0;
  auto decide = [&](const ChosenPeriod& period) {
    return decideBy(period, framer.levels, context.calibration, !cleanedTails, ownTailIn);
  };
  const ChosenPeriod* analysed = &candidates.loud;
  ByteDecision decision;
  if (analysed->peak != 0 && analysed->gridShare >= leastShare) decision = decide(*analysed);
  // Otherwise, of the most periodic candidate periods, the one decided most clearly, weighed by
  // its loudness.
  if (!decision.accepted) {
    double bestScore = 0.0;
    for (int32_t c = 0; c < candidates.count; ++c) {
      const ChosenPeriod& period = candidates.periods[static_cast<std::size_t>(c)];
      if (period.peak == 0 || period.gridShare < leastShare) continue;
      const ByteDecision tried = decide(period);
      const double score = tried.margin * period.energy / loudest;
      if (analysed == &candidates.loud ||
          (tried.accepted && (!decision.accepted || score > bestScore))) {
        bestScore = score;
        decision = tried;
        analysed = &period;
      }
    }
  }
  // The bits whose tails were taken out in phase are decided without them.
  TailNote tailNote{tail.Gains(), inPhase.accepted};
  const TailNote* tails = cleanedTails ? &tailNote : nullptr;
  // Bits the two periods decided differently teach the tails nothing: the in-phase decision may
  // have read a set bit off with a badly predicted tail.
  uint32_t doubtful = 0;
  // Bits read unset that stood near their threshold in the period without tails: set bits
  // misread, perhaps, which teach a held harmonic's further taps nothing (a word's first letter
  // so misread was learned as the tail of the letter two back and taught that tail to grow).
  uint32_t unclear = 0;
  if (inPhase.accepted) {
    const auto learned = static_cast<uint8_t>(tail.CleanedBits());
    const BitLevels& inPhaseLevels = tail.HoldsKnown() ? framer.tailFreeLevels : framer.levels;
    unclear = inPhaseLevels.UnclearBits(inPhase) & learned;
    if (decision.accepted) {
      doubtful = (decision.byte ^ inPhase.byte) & learned;
      // Taps that only a calibration's symbols taught cover few earlier symbols: they clear a
      // tail-lifted bit, but a set bit they take too much out of is still read set where the
      // loudest candidates read it so. Not while they are held to what known symbols taught (a
      // room whose calibration had to be found again): there the loudest candidates' set high
      // bits were more often lifted than sent.
      const auto unjudged =
          static_cast<uint8_t>(tail.HoldsKnown() ? 0u : tail.UnjudgedBits() & kFewTapBits);
      const auto kept = static_cast<uint8_t>(decision.byte & unjudged);
      decision.byte =
          static_cast<uint8_t>((decision.byte & ~learned) | (inPhase.byte & learned) | kept);
    } else {
      decision = inPhase;
      analysed = &coherent;
    }
  }
  const ChosenPeriod& chosen = *analysed;
  // A first letter after a calibration found again, decided without tails, is decided again
  // once the balance has learned the room.
  if (!inPhase.accepted || decision.byte != inPhase.byte) framer.firstLetters.noted = -1;
  // A calibration's symbols teach the tails from the bytes sent. Not while the taps are held to
  // what the found calibration taught: there a 0 is far more often a text symbol misread (a
  // strong room, 10-minute prose: 52 of them) than a calibration, and taught as one, every
  // harmonic known off, it fits the symbol's own components into the held taps for good (the
  // loss grew from 6 to 50 % along the message). A calibration sent again is found by its
  // pattern, and teaches from there.
  const int32_t known =
      KnownByte(framer.known, decision.accepted, decision.byte, context.calibration);
  for (CoherentTail* learner : {&framer.coherent, &framer.lateTone}) {
    if (known >= 0 && !learner->HoldsKnown()) {
      learner->Learn(true, static_cast<uint8_t>(known), true);
    } else {
      learner->Learn(decision.accepted, decision.byte, false, useShort ? 0 : doubtful,
                     useShort ? 0 : unclear & ~decision.byte);
    }
  }
  framer.shortTone.Learn(decision.accepted, decision.byte, false, useShort ? doubtful : 0);
  // The spectrum must hold the chosen symbol when its byte is routed: as heard, since a
  // calibration measures the harmonics as they arrive; the trace shows the balanced one.
  if (inSpectrum != &chosen)
    AnalyseRepeatedPeriod(chosen.samples.data(), chosen.peak, context.analyser, context.spectrum);
  framer.balance.Apply(context.spectrum, framer.balanced.data());
  if (!decision.accepted) {
    framer.gate.NoteSound(onset, chosen.energy);
    Report(context, framer, onset, chosen, decision, framer.levels.Shares(), nullptr,
           GateVerdict::kNone, tails);
    return false;
  }
  // The thresholds the decision was judged by, before it is learned from.
  if (decision.byte == 0 && framer.preambleZero < 0) framer.preambleZero = onset;
  const ThresholdShares shares = framer.levels.Shares(decision.byte);
  framer.levels.Learn(decision, known);
  if (inPhase.accepted) {
    ByteDecision tailFree = inPhase;
    tailFree.byte = decision.byte;
    framer.tailFreeLevels.Learn(tailFree);
  } else {
    framer.tailFreeLevels.Follow(decision.byte);
  }
  // The first symbols of a message wait for a run of them at a steady spacing. A weak tone is set
  // aside only outside a calibration: a step is weak by nature, and one of its echoes taken for
  // it gave a close room's calibration a wrong level (harmonic 6 misread all message long).
  SymbolGate& gate = framer.gate;
  const GateVerdict verdict = gate.Offer(onset, decision.byte, context.spectrum, steady,
                                         chosen.energy, framer.pendingAtJump && !stepAwaited);
  Report(context, framer, onset, chosen, decision, shares, &gate, verdict, tails);
  framer.balance.Learn(decision);
  if (verdict == GateVerdict::kHeld) {
    // A louder held symbol than the one followed (not its echo) is followed instead.
    if (!framer.toneEnd.Following() || chosen.energy >= kLoneEcho * framer.toneEnd.Level())
      framer.toneEnd.Start(framer.history, onset, chosen.energy);
    return false;
  }
  if (verdict == GateVerdict::kEcho) return false;
  framer.toneEnd.Stop();
  bool full = false;
  if (const HeldSymbol* aside = gate.Aside(); aside != nullptr)
    full = Route(context, framer, aside->byte, aside->spectrum.data(), aside->onset);
  for (int32_t i = 0; i < gate.HeldCount() && verdict == GateVerdict::kReleased && !full; ++i) {
    const HeldSymbol& held = gate.Held(i);
    full = Route(context, framer, held.byte, held.spectrum.data(), held.onset);
  }
  gate.ClearHeld();
  return full || Route(context, framer, decision.byte, context.spectrum, onset);
}

}  // namespace

bool RunRobustTick(ReceiveContext& context, RobustFramer& framer) {
  WaveCapture& capture = context.capture;
  const uint32_t snapshot = capture.LoadBlocksFilled();
  if (snapshot <= capture.blocksConsumed) return false;
  context.text.Clear();

  const uint32_t blockSamples = capture.samplesPerBlock;
  bool full = false;
  for (uint32_t block = capture.blocksConsumed; block != snapshot && !full; ++block) {
    const uint8_t* samples =
        context.recordBuffer + static_cast<std::size_t>(block & kRingMask) * blockSamples;
    for (uint32_t q = 0; q < blockSamples && !full; ++q) {
      framer.history.Push(static_cast<int16_t>(samples[q] - kSilence));
      const int64_t count = framer.history.Count();
      if (framer.lateRemeasure >= 0 && count >= framer.lateRemeasure + kAnalysisDelay)
        full = RemeasureLate(framer, context);
      if (!full && framer.pendingOnset >= 0 && count >= framer.pendingOnset + kAnalysisDelay) {
        full = DecodePending(context, framer);
        if (!full) full = ReframePreamble(context, framer);
      }
      const PreambleText& held = framer.preambleText;
      if (!full && held.count > 0 && (framer.preambleZero < 0 || count >= held.until))
        full = ReleasePreambleText(framer.preambleText, context);
      FirstLetters& first = framer.firstLetters;
      if (!full && first.count > 0 && count >= first.until)
        full = ReleaseFirstLetters(first, framer.balance, framer.tailFreeCalibration, context);
      if (count % kHop != 0) continue;
      framer.toneEnd.Step(framer.history);
      if (!framer.gate.InMessage() && framer.gate.HeldCount() == 0) {
        framer.rhythm.Forget();
        framer.framedSpacing = 0;
      }
      // The message has ended: its first letters are not held into the next one.
      if (!full && first.open && !framer.gate.InMessage())
        full = ReleaseFirstLetters(first, framer.balance, framer.tailFreeCalibration, context);
      if (framer.framedSpacing > 0 && framer.detector.TakesJumps()) {
        framer.rhythm.Keep(framer.framedSpacing);
        framer.detector.SetClock(framer.framedSpacing);
        framer.framedSpacing = 0;
      }
      // Every onset up to kAnalysisDelay ago has been decoded: held symbols may be judged.
      if (framer.pendingOnset < 0 && framer.gate.HeldCount() > 0) {
        full = ExpireHeld(context, framer, count - kAnalysisDelay);
      }
      // The envelope is measured at every hop; the spacing keeps a new onset from coming while
      // a symbol is pending.
      int64_t onset = 0;
      // A rhythm whose spacings spread widely sets the clock by its mean spacing and opens its
      // windows, also before a message has begun: onsets kept to the clock there fall off the
      // tones, and such a sender's message begins with its calibration, not with a steady run.
      const bool spread = framer.rhythm.Spread();
      const int32_t half = spread ? 0 : framer.rhythm.HalfSpacing();
      const int32_t spacing = spread ? framer.rhythm.SpreadSpacing()
                              : half > 0 && framer.halfLag.Allows(half) ? half
                                                                        : framer.rhythm.Spacing();
      const bool found =
          framer.detector.Step(framer.history, framer.lastOnset, spacing, spread, onset);
      framer.rhythm.NoteStrength(framer.detector.Strength());
      if (found && framer.detector.OnClock()) {
        framer.halfLag.NoteWindow(framer.detector.WindowSpacing(), framer.detector.JumpLikeness(),
                                  half);
      }
      if (found) {
        assert(framer.pendingOnset < 0);
        framer.lastOnset = onset;
        framer.pendingOnset = onset;
        framer.pendingOnClock = framer.detector.OnClock();
        framer.pendingNote = framer.detector.Note();
        framer.pendingAtJump = framer.detector.AtJump();
      }
    }
  }
  // The text is full: the rest of the snapshot is dropped, as the exact tick drops it.
  capture.blocksConsumed = snapshot;
  capture.RequeueBlocks();
  FinishTickText(context.text, context.calibration, context.files, context.box);
  return true;
}

}  // namespace brindlemoor::robust
