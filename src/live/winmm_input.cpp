// The live input on Windows: the wave mapper's default input through WinmmWaveInDevice.
#include <windows.h>
// <mmsystem.h> needs the types of <windows.h>.
#include <mmsystem.h>

#include <cstdio>
#include <memory>
#include <string>

#include "live/live_input.h"
#include "live/winmm_device.h"
#include "platform/console_text.h"

namespace brindlemoor {
namespace {

class WinmmInput : public LiveInput {
 public:
  WaveInDevice& Device() override { return device; }
  std::string Name() const override { return WinmmWaveInDevice::DefaultInputName(); }

 private:
  WinmmWaveInDevice device;
};

}  // namespace

// The wave mapper records from the default input; a selector is refused by the programs first.
std::unique_ptr<LiveInput> OpenWinmmInput(const std::string& /*selector*/) {
  return std::make_unique<WinmmInput>();
}

int ListWinmmInputs(const char* /*program*/) {
  const UINT count = waveInGetNumDevs();
  for (UINT id = 0; id < count; ++id) {
    WAVEINCAPSA caps{};
    if (waveInGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
    std::printf("%u: %s, %u channels%s\n", id, caps.szPname, caps.wChannels,
                id == 0 ? " (the default input, through the wave mapper)" : "");
  }
  if (count == 0) brindlemoor::PrintText(stderr, "no wave-in devices found\n");
  return 0;
}

}  // namespace brindlemoor
