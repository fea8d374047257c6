#include "qt/termination_signals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "platform/termination_set_posix.h"

namespace brindlemoor {

void TerminationSignals::Block() {
  const sigset_t set = TerminationSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
    : terminate(std::move(onSignal)) {
  const sigset_t set = TerminationSignalSet();
  descriptor = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (descriptor < 0) {
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);  // then the signals keep their default action
    return;
  }
  notifier = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
    signalfd_siginfo info;
    while (read(descriptor, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    if (terminate) terminate();
  });
}

TerminationSignals::~TerminationSignals() {
  notifier.reset();
  if (descriptor >= 0) close(descriptor);
}

}  // namespace brindlemoor
