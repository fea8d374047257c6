// The words of the programs' --help that differ between the platforms, so each build describes
// its own: how a person stops a program, which sound devices it can choose, what it reads as a
// stream.
#pragma once

namespace brindlemoor::tools {

struct PlatformHelp {
  const char* stopRequests;  // what ends a run cleanly, for "until interrupted (...)"
  const char* stopSentence;  // "... ends a replay after ...", with its own line breaks
  bool choosesDevices;       // whether --device exists
  const char* listDevices;   // the help line of --list-devices
  const char* streams;       // what --input reads as a stream
};

#ifdef _WIN32
inline constexpr PlatformHelp kPlatformHelp{
    "Ctrl-C, Ctrl-Break",
    "Ctrl-C or Ctrl-Break\nends a replay after the half-second in progress, keeping what was "
    "decoded.\n",
    false,
    "  --list-devices     list the wave-in devices and exit (the receiver records\n"
    "                     from the default one)\n",
    "a pipe is read as a stream"};
#else
inline constexpr PlatformHelp kPlatformHelp{
    "Ctrl-C, SIGTERM",
    "SIGINT or\nSIGTERM ends a replay after the half-second in progress, keeping what was "
    "decoded.\n",
    true, "  --list-devices     list the sound devices and exit\n",
    "a FIFO or pipe is read as a stream"};
#endif

}  // namespace brindlemoor::tools
