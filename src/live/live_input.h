// The sound input a program listens on, whichever backend the platform records with: its wave-in
// device and what the programs say about it. OpenLiveInput picks the platform's backend
// (live_inputs.cpp); each backend is one file that makes its LiveInput and lists its devices.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "capture/wave_in_device.h"

namespace brindlemoor {

class LiveInput {
 public:
  virtual ~LiveInput() = default;

  virtual WaveInDevice& Device() = 0;
  // Why no input can be had at all (the sound system did not start), or empty.
  virtual std::string Unavailable() const { return {}; }
  // The name of the device recorded from ("" if it has none), after a successful open.
  virtual std::string Name() const = 0;
  // The rate the input is converted from on the way to the capture rate; 0 when it records at
  // the capture rate.
  virtual double ConvertedFrom() const { return 0; }
  // How much the device has produced since open, a count that stops growing when it goes away:
  // samples kept or dropped, or for a backend that does not count them, `blocksFilled`, the
  // capture ring's count of blocks that came back.
  virtual uint64_t Produced(uint32_t blocksFilled) const { return blocksFilled; }
  // Opens the device anew after it stopped delivering; backends that cannot leave it as it is.
  virtual void Reopen() {}
};

// The platform's input that `selector` names (empty: the default input; else an index or part of
// a name, as ListLiveInputs prints them). Never null: a failure shows in Unavailable() or when the
// device is opened.
std::unique_ptr<LiveInput> OpenLiveInput(const std::string& selector);

// --list-devices: the platform's sound devices on stdout, one a line; the exit status (0, or 2
// after a line on stderr prefixed with `program` when the sound system cannot be asked).
int ListLiveInputs(const char* program);

}  // namespace brindlemoor
