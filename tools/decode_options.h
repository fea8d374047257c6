// What brindlemoor-receive does with what it decodes, the same whether it listens on a sound input
// or replays a recording: the framing, the dump, the trace and how the text is shown.
#pragma once

#include <string>

#include "dialog/headless_services.h"
#include "dialog/receiver_dialog.h"
#include "receive_diagnostics.h"

namespace brindlemoor {

struct DecodeOptions {
  std::string dumpPath;  // empty: no dump
  bool trace = false;
  bool robust = false;        // the robust framing instead of the exact one
  bool showControls = false;  // control bytes of the text in caret notation (for a terminal)
  HeadlessServices::Display display = nullptr;  // with showControls: how the text is shown
};

// Sets up the dialog and its services as `options` say, before the dialog starts: the framing,
// how the text is shown, and `tracer` as the dialog's observer with --trace.
inline void ApplyDecodeOptions(const DecodeOptions& options, HeadlessServices& services,
                               ReceiverDialog& dialog, SymbolTracePrinter& tracer) {
  services.ShowControlBytes(options.showControls);
  services.ShowThrough(options.display);
  if (options.robust) dialog.SetFraming(Framing::kRobust);
  if (options.trace) dialog.SetSymbolObserver(&tracer);
}

}  // namespace brindlemoor
