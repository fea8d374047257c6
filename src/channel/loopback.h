// Receives a sound exactly as brindlemoor-receive does: the samples are written to a WAV file,
// read back through RecordingFile (conversion to 11025 Hz, 8-bit mono), replayed on the virtual
// clock through a ReceiverDialog, and "receive.txt" and "flag.dat" are kept in memory. Tests and
// the robustness bench use it to close the loop sender -> channel -> receiver.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "dialog/receiver_dialog.h"
#include "files/io_error.h"

namespace brindlemoor {

struct Received {
  std::string text;   // what "receive.txt" would hold
  std::string flags;  // what "flag.dat" would hold
};

// Decodes the recording at `path`. False with `error` set when the file cannot be used.
bool ReceiveRecording(const std::string& path, Received& received, IoError& error,
                      Framing framing = Framing::kExact);

// Writes `samples` (full scale 1.0) at `sampleRate` with `bits` per sample to `scratchPath`,
// decodes that file and removes it.
bool ReceiveSound(std::span<const double> samples, int32_t sampleRate, int32_t bits,
                  const std::string& scratchPath, Received& received, IoError& error,
                  Framing framing = Framing::kExact);

}  // namespace brindlemoor
