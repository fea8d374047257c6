#include "dialog/receiver_dialog.h"

#include <cassert>
#include <cstdlib>
#include <new>

#include "capture/capture_format.h"
#include "dialog/resources.h"
#include "receiver/framing.h"
#include "robust/robust_tick.h"

namespace brindlemoor {

BufferAllocator SystemAllocator() { return {std::malloc, std::realloc, std::free}; }

ReceiverDialog::ReceiverDialog(WindowServices& services, WaveInDevice& device, TextOutput& files,
                               BufferAllocator allocator)
    : services(services), files(files), allocator(allocator), capture(device) {}

ReceiverDialog::~ReceiverDialog() {
  // The owner ends the dialog with OnDestroy while its services still exist; this only makes
  // sure nothing leaks when it did not.
  capture.Stop();
  allocator.release(spectrum);
  allocator.release(recordBuffer);
}

void ReceiverDialog::OnInitDialog() {
  if (services.HasSystemMenu()) {
    const std::string_view menuText = services.LoadMenuString();
    if (!menuText.empty()) {
      services.AppendMenuSeparator();
      services.AppendMenuItem(kAboutCommandId, menuText);
    }
  }
  services.SetIcons();
  calibration.calibrating = 0;
  calibration.gainTable = kReferenceLevels;
  calibration.referenceTable = kReferenceLevels;
  StartReceiving();
}

void ReceiverDialog::StartReceiving() {
  capture.sampleRate = kSampleRate;
  capture.bitsPerSample = kBitsPerSample;
  capture.channels = kChannels;
  capture.samplesPerBlock = kBlockSamples;
  try {
    analyser.Initialize(kSymbolLength, kWindowRectangular);
  } catch (const std::bad_alloc&) {
    return;  // without the analyser's tables nothing can be received
  }

  if (spectrum != nullptr) allocator.release(spectrum);
  spectrum = static_cast<int32_t*>(allocator.allocate(kSpectrumBins * sizeof(int32_t)));
  if (spectrum == nullptr) {
    services.ShowMessageBox(kSpectrumAllocFailedText);
    return;
  }

  const uint32_t bits = capture.bitsPerSample;
  const uint32_t channels = capture.channels;
  const uint32_t samples = capture.samplesPerBlock;
  const std::size_t size = (bits * channels * samples * kRingBlocks) / 8;
  void* resized = allocator.reallocate(recordBuffer, size);
  if (resized == nullptr) {
    services.ShowMessageBox(kRecordAllocFailedText);
    return;  // the old buffer, if any, stays allocated
  }
  recordBuffer = static_cast<uint8_t*>(resized);
  recordBufferSize = size;
  for (uint32_t i = 0; i < kRingBlocks; ++i) {
    capture.blockAddresses[i] = recordBuffer + (bits * channels * i * samples) / 8;
  }

  capture.blocksConsumed = 0;
  symbol.Reset();
  robustFramer.Reset();
  calibration.calibrated = 0;
  calibration.silentTicks = 0;

  // A device that cannot be opened is not reported here: the window stays up and receives
  // nothing. Front ends that want to say more ask the device for its reason.
  if (capture.OpenAndStart()) {
    services.SetTimer(kReceiveTimerId, kReceiveTimerPeriodMs);
    timerRunning = true;
  }
}

bool ReceiverDialog::OnSysCommand(uint32_t commandId) {
  if ((commandId & kCommandIdMask) != kAboutCommandId) return false;
  services.RunAboutBox();
  return true;
}

void ReceiverDialog::OnTimer(uint32_t timerId) {
  if (timerId != kReceiveTimerId) return;
  assert(spectrum != nullptr && recordBuffer != nullptr && "tick before receiving started");
  services.KillTimer(kReceiveTimerId);
  timerRunning = false;
  ReceiveContext context{capture,     recordBuffer, symbol, analyser, spectrum,
                         calibration, text,         files,  services, symbolObserver};
  if (framing == Framing::kRobust) {
    robust::RunRobustTick(context, robustFramer);
  } else {
    RunReceiveTick(context);
  }
  services.SetTimer(kReceiveTimerId, kReceiveTimerPeriodMs);
  timerRunning = true;
}

void ReceiverDialog::OnDestroy() {
  if (destroyed) return;
  destroyed = true;
  services.KillTimer(kReceiveTimerId);
  timerRunning = false;
  capture.Stop();
  allocator.release(spectrum);
  spectrum = nullptr;
  allocator.release(recordBuffer);
  recordBuffer = nullptr;
  recordBufferSize = 0;
}

}  // namespace brindlemoor
