// The words of the programs' --help that differ between the platforms, so each build describes
// its own: how a person stops a program, which sound devices it can choose, what it reads as a
// stream.
#pragma once

namespace brindlemoor::tools {

struct PlatformHelp {
  const char* stopRequests;  // what ends a run cleanly, for "until interrupted (...)"
  bool choosesDevices;       // whether --device exists
  const char* listDevices;   // the help line of --list-devices
  const char* streams;       // what --input reads as a stream
  const char* outputNodes;   // what else -o writes to, help lines (may be empty)
  const char* interrupts;    // what interrupts a program, for "interrupted by ..."
};

#ifdef _WIN32
inline constexpr PlatformHelp kPlatformHelp{
    "Ctrl-C, Ctrl-Break",
    false,
    "  --list-devices     list the wave-in devices and exit (the receiver records\n"
    "                     from the default one)\n",
    "a pipe is read as a stream",
    "                      - is standard output\n",
    "Ctrl-C or Ctrl-Break"};
#else
inline constexpr PlatformHelp kPlatformHelp{
    "Ctrl-C, SIGTERM, SIGHUP",
    true,
    "  --list-devices     list the sound devices and exit\n",
    "a FIFO or pipe is read as a stream",
    "                      - is standard output; a device or FIFO is written through\n"
    "                      (a FIFO must have its reader already); a symbolic link is\n"
    "                      followed to the file it names\n",
    "SIGINT, SIGTERM or SIGHUP"};
#endif

}  // namespace brindlemoor::tools
