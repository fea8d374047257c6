// Lets a long loop of a program notice that the user asked it to stop: Ctrl-C (SIGINT), SIGTERM
// and SIGHUP on POSIX, Ctrl-C and Ctrl-Break on Windows, set a flag the loop polls.
#pragma once

namespace brindlemoor::tools {

// From now on the requests above set the flag instead of ending the program.
void CatchInterrupts();
// True once a request has arrived.
bool Interrupted();

}  // namespace brindlemoor::tools
