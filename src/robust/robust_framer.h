// The robust framing's state that lives from one receive tick to the next: the recent sound, the
// onset detector, the sender's rhythm, the harmonics' levels and gains, the gate's held symbols and
// their tone's end, the symbol waiting for the rest of its samples. Fixed size, so it allocates
// nothing while receiving.
#pragma once

#include <array>
#include <cstdint>

#include "receiver/calibration_state.h"
#include "receiver/framing.h"
#include "robust/bit_levels.h"
#include "robust/calibration_preamble.h"
#include "robust/calibration_start.h"
#include "robust/coherent_tail.h"
#include "robust/first_letters.h"
#include "robust/half_lag.h"
#include "robust/harmonic_balance.h"
#include "robust/known_symbol.h"
#include "robust/onset_detector.h"
#include "robust/period_roots.h"
#include "robust/preamble_text.h"
#include "robust/sample_history.h"
#include "robust/sender_rhythm.h"
#include "robust/symbol_gate.h"
#include "robust/tone_end.h"

namespace brindlemoor::robust {

struct RobustFramer {
  SampleHistory history;
  PeriodRoots roots;  // for the tails taken out of the chosen periods
  OnsetDetector detector;
  SenderRhythm rhythm;
  HalfLag halfLag;  // whether the clock runs at the rhythm's half lag
  BitLevels levels;
  // The same for the period without the earlier symbols' tails, and the calibration measured
  // there, which judge it where the taps are held (robust_tick.cpp); misread set bits, just
  // under their thresholds, do not raise its unset levels.
  BitLevels tailFreeLevels{UnsetLearning::kClear};
  CalibrationState tailFreeCalibration;
  HarmonicBalance balance;
  CoherentTail coherent;
  KnownSymbols known;                             // where a calibration's symbols are known
  CoherentTail shortTone{kShortToneWindow};       // measured where a short tone is loudest
  CoherentTail lateTone{kLateWindow};             // measured at the tone's end
  std::array<int32_t, kSpectrumBins> balanced{};  // the symbol's spectrum, balanced
  SymbolGate gate;
  ToneEnd toneEnd;                    // the level of the loudest held symbol's tone
  int64_t lastOnset = -1;             // the last onset believed, decoded or not
  int64_t pendingOnset = -1;          // an onset whose symbol waits for samples; -1 when none
  bool pendingOnClock = false;        // the pending onset is where the sender's rhythm put it
  bool pendingAtJump = false;         // ...and its window held a jump there: a tone began
  const char* pendingNote = nullptr;  // why the pending onset is not where the clock put it
  int64_t zeroOnset = -1;             // a 0 waiting to see whether a calibration follows; -1: none
  LooseStart looseStart;              // a calibration begun as framed on a loose first step
  PreambleSearch preamble;
  int64_t preambleZero = -1;  // a 0 whose calibration may yet be framed anew; -1: none
  PreambleText preambleText;  // text decoded since, held until it is framed or cannot be
  // The found clock's place for the last symbol framed before the calibration was found, when
  // it had not yet been heard out: measured again once it is; -1: none.
  int64_t lateRemeasure = -1;
  FirstLetters firstLetters;  // the text's first letters after a calibration found again
  // The spacing of a calibration completed as framed whose tones lay on one line, until the
  // message ends: should the onsets' jumps later scatter as a jittering sender's, the clock is
  // set steady on it. 0: none.
  int32_t framedSpacing = 0;

  void Reset() {
    history.Reset();
    detector.Reset();
    rhythm.Reset();
    halfLag.Reset();
    levels.Reset();
    tailFreeLevels.Reset();
    tailFreeCalibration = CalibrationState();
    balance.Reset();
    coherent.Reset();
    known = KnownSymbols();
    shortTone.Reset();
    lateTone.Reset();
    gate.Reset();
    toneEnd = ToneEnd();
    lastOnset = -1;
    pendingOnset = -1;
    pendingOnClock = false;
    pendingAtJump = false;
    pendingNote = nullptr;
    zeroOnset = -1;
    looseStart = LooseStart();
    preamble.Reset();
    preambleZero = -1;
    preambleText = PreambleText();
    lateRemeasure = -1;
    firstLetters = FirstLetters();
    framedSpacing = 0;
  }
};

}  // namespace brindlemoor::robust
