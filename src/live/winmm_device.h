// The default sound input on Windows through the wave-in service of the multimedia library
// (winmm): every WaveInDevice operation is one waveIn call on the wave mapper. The ring's
// headers are handed to the service as the platform's own WAVEHDR records, which WaveHeader
// mirrors field for field, so the 128 headers are exactly the service's header block.
//
// Threads: the service reports completed buffers through CaptureCallback on a thread of its
// own; the buffers that waveInStop and waveInReset give back are reported on the calling thread,
// inside the call. The callback takes no lock and calls nothing in the service, so neither can
// wait on the other.
#pragma once

#include <string>

#include "capture/wave_in_device.h"

struct HWAVEIN__;  // the platform's wave-in handle type, as <windows.h> declares it

namespace brindlemoor {

class WinmmWaveInDevice : public WaveInDevice {
 public:
  // Creates the named mutex "MM_Mutex" that the wave-in capture announces itself with (other
  // programs may look for it); nothing waits on, releases or closes it, and a failure to create
  // it changes nothing.
  WinmmWaveInDevice();
  // Resets and closes the device if the owner left it open.
  ~WinmmWaveInDevice() override;
  WinmmWaveInDevice(const WinmmWaveInDevice&) = delete;
  WinmmWaveInDevice& operator=(const WinmmWaveInDevice&) = delete;

  // waveInOpen(WAVE_MAPPER, format, CaptureCallback, this, CALLBACK_FUNCTION | WAVE_ALLOWSYNC).
  WaveResult Open(const WaveFormat& format, WaveInCallback callback, void* instance) override;
  WaveResult PrepareHeader(WaveHeader& header) override;
  WaveResult AddBuffer(WaveHeader& header) override;
  WaveResult Start() override;
  WaveResult Stop() override;
  WaveResult Reset() override;
  WaveResult UnprepareHeader(WaveHeader& header) override;
  WaveResult Close() override;

  // The service's own text for the last failed call, with the call's name.
  std::string ErrorText() const override;
  // The name of the device the wave mapper records from (the first input), or "" if none.
  static std::string DefaultInputName();

  // The platform's five-argument wave-in callback (device handle, message, instance, two message
  // parameters): passes every message on to the owner's callback with the owner's instance;
  // for WIM_DATA the first parameter is the header that came back.
  static void __stdcall CaptureCallback(HWAVEIN__* handle, unsigned message, uintptr_t instance,
                                        uintptr_t param1, uintptr_t param2);

 private:
  // Remembers a failed call for ErrorText; returns `result`.
  WaveResult Check(const char* call, unsigned result);

  void* mutexHandle = nullptr;  // "MM_Mutex", kept for the life of the process
  HWAVEIN__* handle = nullptr;
  WaveInCallback ownerCallback = nullptr;
  void* ownerInstance = nullptr;
  const char* failedCall = nullptr;
  unsigned failedResult = 0;
};

}  // namespace brindlemoor
