// brindlemoor-receive's live mode: the receiver on a sound input through PortAudio, ticking on a
// real 500 ms timer on the main thread until SIGINT or SIGTERM.
#pragma once

#include <string>

#include "app/headless_services.h"
#include "receiver/text_output.h"

namespace brindlemoor {

struct LiveReceiveOptions {
  std::string device;    // empty: the default input; else an index or part of a name
  std::string dumpPath;  // empty: no dump
  bool trace = false;
  bool showControls = false;  // control bytes of the text in caret notation (for a terminal)
  HeadlessServices::Display display = nullptr;  // with showControls: how the text is shown
};

// Exit statuses of the live mode.
inline constexpr int kLiveExitDone = 0;        // ended by SIGINT or SIGTERM
inline constexpr int kLiveExitNoInput = 2;     // no input could be opened
inline constexpr int kLiveExitDumpFailed = 3;  // the dump could not be created or written whole

// Call first thing in main, before anything starts a thread: SIGINT and SIGTERM are then taken
// by the live loop alone.
void PrepareLiveSignals();

// Receives until SIGINT or SIGTERM, writing through `files` and each tick's text to stdout.
// Messages go to stderr, prefixed with `program`; the line "<program>: capturing" comes once the
// first samples have arrived.
int RunLiveReceiver(const LiveReceiveOptions& options, TextOutput& files, const char* program);

}  // namespace brindlemoor
