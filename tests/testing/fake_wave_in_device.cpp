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

size_t FakeWaveInDevice::QueuedCount() const { return buffers.Size(); }

bool FakeWaveInDevice::IsOpen() const {
  std::lock_guard lock(mutex);
  return open;
}

WaveResult FakeWaveInDevice::Open(const WaveFormat& format, WaveInCallback cb, void* inst) {
  Record("Open", nullptr);
  if (openResult != kWaveOk) return openResult;
  std::lock_guard lock(mutex);
  if (open) return kWaveError;
  lastFormat = format;
  buffers.Connect(*this, cb, inst);
  open = true;
  return kWaveOk;
}

WaveResult FakeWaveInDevice::PrepareHeader(WaveHeader& header) {
  Record("Prepare", &header);
  if (prepareCount++ == failPrepareAt) return kWaveError;
  return buffers.Prepare(header);
}

WaveResult FakeWaveInDevice::AddBuffer(WaveHeader& header) {
  Record("Add", &header);
  if (addCount++ == failAddAt) return kWaveError;
  return buffers.Add(header);
}

WaveResult FakeWaveInDevice::Start() {
  Record("Start", nullptr);
  return kWaveOk;
}

WaveResult FakeWaveInDevice::Stop() {
  Record("Stop", nullptr);
  return kWaveOk;
}

WaveResult FakeWaveInDevice::Reset() {
  Record("Reset", nullptr);
  if (resetReturnsBuffers) buffers.ReturnAll();
  return kWaveOk;
}

WaveResult FakeWaveInDevice::UnprepareHeader(WaveHeader& header) {
  Record("Unprepare", &header);
  return buffers.Unprepare(header);
}

WaveResult FakeWaveInDevice::Close() {
  Record("Close", nullptr);
  if (const WaveResult refused = buffers.MayClose(); refused != kWaveOk) return refused;
  std::lock_guard lock(mutex);
  open = false;
  return kWaveOk;
}

bool FakeWaveInDevice::CompleteNext(uint8_t fill) {
  WaveHeader* header = buffers.Oldest();
  if (!header) return false;
  std::memset(header->data, fill, header->bufferLength);
  header->bytesRecorded = header->bufferLength;
  return buffers.ReturnOldest();
}

bool FakeWaveInDevice::CompleteNext(const uint8_t* data, uint32_t size) {
  WaveHeader* header = buffers.Oldest();
  if (!header) return false;
  const uint32_t n = size < header->bufferLength ? size : header->bufferLength;
  std::memcpy(header->data, data, n);
  header->bytesRecorded = n;
  return buffers.ReturnOldest();
}

void FakeWaveInDevice::SendMessage(uint32_t message) { buffers.Notify(message); }

}  // namespace brindlemoor::testing
