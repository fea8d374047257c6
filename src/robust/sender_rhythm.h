// The sender's rhythm, measured from the sound: the autocorrelation of the onset strength over
// the last seconds, whose strongest lag (the shortest of near-equal ones) is the spacing of the
// sender's symbols, borne out at twice it. Follows any tone length and gap and a sender's clock
// offset; fixed size.
#pragma once

#include <array>
#include <cstdint>

#include "robust/robust_constants.h"

namespace brindlemoor::robust {

class SenderRhythm {
 public:
  void Reset();
  // The onset strength of the hop just measured (0 where nothing begins).
  void NoteStrength(double strength);
  // The spacing of the sender's symbols in samples, 0 while no rhythm stands out.
  int32_t Spacing() const { return spacing; }
  // Whether the spacings spread widely: a sender whose gaps jitter. Its spacing is then the
  // centre of mass of the rhythm's broad lobe, SpreadSpacing(), not the lobe's first top. Never
  // while a spacing is kept: the calibration's tones lay on one line at it, so the sender is a
  // steady one, and what spreads the onsets is a strong room's echoes.
  bool Spread() const { return spread && kept == 0; }
  int32_t SpreadSpacing() const { return spreadSpacing; }
  // The lag at half the spacing's, in samples, where its correlation stands at kHalfLagShare of
  // the spacing's or more; 0 otherwise, and while a spacing is kept. In close rooms the onset
  // strength of every other tone fades and the correlation peaks at twice the sender's spacing;
  // a short tone's echoes swelling halfway to the next make the same half lag. HalfLag tells
  // the two apart.
  int32_t HalfSpacing() const { return halfSpacing; }
  // A spacing known otherwise (the calibration's tones were found at it): it is the spacing until
  // Forget(), whatever the estimate finds. An estimate a little off it (in a bare room at 10 dB,
  // 636 for 665) set the clock again as an unknown sender's, which took each onset at its
  // window's strongest jump from then on.
  void Keep(int32_t known) {
    kept = known;
    spacing = known;
    halfSpacing = 0;
  }
  void Forget() { kept = 0; }
  bool Kept() const { return kept > 0; }

 private:
  static constexpr int32_t kShortestLag = kShortestSpacing / kHop;
  static constexpr int32_t kLongestLag = kLongestSpacing / kHop;
  static constexpr int32_t kKept = kLongestLag + 1;  // a power of two is not needed
  void Estimate();
  void EstimateFromCorrelation();
  // Whether the correlation at twice the lag `peak` (hops) bears it out.
  bool Recurs(int32_t peak) const;
  // The lag between kShortestLag and kLongestLag, between the lags, by the parabola through the
  // top `peak` and its neighbours, in samples.
  int32_t TopSpacing(int32_t peak) const;
  // Sets halfSpacing from the lags around half the strongest one, `strongest`.
  void FindHalfLag(int32_t strongest, double best);

  std::array<double, 2 * kKept> strengths{};  // the last hops' strengths, a ring kept twice
  std::array<double, kKept> correlation{};
  int64_t hops = 0;
  int32_t spacing = 0;
  bool spread = false;
  int32_t spreadSpacing = 0;
  int32_t halfSpacing = 0;
  int32_t kept = 0;
};

}  // namespace brindlemoor::robust
