// Ends the window on SIGINT, SIGTERM or SIGHUP through its ordinary close path, so the destroy
// handling runs (timer stopped, capture stopped, buffers freed) and the program exits with status
// 0. The signals are blocked in every thread and read from a signalfd on the window's event loop:
// no signal handler runs, and no other thread is ever interrupted.
#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace brindlemoor {

class TerminationSignals {
 public:
  // Blocks SIGINT, SIGTERM and SIGHUP in the calling thread and every thread it starts later: call
  // it first thing in main, before Qt or an audio library starts a thread.
  static void Block();

  // Calls `terminate` on the calling thread's event loop when one of the signals arrives.
  explicit TerminationSignals(std::function<void()> terminate);
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  int descriptor = -1;
  std::unique_ptr<QSocketNotifier> notifier;
  std::function<void()> terminate;
};

}  // namespace brindlemoor
