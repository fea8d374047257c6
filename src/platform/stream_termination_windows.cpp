#include "platform/stream_termination.h"

namespace brindlemoor {

// Ctrl-C and Ctrl-Break reach the console handler of the program; streams are not armed.
void EndStreamOnTermination(int /*fd*/) {}
void StopEndingStreamOnTermination() {}
const char* StreamTerminationSignal() { return nullptr; }

}  // namespace brindlemoor
