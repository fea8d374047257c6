#include "live/winmm_device.h"

#include <windows.h>
// <mmsystem.h> needs the types of <windows.h>.
#include <mmsystem.h>

#include <cstddef>
#include <type_traits>

namespace brindlemoor {
namespace {

// WaveHeader is handed to the service as its WAVEHDR: the same fields at the same offsets.
static_assert(sizeof(WaveHeader) == sizeof(WAVEHDR));
static_assert(offsetof(WaveHeader, data) == offsetof(WAVEHDR, lpData));
static_assert(offsetof(WaveHeader, bufferLength) == offsetof(WAVEHDR, dwBufferLength));
static_assert(offsetof(WaveHeader, bytesRecorded) == offsetof(WAVEHDR, dwBytesRecorded));
static_assert(offsetof(WaveHeader, user) == offsetof(WAVEHDR, dwUser));
static_assert(offsetof(WaveHeader, flags) == offsetof(WAVEHDR, dwFlags));
static_assert(offsetof(WaveHeader, loops) == offsetof(WAVEHDR, dwLoops));
static_assert(offsetof(WaveHeader, next) == offsetof(WAVEHDR, lpNext));
static_assert(offsetof(WaveHeader, reserved) == offsetof(WAVEHDR, reserved));
// The header block of 128 headers: 128 x 32 bytes on 32-bit Windows, 128 x 48 on 64-bit.
static_assert(sizeof(WaveHeader) == (sizeof(void*) == 4 ? 32 : 48));
static_assert(kHeaderDone == WHDR_DONE && kHeaderPrepared == WHDR_PREPARED &&
              kHeaderInQueue == WHDR_INQUEUE);
// The service's codes are the ones the ring knows.
static_assert(kWaveOk == MMSYSERR_NOERROR && kWaveBadDevice == MMSYSERR_BADDEVICEID &&
              kWaveNoMemory == MMSYSERR_NOMEM && kWaveStillPlaying == WAVERR_STILLPLAYING &&
              kWaveUnprepared == WAVERR_UNPREPARED);
static_assert(kWimOpen == WIM_OPEN && kWimClose == WIM_CLOSE && kWimData == WIM_DATA);
// CaptureCallback has the platform's callback signature: DWORD_PTR is passed as uintptr_t (on
// 32-bit Windows one is unsigned long, the other unsigned int, both of 32 bits).
static_assert(sizeof(DWORD_PTR) == sizeof(uintptr_t) && std::is_unsigned_v<DWORD_PTR> &&
              std::is_same_v<UINT, unsigned>);
static_assert(std::is_same_v<HWAVEIN, HWAVEIN__*>);

WAVEHDR* Platform(WaveHeader& header) { return reinterpret_cast<WAVEHDR*>(&header); }

}  // namespace

WinmmWaveInDevice::WinmmWaveInDevice() : mutexHandle(CreateMutexA(nullptr, FALSE, "MM_Mutex")) {}

WinmmWaveInDevice::~WinmmWaveInDevice() {
  if (handle != nullptr) {
    waveInReset(handle);
    waveInClose(handle);
  }
}

WaveResult WinmmWaveInDevice::Check(const char* call, unsigned result) {
  if (result != MMSYSERR_NOERROR) {
    failedCall = call;
    failedResult = result;
  }
  return result;
}

void __stdcall WinmmWaveInDevice::CaptureCallback(HWAVEIN__* /*handle*/, unsigned message,
                                                  uintptr_t instance, uintptr_t param1,
                                                  uintptr_t param2) {
  // WIM_OPEN may arrive inside waveInOpen, before the handle is stored: only the owner's
  // callback and instance, set before the call, are read here.
  auto* self = reinterpret_cast<WinmmWaveInDevice*>(instance);
  self->ownerCallback(self, message, self->ownerInstance, param1, param2);
}

WaveResult WinmmWaveInDevice::Open(const WaveFormat& format, WaveInCallback callback,
                                   void* instance) {
  if (handle != nullptr) return Check("waveInOpen", MMSYSERR_ALLOCATED);
  WAVEFORMATEX platformFormat{};
  platformFormat.wFormatTag = format.formatTag;
  platformFormat.nChannels = format.channels;
  platformFormat.nSamplesPerSec = format.samplesPerSec;
  platformFormat.nAvgBytesPerSec = format.avgBytesPerSec;
  platformFormat.nBlockAlign = format.blockAlign;
  platformFormat.wBitsPerSample = format.bitsPerSample;
  platformFormat.cbSize = format.extraSize;
  ownerCallback = callback;
  ownerInstance = instance;
  HWAVEIN opened = nullptr;
  const MMRESULT result = waveInOpen(
      &opened, WAVE_MAPPER, &platformFormat, reinterpret_cast<DWORD_PTR>(&CaptureCallback),
      reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION | WAVE_ALLOWSYNC);
  if (result == MMSYSERR_NOERROR) handle = opened;
  return Check("waveInOpen", result);
}

WaveResult WinmmWaveInDevice::PrepareHeader(WaveHeader& header) {
  return Check("waveInPrepareHeader",
               waveInPrepareHeader(handle, Platform(header), sizeof(WAVEHDR)));
}

WaveResult WinmmWaveInDevice::AddBuffer(WaveHeader& header) {
  return Check("waveInAddBuffer", waveInAddBuffer(handle, Platform(header), sizeof(WAVEHDR)));
}

WaveResult WinmmWaveInDevice::Start() { return Check("waveInStart", waveInStart(handle)); }

WaveResult WinmmWaveInDevice::Stop() { return Check("waveInStop", waveInStop(handle)); }

WaveResult WinmmWaveInDevice::Reset() { return Check("waveInReset", waveInReset(handle)); }

WaveResult WinmmWaveInDevice::UnprepareHeader(WaveHeader& header) {
  return Check("waveInUnprepareHeader",
               waveInUnprepareHeader(handle, Platform(header), sizeof(WAVEHDR)));
}

WaveResult WinmmWaveInDevice::Close() {
  const MMRESULT result = waveInClose(handle);
  if (result == MMSYSERR_NOERROR) handle = nullptr;
  return Check("waveInClose", result);
}

std::string WinmmWaveInDevice::ErrorText() const {
  if (failedCall == nullptr) return {};
  char text[MAXERRORLENGTH] = {};
  if (waveInGetErrorTextA(failedResult, text, sizeof text) != MMSYSERR_NOERROR) text[0] = '\0';
  std::string message = std::string(failedCall) + " failed (" + std::to_string(failedResult) + ")";
  if (text[0] != '\0') message += ": " + std::string(text);
  return message;
}

std::string WinmmWaveInDevice::DefaultInputName() {
  if (waveInGetNumDevs() == 0) return {};
  WAVEINCAPSA caps{};
  if (waveInGetDevCapsA(0, &caps, sizeof caps) != MMSYSERR_NOERROR) return {};
  return caps.szPname;
}

}  // namespace brindlemoor
