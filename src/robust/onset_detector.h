// Finds where a symbol's tone begins, from two envelopes measured every 15 samples over the last
// period: the sound's energy, and the energy of its change from one period to the next. A room's
// tail of earlier tones repeats every 45 samples as they did, so it changes slowly; a new tone
// does not. An onset is a jump of the change over its recent level, over its floor and over what
// the last tones' tail may do, on a rising or steady energy. Once the sender's rhythm is known,
// the next onset is looked for only around one spacing after the last, and the strongest jump
// there is taken. Each hop is judged a few hops late, once it is known whether its energy kept
// up (a tone's end in a bare room changes the sound as much as a start).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "robust/gap_spread.h"
#include "robust/robust_constants.h"
#include "robust/sample_history.h"

namespace brindlemoor::robust {

class OnsetDetector {
 public:
  void Reset();
  // Called when the history has just reached a multiple of kHop samples, with the last onset
  // (-1: none), the sender's spacing (0: not known) and whether its gaps spread widely. True when
  // an onset has been found; `onset` is then the first position of its window, which may lie
  // some hops back.
  bool Step(const SampleHistory& history, int64_t lastOnset, int32_t spacing, bool spread,
            int64_t& onset);
  // How strongly the hop just measured looks like an onset (0 when not at all), for the rhythm.
  double Strength() const { return strength; }
  // Whether the last onset found was where the symbol clock expected one.
  bool OnClock() const { return onClock; }
  // Whether the last onset found was where a steady clock's window held a jump: a tone began
  // there, not only where the clock expected one (a message's end leaves the room's tail there).
  // Not for a jittering sender: its wide window's strongest jump may be an echo's.
  bool AtJump() const { return atJump; }
  // Why the last onset lies where the clock did not put it, for --trace; nullptr when it did.
  const char* Note() const { return note; }
  // Whether the jumps fall from the clock as a jittering sender's may (kJitterShown); not when the
  // clock knows the sender steady. The clock is then set steady where a framed calibration showed
  // a steady sender, before it takes each onset at its window's strongest jump.
  bool TakesJumps() const;
  // For the window that closed with the last onset: the clock's spacing there, and the quieter
  // of its strongest jump's energy and the last window's over the louder (-1 when either window
  // held none).
  double WindowSpacing() const { return windowSpacing; }
  double JumpLikeness() const { return jumpLikeness; }
  // Sets the symbol clock's spacing (a calibration's tones were found at it).
  void SetClock(int32_t spacing);

 private:
  // What one hop measured, kept until it is judged.
  struct Measured {
    double e = 0.0;  // energy
    double d = 0.0;  // change
    double recent = 0.0;
    double recentEnergy = 0.0;
    double changeFloor = 0.0;
    double energyFloor = 0.0;
    bool falling = false;
    double strength = 0.0;
    int64_t start = 0;  // the first position of its window
  };
  static constexpr int32_t kJudgedHops = 4;  // more than the hops a judgement waits
  // The symbol clock starts again at `spacing`; `steadySender` when a calibration's tones, found
  // one spacing apart, set it.
  void StartClock(double spacing, bool steadySender);
  // Whether the rhythm's `spacing` is a multiple of the clock's (1.25 times it or more), or a
  // tone's end's swell at 0.6 to 0.75 of it, while the clock is locked on its jumps: the clock is
  // not started again there.
  bool LockHolds(int32_t spacing) const;
  bool Judge(const Measured& m, int64_t lastOnset, int32_t spacing, bool spread, int64_t& onset);
  double Change(int32_t hopsBack) const { return change[Slot(hopsBack)]; }
  double Energy(int32_t hopsBack) const { return energy[Slot(hopsBack)]; }
  std::size_t Slot(int32_t hopsBack) const {
    return static_cast<std::size_t>((hops - 1 - hopsBack) & (kEnvelopeHops - 1));
  }

  std::array<double, kEnvelopeHops> energy{};
  std::array<double, kEnvelopeHops> change{};
  int64_t hops = 0;
  double changeFloor = 0.0;
  double energyFloor = 0.0;  // the quietest energy lately: the noise's
  double energyEcho = 0.0;   // the largest energy lately, falling as a room's tail does
  double echoFloor = 0.0;    // what a room's tail of the last tones may change by
  double strength = 0.0;
  // The strongest onset so far in the window where the rhythm expects the next one.
  double bestStrength = 0.0;
  int64_t bestStart = -1;
  int32_t missedWindows = 0;    // windows in a row that held no jump
  int32_t jumpedWindows = 0;    // windows in a row that held one, about as loud as the last
  int32_t unlikeWindows = 0;    // windows in a row that held none, or one unlike the last
  bool locked = false;          // the clock found kLockedWindows alike jumps in a row, and kept on
  double bestEnergy = 0.0;      // the energy at the window's strongest jump
  double lastJumpEnergy = 0.0;  // the same in the last window, 0 when it held none
  double clockSpacing = 0.0;    // the symbol clock's spacing, 0 while no rhythm is known
  double windowSpacing = 0.0;   // the clock's spacing in the last window closed
  double jumpLikeness = -1.0;   // that window's jump against the one before (JumpLikeness())
  double jitter = 0.0;          // how far the jumps fall from the clock, the median (samples)
  GapSpread gapSpread;          // the same, over the last few onsets only
  bool steady = false;          // the clock was set from tones known to be one spacing apart
  bool onClock = false;
  bool atJump = false;
  const char* note = nullptr;
  std::array<Measured, kJudgedHops> measured{};
};

}  // namespace brindlemoor::robust
