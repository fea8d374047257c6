// For a program that blocked SIGINT and SIGTERM at start: takes one that has arrived since,
// without waiting, so a loop of its own can end cleanly between two steps.
#pragma once

namespace brindlemoor {

// The signal's number, or 0 when none is pending.
int TakePendingTerminationSignal();

}  // namespace brindlemoor
