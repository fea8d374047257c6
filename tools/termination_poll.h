// For a program that set up its termination requests at start (SIGINT, SIGTERM and SIGHUP blocked
// on POSIX, the console control handler on Windows): takes one that has arrived since, without
// waiting, so a loop of its own can end cleanly between two steps.
#pragma once

namespace brindlemoor {

// What asked the program to end ("Interrupt", "Terminated", "Ctrl-C", ...), or nullptr when
// nothing has.
const char* TakePendingTermination();

}  // namespace brindlemoor
