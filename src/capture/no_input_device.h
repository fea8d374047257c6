// The default input of a build without a live capture backend: it never opens, so the receiver
// window shows and nothing is received.
#pragma once

#include "capture/wave_in_device.h"

namespace brindlemoor {

class NoInputDevice : public WaveInDevice {
 public:
  WaveResult Open(const WaveFormat&, WaveInCallback, void*) override { return kWaveBadDevice; }
  WaveResult PrepareHeader(WaveHeader&) override { return kWaveError; }
  WaveResult AddBuffer(WaveHeader&) override { return kWaveError; }
  WaveResult Start() override { return kWaveError; }
  WaveResult Stop() override { return kWaveError; }
  WaveResult Reset() override { return kWaveError; }
  WaveResult UnprepareHeader(WaveHeader&) override { return kWaveError; }
  WaveResult Close() override { return kWaveError; }
  std::string ErrorText() const override { return "this build has no live capture backend"; }
};

}  // namespace brindlemoor
