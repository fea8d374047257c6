// A scriptable wave-in device for tests: records every call, can be told to fail any operation,
// and completes queued buffers on demand from whichever single thread calls CompleteNext. Its
// buffers follow the shared WaveBufferQueue rules, as every source's do.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "capture/wave_buffer_queue.h"
#include "capture/wave_in_device.h"

namespace brindlemoor::testing {

class FakeWaveInDevice : public WaveInDevice {
 public:
  struct Call {
    std::string name;  // "Open", "Prepare", "Add", "Start", "Stop", "Reset", "Unprepare", "Close"
    const WaveHeader* header;  // for header operations, else null
  };

  // Failure injection: the operation's result. For Prepare and Add, fail the n-th call
  // (counting from 0) when failPrepareAt / failAddAt is n.
  WaveResult openResult = kWaveOk;
  int failPrepareAt = -1;
  int failAddAt = -1;
  // When false, Reset keeps the buffers (a source that never gives them back).
  bool resetReturnsBuffers = true;

  // Fills the oldest queued buffer with `fill` bytes (or `data` when given), marks it done and
  // reports it through the callback. False when nothing is queued.
  bool CompleteNext(uint8_t fill = 128);
  bool CompleteNext(const uint8_t* data, uint32_t size);
  // Sends a message other than data to the callback (e.g. kWimOpen).
  void SendMessage(uint32_t message);

  std::vector<Call> Calls() const;
  std::vector<std::string> CallNames() const;
  size_t QueuedCount() const;
  bool IsOpen() const;

  WaveResult Open(const WaveFormat& format, WaveInCallback callback, void* instance) override;
  WaveResult PrepareHeader(WaveHeader& header) override;
  WaveResult AddBuffer(WaveHeader& header) override;
  WaveResult Start() override;
  WaveResult Stop() override;
  WaveResult Reset() override;
  WaveResult UnprepareHeader(WaveHeader& header) override;
  WaveResult Close() override;
  std::string ErrorText() const override { return "fake device failure"; }

  WaveFormat lastFormat{};

 private:
  void Record(const char* name, const WaveHeader* header);

  mutable std::mutex mutex;
  std::vector<Call> calls;
  WaveBufferQueue<1024> buffers;  // room for the tests that queue hundreds at once
  bool open = false;
  int prepareCount = 0;
  int addCount = 0;
};

}  // namespace brindlemoor::testing
