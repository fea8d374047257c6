#include "input_watch.h"

#include <cstdio>
#include <thread>

namespace brindlemoor {
namespace {

// Silence from the device for this long (nothing delivered at all, not quiet sound) is reported.
constexpr auto kStallReport = std::chrono::seconds(3);
constexpr auto kLastBlockWait = std::chrono::milliseconds(300);
constexpr auto kLastBlockPoll = std::chrono::milliseconds(10);

}  // namespace

void InputWatch::Observe(uint64_t delivered) {
  const auto now = std::chrono::steady_clock::now();
  // Sound played before the stream really runs is lost, so scripts wait for this line; it comes
  // with the first tick after the first samples, not when the device opens.
  if (!announced && delivered != 0) {
    announced = true;
    std::fprintf(stderr, "%s: capturing\n", program);
  }
  // A device that was unplugged or whose server went away stops calling back; the receiver keeps
  // its timer and simply has nothing to decode, but says so once.
  if (delivered != lastDelivered) {
    lastDelivered = delivered;
    lastSound = now;
    if (stallReported) std::fprintf(stderr, "%s: input back: sound arrives again\n", program);
    stallReported = false;
  } else if (!stallReported && now - lastSound >= kStallReport) {
    stallReported = true;
    std::fprintf(stderr, "%s: no sound has come from the input for %lld s (device gone?)\n",
                 program,
                 static_cast<long long>(
                     std::chrono::duration_cast<std::chrono::seconds>(now - lastSound).count()));
  }
}

void WaitForBlockInProgress(const WaveCapture& capture) {
  const uint32_t filled = capture.LoadBlocksFilled();
  const auto deadline = std::chrono::steady_clock::now() + kLastBlockWait;
  while (capture.LoadBlocksFilled() == filled && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kLastBlockPoll);
  }
}

}  // namespace brindlemoor
