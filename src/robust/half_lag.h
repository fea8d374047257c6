// Whether the sender's rhythm runs at its half lag (SenderRhythm::HalfSpacing()). In close rooms
// every other tone's onset fades and the rhythm peaks at twice the sender's spacing; the clock,
// run at the half lag there, finds the sender's tones, whose jumps are about equally loud. A short
// tone's echoes, swelling halfway to the next tone, make the same half lag, but the clock then
// finds the tone and the swell in turn, the swell a tenth as loud. The jumps' likeness is followed
// at the spacing the clock ran at; fixed size.
#pragma once

#include <cstdint>

namespace brindlemoor::robust {

class HalfLag {
 public:
  void Reset() { *this = HalfLag(); }
  // A window of the symbol clock closed, the clock at `clockSpacing`, its jump `likeness` (the
  // quieter over the louder of its and the last window's jump energy; negative when either held
  // none), the rhythm's half lag `half` (0: none). The likeness is followed at the clock's first
  // spacing, and from then on at a half lag alone: the jumps at a full spacing, each the same
  // tone's, tell nothing of what lies between them.
  void NoteWindow(double clockSpacing, double likeness, int32_t half);
  // Whether the clock may run at the half lag `half`: not where its jumps, followed at it,
  // alternate loud and faint.
  bool Allows(int32_t half) const;

 private:
  double spacing = 0.0;  // where the likeness is followed; 0: nowhere yet
  double alike = 0.5;    // the jumps' median likeness there, followed in steps
};

}  // namespace brindlemoor::robust
