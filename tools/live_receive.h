// brindlemoor-receive's live mode: the receiver on a sound input through PortAudio, ticking on a
// real 500 ms timer on the main thread until SIGINT, SIGTERM or SIGHUP.
#pragma once

#include <string>

#include "decode_options.h"
#include "receiver/text_output.h"

namespace brindlemoor {

struct LiveReceiveOptions {
  std::string device;  // empty: the default input; else an index or part of a name
  DecodeOptions decode;
};

// Exit statuses of the live mode.
inline constexpr int kLiveExitDone = 0;          // ended by SIGINT, SIGTERM or SIGHUP
inline constexpr int kLiveExitNoInput = 2;       // no input could be opened
inline constexpr int kLiveExitOutputFailed = 3;  // the dump or standard output could not be written

// Call first thing in main, before anything starts a thread: SIGINT, SIGTERM and SIGHUP are then
// taken by the live loop (or the replay) alone. A write to a closed pipe on standard output then
// fails instead of ending the program, and a standard descriptor that was closed at start is
// given a stand-in on which writes fail.
void PrepareLiveSignals();

// Receives until SIGINT, SIGTERM or SIGHUP, writing through `files` and each tick's text to stdout.
// Messages go to stderr, prefixed with `program`; the line "<program>: capturing" comes once the
// first samples have arrived.
int RunLiveReceiver(const LiveReceiveOptions& options, TextOutput& files, const char* program);

}  // namespace brindlemoor
