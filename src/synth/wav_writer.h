// Writes mono PCM WAV files through libsndfile. The file appears only when complete: it is
// written next to its destination and renamed, so a failure leaves nothing behind.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "capture/io_error.h"

namespace brindlemoor {

// `samples` in -1..1 at `sampleRate`; `bits` is 8 (unsigned) or 16 (signed).
bool WriteWav(const std::string& path, std::span<const double> samples, int32_t sampleRate,
              int32_t bits, IoError& error);

}  // namespace brindlemoor
