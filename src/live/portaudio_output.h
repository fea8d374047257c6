// Plays a finished sound on an output device through PortAudio, for tools that send symbols.
// Blocking: returns once every sample has been handed to the device and the stream has drained.
#pragma once

#include <span>
#include <string>

#include "files/io_error.h"
#include "live/portaudio_session.h"

namespace brindlemoor {

// Plays mono `samples` (full scale -1..1) at `sampleRate` on `device` (empty: the default output;
// digits: an index; else part of a name). A device that refuses the rate gets the sound
// resampled to its own rate, and one without a mono mode gets it on its first two channels.
// False with `error` set when the device cannot be opened or stops accepting sound.
bool PlaySamples(const PortAudioSession& session, const std::string& device,
                 std::span<const double> samples, double sampleRate, IoError& error);

}  // namespace brindlemoor
