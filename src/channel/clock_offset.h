// A sender whose sample clock runs off the receiver's: what the sender plays as N samples the
// receiver records as N / (1 + offset) samples at its own nominal rate. A positive offset (the
// sender's clock fast) raises every frequency by that fraction and shortens the sound; a negative
// one lowers and lengthens it. Resampled by the receiver's whole-sound resampler (high quality).
#pragma once

#include <span>
#include <string>
#include <vector>

namespace brindlemoor {

// Offsets beyond this are not a clock error but a different rate.
inline constexpr double kMaxClockOffsetPercent = 10.0;

// `percent` in [-kMaxClockOffsetPercent, kMaxClockOffsetPercent]. False with `error` set when the
// converter fails (out of memory).
bool ApplyClockOffset(std::span<const double> in, double percent, std::vector<double>& out,
                      std::string& error);

}  // namespace brindlemoor
