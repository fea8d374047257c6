// A capture source that never opens, standing for an input that could not be had (a recording
// that cannot be read): it fails as a device that is gone does, with the reason as its error
// text, so a window shows that reason the way it shows a failed device's.
#pragma once

#include <string>
#include <utility>

#include "capture/wave_in_device.h"

namespace brindlemoor {

class UnavailableInput : public WaveInDevice {
 public:
  explicit UnavailableInput(std::string reason) : reason(std::move(reason)) {}

  WaveResult Open(const WaveFormat&, WaveInCallback, void*) override { return kWaveBadDevice; }
  WaveResult PrepareHeader(WaveHeader&) override { return kWaveBadDevice; }
  WaveResult AddBuffer(WaveHeader&) override { return kWaveBadDevice; }
  WaveResult Start() override { return kWaveBadDevice; }
  WaveResult Stop() override { return kWaveBadDevice; }
  WaveResult Reset() override { return kWaveBadDevice; }
  WaveResult UnprepareHeader(WaveHeader&) override { return kWaveBadDevice; }
  WaveResult Close() override { return kWaveBadDevice; }
  std::string ErrorText() const override { return reason; }

 private:
  std::string reason;
};

}  // namespace brindlemoor
