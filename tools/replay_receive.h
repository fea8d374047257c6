// brindlemoor-receive's replay mode: a recording decoded through the receiver on a virtual clock,
// as fast as it can be read, beside the live mode of live_receive.h.
#pragma once

#include <string>

#include "decode_options.h"
#include "receiver/text_output.h"

namespace brindlemoor {

struct ReplayReceiveOptions {
  std::string input;  // the recording's name; "-" for standard input
  int channel = 0;    // from 1; 0: the mix of the recording's channels
  DecodeOptions decode;
};

// Exit statuses of the replay mode.
inline constexpr int kReplayExitDone = 0;      // decoded to the end, or ended by a signal
inline constexpr int kReplayExitBadInput = 2;  // the recording cannot be read or replayed
inline constexpr int kReplayExitOutputFailed =
    3;  // the dump or standard output could not be written

// Decodes the recording, writing through `files` and each tick's text to stdout. A signal ends
// the replay after the tick in progress, keeping what was decoded; a recording cut short is
// decoded as far as it goes, with a warning. Messages go to stderr, prefixed with `program`.
int RunReplayReceiver(const ReplayReceiveOptions& options, TextOutput& files, const char* program);

}  // namespace brindlemoor
