// Lets a request to end the program (SIGINT, SIGTERM or SIGHUP on POSIX) end the waits of a
// stream that is being read (a pipe, a FIFO, standard input), which a program that blocks those
// signals could otherwise not leave: a FIFO without a writer, a stalled pipe. Once armed, such a
// signal interrupts a wait in open() and makes the stream's descriptor read as its end, so the
// reader decodes everything that has arrived and stops. On Windows nothing is armed.
#pragma once

namespace brindlemoor {

// Arms (or re-aims) the ending at the stream `fd`; with -1, only a wait in open() is ended. The
// signals are unblocked in the calling thread and taken by a handler from then on.
void EndStreamOnTermination(int fd);
// Gives the signals back to whoever blocked them: blocked again, their former actions restored.
// One that came while armed is remembered by StreamTerminationSignal, not left pending.
void StopEndingStreamOnTermination();
// The name of the signal that ended a stream ("Interrupt", "Terminated", "Hangup"), or nullptr.
const char* StreamTerminationSignal();

}  // namespace brindlemoor
