// What the live receiver says about its input while it listens, on POSIX and Windows alike:
// "capturing" once sound first arrives (scripts wait for it), a report when the input has
// delivered nothing for 3 s (device gone?) and when it comes back; and the short wait for the
// block in progress before the last tick.
#pragma once

#include <chrono>
#include <cstdint>

#include "capture/wave_capture.h"

namespace brindlemoor {

class InputWatch {
 public:
  explicit InputWatch(const char* program) : program(program) {}
  // Called after every tick with a count that grows whenever the device delivers anything.
  void Observe(uint64_t delivered);

 private:
  const char* program;
  uint64_t lastDelivered = 0;
  std::chrono::steady_clock::time_point lastSound = std::chrono::steady_clock::now();
  bool stallReported = false;
  bool announced = false;
};

// Waits, at most 300 ms, until `capture` counts the block that was being captured when the stop
// came, so that the last tick sees everything heard up to then (one block is 100 ms of sound).
void WaitForBlockInProgress(const WaveCapture& capture);

}  // namespace brindlemoor
