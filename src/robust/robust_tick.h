// The receive tick of the robust framing: the same blocks, decision, calibration and output as
// the exact tick, with symbols framed by the robust framer.
#pragma once

#include "receiver/receive_tick.h"
#include "robust/robust_framer.h"

namespace brindlemoor::robust {

// One tick without its timer handling. False when there were no new blocks (nothing changed).
// Leaves `context.symbol` alone.
bool RunRobustTick(ReceiveContext& context, RobustFramer& framer);

}  // namespace brindlemoor::robust
