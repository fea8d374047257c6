// ReceiverDialog is the receiver's core: it owns the capture ring, the analyser, the framing and
// calibration state and the two heap buffers, starts receiving, runs a receive tick on every
// timer-2 message and tears everything down. It knows no toolkit: the window, the headless tools
// and the tests drive it through WindowServices, a WaveInDevice and a TextOutput.
#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/wave_capture.h"
#include "dialog/window_services.h"
#include "dsp/spectrum_analyzer.h"
#include "receiver/calibration_state.h"
#include "receiver/receive_tick.h"
#include "receiver/symbol_state.h"
#include "receiver/tick_text.h"
#include "robust/robust_framer.h"

namespace brindlemoor {

// The allocator behind the two heap buffers, replaceable so tests can make it fail.
struct BufferAllocator {
  void* (*allocate)(std::size_t size);
  void* (*reallocate)(void* block, std::size_t size);
  void (*release)(void* block);
};
BufferAllocator SystemAllocator();

// How symbols are framed: the exact receiver (the default), or the robust framing for rooms and
// microphones that smear the tones.
enum class Framing : uint8_t { kExact, kRobust };

class ReceiverDialog {
 public:
  ReceiverDialog(WindowServices& services, WaveInDevice& device, TextOutput& files,
                 BufferAllocator allocator = SystemAllocator());
  ~ReceiverDialog();
  ReceiverDialog(const ReceiverDialog&) = delete;
  ReceiverDialog& operator=(const ReceiverDialog&) = delete;

  // Menu and icons, the gain tables, then StartReceiving.
  void OnInitDialog();
  // Allocates the buffers, sets the capture format and opens the device; starts timer 2 only if
  // the device opened.
  void StartReceiving();
  // Command ids 16..31 open the About box (the low four bits are masked). True when handled.
  bool OnSysCommand(uint32_t commandId);
  // Timer 2 runs one receive tick; other ids are ignored.
  void OnTimer(uint32_t timerId);
  // Stops timer 2 and capture, frees both buffers. Safe to call more than once.
  void OnDestroy();

  void SetSymbolObserver(SymbolObserver* observer) { symbolObserver = observer; }
  // Chosen before OnInitDialog; the robust framer starts afresh with every StartReceiving.
  void SetFraming(Framing chosen) { framing = chosen; }
  Framing FramingInUse() const { return framing; }

  // Read access for tools and tests.
  const WaveCapture& Capture() const { return capture; }
  WaveCapture& Capture() { return capture; }
  const CalibrationState& Calibration() const { return calibration; }
  CalibrationState& Calibration() { return calibration; }
  const SymbolState& Symbol() const { return symbol; }
  const TickText& Text() const { return text; }
  const int32_t* Spectrum() const { return spectrum; }
  const uint8_t* RecordBuffer() const { return recordBuffer; }
  std::size_t RecordBufferSize() const { return recordBufferSize; }
  bool TimerRunning() const { return timerRunning; }

 private:
  WindowServices& services;
  TextOutput& files;
  BufferAllocator allocator;
  SymbolObserver* symbolObserver = nullptr;
  Framing framing = Framing::kExact;

  SpectrumAnalyzer analyser;
  WaveCapture capture;
  CalibrationState calibration;
  SymbolState symbol;
  robust::RobustFramer robustFramer;
  TickText text;
  int32_t* spectrum = nullptr;
  uint8_t* recordBuffer = nullptr;
  std::size_t recordBufferSize = 0;
  bool timerRunning = false;
  bool destroyed = false;
};

}  // namespace brindlemoor
