#include "receive_diagnostics.h"

#include "capture/capture_format.h"
#include "receiver/symbol_trace_format.h"

namespace brindlemoor {

void SymbolTracePrinter::OnSymbol(const SymbolTrace& trace) {
  char line[kSymbolTraceLineBytes];
  const std::size_t size = FormatSymbolTrace(trace, calibration.calibrated != 0, line);
  std::fwrite(line, 1, size, out);
}

CaptureDumpWriter::CaptureDumpWriter(CaptureTap& tap, std::unique_ptr<CaptureDumpFile> file,
                                     std::string path, const char* program)
    : tap(tap),
      file(std::move(file)),
      path(std::move(path)),
      program(program),
      chunk(std::make_unique<uint8_t[]>(kChunk)) {}

void CaptureDumpWriter::Flush() {
  for (;;) {
    const std::size_t size = tap.Drain(chunk.get(), kChunk);
    if (size == 0) return;
    IoError error;
    if (!failed && !file->Write(chunk.get(), size, error)) {
      failed = true;
      std::fprintf(stderr, "%s: cannot write %s: %s (receiving goes on)\n", program, path.c_str(),
                   error.description.c_str());
    }
  }
}

bool CaptureDumpWriter::Finish() {
  Flush();
  IoError error;
  if (!file->Close(error) && !failed) {
    failed = true;
    std::fprintf(stderr, "%s: cannot write %s: %s\n", program, path.c_str(),
                 error.description.c_str());
  }
  if (tap.BytesLost() != 0) {
    std::fprintf(stderr, "%s: %s misses %llu captured samples (written too slowly)\n", program,
                 path.c_str(), static_cast<unsigned long long>(tap.BytesLost()));
    return false;
  }
  return !failed;
}

bool OpenLiveDump(const std::string& path, WaveInDevice& device, const char* program,
                  LiveDump& dump) {
  if (path.empty()) return true;
  IoError error;
  std::unique_ptr<CaptureDumpFile> file = CaptureDumpFile::Create(path, kSampleRate, error);
  if (!file) {
    std::fprintf(stderr, "%s: %s: %s\n", program, path.c_str(), error.description.c_str());
    return false;
  }
  dump.tap = std::make_unique<CaptureTap>(device);
  dump.writer = std::make_unique<CaptureDumpWriter>(*dump.tap, std::move(file), path, program);
  return true;
}

}  // namespace brindlemoor
