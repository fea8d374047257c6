// Framing the calibration anew where the room spoiled its first framing: the nine tones found in
// the kept sound, its steps measured again where they lie, the symbol clock and the in-phase tail
// predictor set from them; and a calibration completed as framed noted as a steady sender's.
#pragma once

#include "receiver/receive_tick.h"
#include "robust/robust_framer.h"

namespace brindlemoor::robust {

// Once a 0 has been heard and no calibration followed it as framed, looks for the calibration
// sequence in the recent sound; found, its steps are measured again where they lie, the symbol
// clock takes their spacing and phase and the tail predictor learns from its tones. True when
// the text is full.
bool ReframePreamble(ReceiveContext& context, RobustFramer& framer);

// The last symbol framed before the calibration was found, now heard out on the found clock
// (`framer.lateRemeasure`): measured again for the tail predictor, decided and routed. True when
// the text is full.
bool RemeasureLate(RobustFramer& framer, ReceiveContext& context);

// A calibration has just completed as framed: where its tones lie on one line, their spacing is
// kept in `framer.framedSpacing` for the clock, should echoes later scatter its onsets.
void NoteFramedCalibration(RobustFramer& framer);

}  // namespace brindlemoor::robust
