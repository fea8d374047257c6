// --list-devices of the receiver and the window: the sound devices PortAudio knows, one a line.
#pragma once

namespace brindlemoor {

// Prints the devices on stdout, "INDEX: NAME (HOST API) in N, out N, RATE Hz" and whether each is
// the default input or output; 0, or 2 after one line on stderr if PortAudio fails.
int ListSoundDevices(const char* program);

}  // namespace brindlemoor
