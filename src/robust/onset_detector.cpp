#include "robust/onset_detector.h"

#include <algorithm>
#include <cmath>

namespace brindlemoor::robust {
namespace {

// The change must jump this many times over its least value of the hops 3 to 8 before (45 to
// 120 samples back, before the window it is measured in)...
constexpr double kChangeRise = 4.0;
constexpr int32_t kRecentFirst = 3;
constexpr int32_t kRecentLast = 8;
// ...and stand this many times over the floor of the change: what noise alone makes (twice its
// energy), or the slow change of a room's tail.
constexpr double kOverFloor = 4.0;
// A tone ending also changes the sound; it is told apart by its falling energy.
constexpr double kFallingEnergy = 0.8;
// The floor follows the quietest change at once and rises by this factor per hop (about 3 times
// a second), so it climbs out of a pause into steady noise.
constexpr double kFloorRise = 1.0015;
// A room's tail changes too, less than the tone that made it and less as it dies away: the
// change must also pass this share of the largest rising change so far, which falls by a decade
// every kEchoDecade samples.
constexpr double kEchoShare = 0.3;
constexpr double kEchoDecade = 600.0;
// One step of an 8-bit converter in every sample of a period: the floor of digital silence.
constexpr double kLeastFloor = kPeriod;
// With a known spacing T the next onset is looked for from 0.8 T to 1.2 T after the last; without
// one (or when that window held none), from kShortestSpacing or 0.8 T on.
constexpr double kWindowEarly = 0.8;
constexpr double kWindowLate = 1.2;

// In the window: the jump over the recent change and the floor that counts, and how many windows
// in a row without one keep the clock going.
constexpr double kWindowRise = 1.5;
constexpr double kWindowOverFloor = 2.0;
constexpr int32_t kMostMissedWindows = 1;
// How far the symbol clock moves towards each observed onset, and its spacing with it; a clock
// more than kClockSlip away from the measured rhythm starts again from it.
constexpr double kClockPull = 0.3;
constexpr double kSpacingPull = 0.05;
constexpr double kClockSlip = 0.05;
// Nor when the rhythm's spacing is kLeastMultiple to kLongestMultiple times the clock's while
// the clock is locked: it found alike jumps, near where it expected them, in kLockedWindows
// windows in a row, and has not since missed them in as many in a row. In close rooms
// (image-source shoebox, RT60 0.25 to 0.45 s at 0.7 to 1.2 m) the onset strength of every other
// tone fades, the rhythm's correlation came to peak at twice the spacing mid-message (or at 1.46
// or 3.5 times it), and the clock, started again there, framed every other symbol for the rest
// of it. The lock held only while the last kLockedWindows jumps were alike, and one jump unlike
// the one before let the rhythm's multiple start the clock again: a third of the text lost (of
// 108 such recordings, 15 cut short that keep their length now).
constexpr double kLeastMultiple = 1.25;
constexpr double kLongestMultiple = 4.5;
// Nor when it is kLeastShare to kMostShare of the clock's: at 1.2 m from the sender the energy
// dips as a tone ends and swells again as its reflections arrive, a jump (strength 1.5 to 2.5,
// the tones' own 1 to 2) about 0.6 to 0.75 spacings after each tone's start. The rhythm's
// correlation came to peak there (451 samples for 668) and the clock, started again at it, lost
// the tones: of 36 recordings in a 0.35 s room at 1.2 m, 8 came out cut short by up to a third
// (6 keep their length now).
// The lock holds whatever the jumps' distances from the clock: those echoes scatter a steady
// sender's jumps by 60 to 100 samples there, past kJitterTaken, and the clock was started again.
constexpr double kLeastShare = 0.6;
constexpr double kMostShare = 0.75;
constexpr int32_t kLockedWindows = 4;
constexpr double kAlikeJumps = 0.2;
// A clock set from a calibration's tones, found one spacing apart, knows the sender steady: it is
// pulled a third as hard, and the jumps that a bare room's echoes scatter around the tones' starts
// do not make it a jittering sender's clock.
constexpr double kSteadyPull = 0.1;
constexpr double kSteadySpacingPull = kSpacingPull / 3.0;
// A sender whose gaps jitter puts half its tones this far (samples) or further from where the
// clock expects them; at a steady sender echoes and noise move some jumps further, but not half
// of them. The median distance is followed by steps of kJitterStep samples.
constexpr double kJitterShown = 40.0;
constexpr double kJitterStep = 2.0;
// The onset is taken at the window's strongest jump, not pulled towards it, only where the jumps
// fall this far from the clock: close rooms' echoes scatter a steady sender's jumps as far as
// kJitterShown (image-source shoebox rooms, RT60 0.25 to 0.4 s at 0.7 to 1.2 m: medians of 38 to
// 46 samples), and a clock taking them followed the echoes' swell between the tones and framed
// only one tone in two from then on (of 108 such recordings 11 came out cut short, by up to a
// half). A sender whose gaps jitter by +-200 samples puts its jumps 50 to 100 samples off.
constexpr double kJitterTaken = 60.0;
// Such a sender's gaps spread about twice their median distance either way: the window where the
// next onset is looked for reaches this many median distances from the clock.
constexpr double kJitterReach = 2.5;
// The echo floor's fall per hop: 10^(-kHop / kEchoDecade).
constexpr double kEchoFall = 0.94406087628592;
static_assert(kHop == 15 && kEchoDecade == 600.0, "kEchoFall follows from them");
// A tone that rises slowly (over several periods) changes each period little, less than noise
// at 15 dB changes it; its energy still leaps out of the gap. The energy must rise this many
// times over its least value of the hops 3 to 8 before and over the quietest energy heard
// lately, which follows the noise as the change's floor does; and, since a room's tail swells
// and fades as its reflections arrive, over the echo floor's share of the largest energy lately.
constexpr double kEnergyRise = 4.0;
constexpr double kEnergyOverFloor = 4.0;
// A hop is judged this many hops after it is measured, and its jump counts only if the energy
// has not fallen by then: in a bare room a tone's end changes the sound as much as a tone's
// start, and its echoes keep the energy from falling within the hop itself; taken for an onset,
// it hides the next tone's start, which follows within the shortest spacing.
constexpr int32_t kConfirmHops = 3;
// A window is closed at most a period and these hops (and the one it closes in) after its late
// edge: within the kAnalysisDelay that the history's size allows after kLatestWindow.
static_assert(kPeriod + (kConfirmHops + 1) * kHop <= kAnalysisDelay);

}  // namespace

void OnsetDetector::Reset() { *this = OnsetDetector(); }

void OnsetDetector::StartClock(double spacing, bool steadySender) {
  clockSpacing = spacing;
  jumpedWindows = 0;
  unlikeWindows = 0;
  locked = false;
  gapSpread.Start(clockSpacing);
  steady = steadySender;
}

void OnsetDetector::SetClock(int32_t spacing) {
  StartClock(spacing, true);
  bestStrength = 0.0;
  bestStart = -1;
  missedWindows = 0;
}

bool OnsetDetector::LockHolds(int32_t spacing) const {
  if (clockSpacing <= 0.0 || !locked) return false;
  const double multiple = spacing / clockSpacing;
  return (multiple >= kLeastMultiple && multiple <= kLongestMultiple) ||
         (multiple >= kLeastShare && multiple <= kMostShare);
}

bool OnsetDetector::TakesJumps() const { return !steady && jitter > kJitterShown; }

bool OnsetDetector::Step(const SampleHistory& history, int64_t lastOnset, int32_t spacing,
                         bool spread, int64_t& onset) {
  const int64_t end = history.Count();
  double e = 0.0;
  double d = 0.0;
  // The last two periods, the earlier first.
  std::array<double, 2 * kPeriod> recentSamples;
  history.Read(end - 2 * kPeriod, 2 * kPeriod, recentSamples.data());
#pragma GCC unroll 5
  for (std::size_t i = kPeriod; i < recentSamples.size(); ++i) {
    const double x = recentSamples[i];
    const double difference = x - recentSamples[i - kPeriod];
    e += x * x;
    d += difference * difference;
  }
  energy[static_cast<std::size_t>(hops & (kEnvelopeHops - 1))] = e;
  change[static_cast<std::size_t>(hops & (kEnvelopeHops - 1))] = d;
  ++hops;
  changeFloor = hops == 1 ? std::max(d, kLeastFloor)
                          : std::max(kLeastFloor, std::min(d, changeFloor * kFloorRise));
  energyFloor = hops == 1 ? std::max(e, kLeastFloor)
                          : std::max(kLeastFloor, std::min(e, energyFloor * kFloorRise));
  strength = 0.0;
  if (hops <= kRecentLast) return false;

  double recent = Change(kRecentFirst);
  double recentEnergy = Energy(kRecentFirst);
  for (int32_t back = kRecentFirst + 1; back <= kRecentLast; ++back) {
    recent = std::min(recent, Change(back));
    recentEnergy = std::min(recentEnergy, Energy(back));
  }
  // A tone's end changes the sound most, but its energy falls; the echo floor follows the rises.
  const bool falling = e < kFallingEnergy * Energy(kRecentFirst);
  const double echoBefore = echoFloor;
  echoFloor = std::max(echoFloor * kEchoFall, falling ? 0.0 : kEchoShare * d);
  const double reference = std::max({kChangeRise * recent, kOverFloor * changeFloor, echoBefore});
  const double energyEchoBefore = energyEcho;
  energyEcho = std::max(energyEcho * kEchoFall, e);
  const double energyReference = std::max(
      {kEnergyRise * recentEnergy, kEnergyOverFloor * energyFloor, kEchoShare * energyEchoBefore});
  const double jumpRatio = std::max(d / reference, e / energyReference);
  // Each hop is judged kConfirmHops later, when it is known whether the energy kept up.
  Measured& now = measured[static_cast<std::size_t>(hops % kJudgedHops)];
  now = {e, d, recent, recentEnergy, changeFloor, energyFloor, falling, 0.0, end - kPeriod};
  if (!falling && jumpRatio > 1.0) now.strength = std::log(jumpRatio) + 1.0;
  if (hops <= kRecentLast + kConfirmHops) return false;
  Measured judged = measured[static_cast<std::size_t>((hops - kConfirmHops) % kJudgedHops)];
  if (e < kFallingEnergy * judged.e) {
    judged.falling = true;
    judged.strength = 0.0;
  }
  return Judge(judged, lastOnset, spacing, spread, onset);
}

bool OnsetDetector::Judge(const Measured& m, int64_t lastOnset, int32_t spacing, bool spread,
                          int64_t& onset) {
  const double e = m.e;
  const double d = m.d;
  const double recent = m.recent;
  const double recentEnergy = m.recentEnergy;
  const bool falling = m.falling;
  strength = m.strength;

  // The symbol clock's spacing starts at the rhythm's and then follows the onsets it sees; it is
  // reset to the rhythm's when the two part. A jittering sender's rhythm fades from the
  // correlation: when the last few onsets lay far from the clock, it keeps its spacing then.
  const bool holding = spacing == 0 && clockSpacing > 0.0 && gapSpread.Samples() > kJitterShown;
  if (spacing == 0) {
    if (!holding) clockSpacing = 0.0;
  } else if (std::fabs(clockSpacing - spacing) > kClockSlip * spacing && !LockHolds(spacing)) {
    StartClock(spacing, false);
  }
  // A jittering sender's next tone is looked for as far from the clock as its last ones fell.
  const bool jittering = !steady && (jitter > kJitterTaken || holding || spread);
  const double reach = kJitterReach * gapSpread.Samples();
  const double windowEarly =
      jittering ? std::min(kWindowEarly * clockSpacing,
                           std::max<double>(kShortestSpacing, clockSpacing - reach))
                : kWindowEarly * clockSpacing;
  // Its reach follows the distances of the jumps it takes, which a wide window lets grow: in a
  // strong room, or in speech, it ran away to dozens of spacings, its onsets older than the
  // history keeps.
  const double windowLate = std::min<double>(
      kLatestWindow, jittering ? std::max(kWindowLate * clockSpacing, clockSpacing + reach)
                               : kWindowLate * clockSpacing);
  const int64_t start = m.start;
  const int64_t since = lastOnset < 0 ? kLongestSpacing + 1 : start - lastOnset;
  // A window whose late edge moved before this hop (a jittering sender's mean spacing was just
  // re-estimated, or the rhythm, re-estimated, no longer says its gaps spread and the clock's
  // spacing was reset) still closes with the jump it holds.
  if (clockSpacing > 0.0 && lastOnset >= 0 && (since <= windowLate || bestStart >= 0) &&
      missedWindows < kMostMissedWindows) {
    if (since < windowEarly) return false;
    // Where the clock expects a tone, a smaller jump will do: echoes do not make the rhythm.
    const double windowReference = std::max(kWindowRise * recent, kWindowOverFloor * m.changeFloor);
    const double windowEnergy =
        std::max(kWindowRise * recentEnergy, kWindowOverFloor * m.energyFloor);
    const double jump = falling ? 0.0 : std::max(d / windowReference, e / windowEnergy);
    if (jump > bestStrength) {
      bestStrength = jump;
      bestStart = start;
      bestEnergy = e;
    }
    if (since + kHop <= windowLate) return false;
    // The window closes with this hop. The onset follows the clock, pulled towards the strongest
    // jump in the window, if there was one; a window without any keeps the clock going, but only
    // for a few symbols, so that a message's end leaves no made-up symbols in the room's tail.
    const double predicted = static_cast<double>(lastOnset) + clockSpacing;
    const bool jumped = bestStrength > 1.0;
    missedWindows = jumped ? 0 : missedWindows + 1;
    // A jump far quieter or louder than the last window's is no tone of the same sender: a clock
    // at half the room timing's spacing took its short tone and its echoes' swell in turn (at 0.5
    // the close rooms' own tones, alternately loud and faint, lost most of what the lock bought).
    const bool alike =
        jumped && lastJumpEnergy > 0.0 &&
        std::min(bestEnergy, lastJumpEnergy) >= kAlikeJumps * std::max(bestEnergy, lastJumpEnergy);
    windowSpacing = clockSpacing;
    jumpLikeness = jumped && lastJumpEnergy > 0.0
                       ? std::min(bestEnergy, lastJumpEnergy) / std::max(bestEnergy, lastJumpEnergy)
                       : -1.0;
    jumpedWindows = alike ? jumpedWindows + 1 : 0;
    unlikeWindows = alike ? 0 : unlikeWindows + 1;
    if (jumpedWindows >= kLockedWindows) locked = true;
    if (unlikeWindows >= kLockedWindows) locked = false;
    lastJumpEnergy = jumped ? bestEnergy : 0.0;
    if (!jumped && jittering) {
      // A jittering sender's clock predicts too little to put a symbol where no jump was.
      missedWindows = kMostMissedWindows;
      bestStrength = 0.0;
      bestStart = -1;
      return false;
    }
    const double error = jumped ? static_cast<double>(bestStart) - predicted : 0.0;
    if (jumped) {
      jitter += std::fabs(error) > jitter ? kJitterStep : -kJitterStep;
      gapSpread.Follow(error);
    }
    const double pull = jittering ? 1.0 : steady ? kSteadyPull : kClockPull;
    onset = static_cast<int64_t>(std::lrint(predicted + pull * error));
    clockSpacing += (steady ? kSteadySpacingPull : kSpacingPull) * error;
    onClock = true;
    atJump = jumped && !jittering;
    // Taken at the jump because the rhythm alone says the gaps spread (the jumps have not yet),
    // or closed late because the spacing shrank under it.
    note = since > windowLate
               ? "at its window's jump: the window closed late, its spacing re-estimated"
           : jumped && spread && jitter <= kJitterTaken && !holding
               ? "at the window's strongest jump: the sender's spacings spread widely"
               : nullptr;
    bestStrength = 0.0;
    bestStart = -1;
    return true;
  }
  if (strength > 0.0) missedWindows = 0;
  jumpedWindows = 0;
  unlikeWindows = 0;
  locked = false;
  bestStrength = 0.0;
  bestStart = -1;
  const double least = spacing > 0 ? kWindowEarly * spacing
                       : holding   ? windowEarly
                                   : kShortestSpacing;
  if (strength <= 0.0 || since < least) return false;
  if (lastOnset >= 0) gapSpread.NoteFreeSpacing(since);
  onset = start;
  onClock = false;
  atJump = false;
  note = nullptr;
  return true;
}

}  // namespace brindlemoor::robust
