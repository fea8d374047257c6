// The signals that ask a program to end cleanly on POSIX: SIGINT (Ctrl-C), SIGTERM and SIGHUP
// (the terminal closed). Every program and loop that takes them uses this one set.
#pragma once

#include <signal.h>

namespace brindlemoor {

inline sigset_t TerminationSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace brindlemoor
