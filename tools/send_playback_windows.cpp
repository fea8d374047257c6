// brindlemoor-send's playback on Windows: the wave-out service of the multimedia library (winmm)
// on the default output, the wave mapper, as 16-bit PCM queued in one go.
#include <windows.h>
// <mmsystem.h> needs the types of <windows.h>.
#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "send_playback.h"

namespace brindlemoor::tools {
namespace {

// Samples per queued buffer: one second at 48 kHz, far below a buffer's 32-bit size.
constexpr std::size_t kBufferSamples = 48000;

std::string ErrorText(const char* call, MMRESULT result) {
  char text[MAXERRORLENGTH] = {};
  waveOutGetErrorTextA(result, text, sizeof text);
  return std::string(call) + ": " + text;
}

int16_t Pcm16(double sample) {
  return static_cast<int16_t>(std::lround(std::clamp(sample, -1.0, 1.0) * 32767.0));
}

}  // namespace

const bool SoundOutput::kChoosesDevice = false;

struct SoundOutput::Impl {};

SoundOutput::SoundOutput() : impl(std::make_unique<Impl>()) {}
SoundOutput::~SoundOutput() = default;

std::unique_ptr<SoundOutput> SoundOutput::Open(IoError& error) {
  if (waveOutGetNumDevs() == 0) {
    error.description = "no sound output: the system has no wave-out device";
    return nullptr;
  }
  return std::unique_ptr<SoundOutput>(new SoundOutput());
}

bool SoundOutput::Play(std::span<const double> samples, int32_t sampleRate,
                       const std::string& device, IoError& error) const {
  if (!device.empty()) {
    error.description = "the sound goes to the default output on this system";
    return false;
  }
  std::vector<int16_t> pcm(samples.size());
  std::transform(samples.begin(), samples.end(), pcm.begin(), Pcm16);

  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
  format.wBitsPerSample = 16;
  format.nBlockAlign = 2;
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  // The service signals the event each time a buffer comes back.
  const HANDLE returned = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (returned == nullptr) {
    error.description = "cannot create an event";
    return false;
  }
  HWAVEOUT out = nullptr;
  MMRESULT result = waveOutOpen(&out, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(returned),
                                0, CALLBACK_EVENT);
  if (result != MMSYSERR_NOERROR) {
    CloseHandle(returned);
    error.description = ErrorText("waveOutOpen", result);
    return false;
  }
  std::vector<WAVEHDR> headers((pcm.size() + kBufferSamples - 1) / kBufferSamples);
  std::size_t queued = 0;
  for (std::size_t i = 0; i < headers.size() && result == MMSYSERR_NOERROR; ++i) {
    const std::size_t first = i * kBufferSamples;
    WAVEHDR& header = headers[i];
    header.lpData = reinterpret_cast<LPSTR>(pcm.data() + first);
    header.dwBufferLength =
        static_cast<DWORD>(std::min(kBufferSamples, pcm.size() - first) * sizeof(int16_t));
    result = waveOutPrepareHeader(out, &header, sizeof header);
    if (result == MMSYSERR_NOERROR) {
      result = waveOutWrite(out, &header, sizeof header);
      if (result != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(out, &header, sizeof header);
        error.description = ErrorText("waveOutWrite", result);
      } else {
        ++queued;
      }
    } else {
      error.description = ErrorText("waveOutPrepareHeader", result);
    }
  }
  // Played once the last queued buffer is back (on failure, what was queued still plays).
  const auto allDone = [&] {
    return std::all_of(headers.begin(), headers.begin() + static_cast<std::ptrdiff_t>(queued),
                       [](const WAVEHDR& header) { return (header.dwFlags & WHDR_DONE) != 0; });
  };
  while (!allDone()) WaitForSingleObject(returned, 100);
  for (std::size_t i = 0; i < queued; ++i)
    waveOutUnprepareHeader(out, &headers[i], sizeof(WAVEHDR));
  waveOutClose(out);
  CloseHandle(returned);
  return result == MMSYSERR_NOERROR;
}

}  // namespace brindlemoor::tools
