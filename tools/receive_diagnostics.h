// The receiver tool's diagnostics for a room where nothing decodes: --trace prints one line per
// framed symbol on stderr, --dump writes every captured sample to a WAV file. Both run on the
// main thread, between ticks or inside one, never on the audio thread.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "capture/capture_tap.h"
#include "files/capture_dump_file.h"
#include "receiver/calibration_state.h"
#include "receiver/receive_tick.h"

namespace brindlemoor {

// Prints each symbol's trace line to `out` as the tick frames it.
class SymbolTracePrinter : public SymbolObserver {
 public:
  SymbolTracePrinter(std::FILE* out, const CalibrationState& calibration)
      : out(out), calibration(calibration) {}
  void OnSymbol(const SymbolTrace& trace) override;

 private:
  std::FILE* out;
  const CalibrationState& calibration;
};

// Moves what a CaptureTap has copied into a dump file.
class CaptureDumpWriter {
 public:
  CaptureDumpWriter(CaptureTap& tap, std::unique_ptr<CaptureDumpFile> file, std::string path,
                    const char* program);
  // Writes everything copied so far. The first failure is reported on stderr, later ones not.
  void Flush();
  // Flushes and moves the file into place; false if anything could not be written or copied.
  // After a failed write the file is removed.
  bool Finish();

 private:
  static constexpr std::size_t kChunk = 16384;

  CaptureTap& tap;
  std::unique_ptr<CaptureDumpFile> file;
  std::string path;
  const char* program;
  std::unique_ptr<uint8_t[]> chunk;
  bool failed = false;
};

// A live run's --dump: a tap on the device and the writer behind it.
struct LiveDump {
  std::unique_ptr<CaptureTap> tap;
  std::unique_ptr<CaptureDumpWriter> writer;
};
// Opens the dump at `path` on `device`; an empty path gives an empty LiveDump. False, with the
// problem on stderr in one line naming the file, when the file cannot be created.
bool OpenLiveDump(const std::string& path, WaveInDevice& device, const char* program,
                  LiveDump& dump);

}  // namespace brindlemoor
