#include "testing/fake_wave_in_device.h"

#include <cstring>

namespace brindlemoor::testing {

void FakeWaveInDevice::Record(const char* name, const WaveHeader* header) {
  std::lock_guard lock(mutex);
  calls.push_back({name, header});
}

std::vector<FakeWaveInDevice::Call> FakeWaveInDevice::Calls() const {
  std::lock_guard lock(mutex);
  return calls;
}

std::vector<std::string> FakeWaveInDevice::CallNames() const {
  std::vector<std::string> names;
  for (const Call& call : Calls()) names.push_back(call.name);
  return names;
}

size_t FakeWaveInDevice::QueuedCount() const {
  std::lock_guard lock(mutex);
  return queue.size();
}

bool FakeWaveInDevice::IsOpen() const {
  std::lock_guard lock(mutex);
  return open;
}

WaveResult FakeWaveInDevice::Open(const WaveFormat& format, WaveInCallback cb, void* inst) {
  Record("Open", nullptr);
  if (openResult != kWaveOk) return openResult;
  std::lock_guard lock(mutex);
  lastFormat = format;
  callback = cb;
  instance = inst;
  open = true;
  return kWaveOk;
}

WaveResult FakeWaveInDevice::PrepareHeader(WaveHeader& header) {
  Record("Prepare", &header);
  if (prepareCount++ == failPrepareAt) return kWaveError;
  header.flags |= kHeaderPrepared;
  return kWaveOk;
}

WaveResult FakeWaveInDevice::AddBuffer(WaveHeader& header) {
  Record("Add", &header);
  if (addCount++ == failAddAt) return kWaveError;
  if (!(header.flags & kHeaderPrepared)) return kWaveUnprepared;
  std::lock_guard lock(mutex);
  header.flags = (header.flags & ~kHeaderDone) | kHeaderInQueue;
  queue.push_back(&header);
  return kWaveOk;
}

WaveResult FakeWaveInDevice::Start() {
  Record("Start", nullptr);
  return kWaveOk;
}

WaveResult FakeWaveInDevice::Stop() {
  Record("Stop", nullptr);
  return kWaveOk;
}

void FakeWaveInDevice::Return(WaveHeader* header, uint32_t bytes) {
  header->bytesRecorded = bytes;
  header->flags = (header->flags & ~kHeaderInQueue) | kHeaderDone;
  if (callback) callback(this, kWimData, instance, reinterpret_cast<uintptr_t>(header), 0);
}

WaveResult FakeWaveInDevice::Reset() {
  Record("Reset", nullptr);
  if (!resetReturnsBuffers) return kWaveOk;
  for (;;) {
    WaveHeader* header = nullptr;
    {
      std::lock_guard lock(mutex);
      if (queue.empty()) break;
      header = queue.front();
      queue.pop_front();
    }
    Return(header, 0);
  }
  return kWaveOk;
}

WaveResult FakeWaveInDevice::UnprepareHeader(WaveHeader& header) {
  Record("Unprepare", &header);
  if (header.flags & kHeaderInQueue) return kWaveStillPlaying;
  header.flags &= ~kHeaderPrepared;
  return kWaveOk;
}

WaveResult FakeWaveInDevice::Close() {
  Record("Close", nullptr);
  std::lock_guard lock(mutex);
  open = false;
  return kWaveOk;
}

bool FakeWaveInDevice::CompleteNext(uint8_t fill) {
  WaveHeader* header = nullptr;
  {
    std::lock_guard lock(mutex);
    if (queue.empty()) return false;
    header = queue.front();
    queue.pop_front();
  }
  std::memset(header->data, fill, header->bufferLength);
  Return(header, header->bufferLength);
  return true;
}

bool FakeWaveInDevice::CompleteNext(const uint8_t* data, uint32_t size) {
  WaveHeader* header = nullptr;
  {
    std::lock_guard lock(mutex);
    if (queue.empty()) return false;
    header = queue.front();
    queue.pop_front();
  }
  uint32_t n = size < header->bufferLength ? size : header->bufferLength;
  std::memcpy(header->data, data, n);
  Return(header, n);
  return true;
}

void FakeWaveInDevice::SendMessage(uint32_t message) {
  if (callback) callback(this, message, instance, 0, 0);
}

}  // namespace brindlemoor::testing
