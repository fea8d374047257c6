// The words of the programs' --help that differ between the platforms, so each build describes
// its own: how a person stops a program, which sound devices it can choose, what it reads as a
// stream.
#pragma once

namespace brindlemoor::tools {

struct PlatformHelp {
  const char* stopRequests;  // what ends a run cleanly, for "until interrupted (...)"
  bool choosesDevices;       // whether --device exists
  const char* listDevices;   // the help of --list-devices, lines broken with '\n'
  const char* input;         // the receiver's help of --input, which says what it reads as a stream
  const char* outputNodes;   // what else -o writes to, help lines (may be empty)
  const char* interrupts;    // what interrupts a program, for "interrupted by ..."
};

#ifdef _WIN32
inline constexpr PlatformHelp kPlatformHelp{
    .stopRequests = "Ctrl-C, Ctrl-Break",
    .choosesDevices = false,
    .listDevices =
        "list the wave-in devices and exit (the receiver records\n"
        "from the default one)",
    .input =
        "the recording to decode (FILE alone means the same; - for\n"
        "standard input; a pipe is read as a stream)",
    .outputNodes = "                      - is standard output\n",
    .interrupts = "Ctrl-C or Ctrl-Break"};
#else
inline constexpr PlatformHelp kPlatformHelp{
    .stopRequests = "Ctrl-C, SIGTERM, SIGHUP",
    .choosesDevices = true,
    .listDevices = "list the sound devices and exit",
    .input =
        "the recording to decode (FILE alone means the same; - for\n"
        "standard input; a FIFO or pipe is read as a stream)",
    .outputNodes =
        "                      - is standard output; a device or FIFO is written through\n"
        "                      (a FIFO must have its reader already); a symbolic link is\n"
        "                      followed to the file it names\n",
    .interrupts = "SIGINT, SIGTERM or SIGHUP"};
#endif

}  // namespace brindlemoor::tools
