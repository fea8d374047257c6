// A room modelled by a program this project did not write: SoX's `reverb` effect (Freeverb), run
// as a separate process on the sound, so the bench can check the sender against a reverberation
// whose design owes nothing to the channel simulator's echo cloud.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brindlemoor::bench {

// `in` at `sampleRate` through `sox ... reverb REVERBERANCE` (0..100, SoX's other settings at
// their defaults: 50 % high-frequency damping, 100 % room scale, no pre-delay, the dry sound kept
// at its level). The sound goes to sox at a quarter of its level and comes back as floating point,
// so echoes that add up never clip on the way. `scratch` is a path prefix for two temporary WAV
// files, removed afterwards. False with `error` set when sox cannot be run or fails.
bool ApplySoxReverb(std::span<const double> in, int32_t sampleRate, int32_t reverberance,
                    const std::string& scratch, std::vector<double>& out, std::string& error);

// `in` through any SoX effect (`effect` holds its name and arguments), the same way.
bool ApplySoxEffect(std::span<const double> in, int32_t sampleRate,
                    const std::vector<std::string>& effect, const std::string& scratch,
                    std::vector<double>& out, std::string& error);

}  // namespace brindlemoor::bench
