#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include "platform/stream_termination.h"
#include "platform/termination_set_posix.h"

namespace brindlemoor {
namespace {

// A signal handler's state: only async-signal-safe calls and plain flags touch it.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile sig_atomic_t endingSignal = 0;
volatile sig_atomic_t streamDescriptor = -1;
int emptyDescriptor = -1;  // /dev/null, put in the stream's place
bool armed = false;
struct sigaction formerActions[3];

void OnTermination(int signal) {
  if (endingSignal == 0) endingSignal = signal;
  const int fd = streamDescriptor;
  if (fd >= 0 && emptyDescriptor >= 0) dup2(emptyDescriptor, fd);
}

}  // namespace

void EndStreamOnTermination(int fd) {
  if (emptyDescriptor < 0) emptyDescriptor = open("/dev/null", O_RDONLY | O_CLOEXEC);
  streamDescriptor = fd;
  if (!armed) {
    struct sigaction action {};
    action.sa_handler = OnTermination;
    action.sa_mask = TerminationSignalSet();
    action.sa_flags = 0;  // no SA_RESTART: a wait in open() or read() returns EINTR
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &formerActions[i]);
    armed = true;
    const sigset_t set = TerminationSignalSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  }
  // A signal taken before the descriptor was known ends the stream at once.
  if (endingSignal != 0 && fd >= 0 && emptyDescriptor >= 0) dup2(emptyDescriptor, fd);
}

void StopEndingStreamOnTermination() {
  if (!armed) return;
  const sigset_t set = TerminationSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &formerActions[i], nullptr);
  streamDescriptor = -1;
  armed = false;
}

const char* StreamTerminationSignal() {
  return endingSignal != 0 ? strsignal(endingSignal) : nullptr;
}

}  // namespace brindlemoor
