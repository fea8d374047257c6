// make-hostile-recordings: writes every hostile recording (see hostile_recordings.h) into a
// directory, and lists each with what brindlemoor-receive should say about it.
//
// Exit status: 0 written, 1 a recording could not be made, 2 bad arguments.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/hostile_recordings.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs(
        "usage: make-hostile-recordings DIR\n"
        "Creates DIR (if needed) and fills it with files, links and a directory that a\n"
        "recording reader must refuse, usable files with odd headers, truncated and damaged "
        "ones.\n",
        argc == 2 && std::strcmp(argv[1], "--help") == 0 ? stdout : stderr);
    return argc == 2 && std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
  }
  const std::string directory = argv[1];
  mkdir(directory.c_str(), 0755);
  std::vector<brindlemoor::HostileRecording> recordings = brindlemoor::HostileRecordings();
  for (brindlemoor::HostileRecording& usable : brindlemoor::OddButUsableRecordings()) {
    recordings.push_back(std::move(usable));
  }
  for (brindlemoor::HostileRecording& cut : brindlemoor::TruncatedRecordings()) {
    cut.reason = "(decoded, then warning: " + cut.reason + ")";
    cut.text.clear();
    recordings.push_back(std::move(cut));
  }
  for (brindlemoor::HostileRecording& damaged : brindlemoor::DamagedRecordings()) {
    damaged.reason =
        "(decoded" + (damaged.reason.empty() ? "" : ", then warning: " + damaged.reason) + ")";
    damaged.text.clear();
    recordings.push_back(std::move(damaged));
  }
  for (const brindlemoor::HostileRecording& recording : recordings) {
    std::string error;
    if (!brindlemoor::MakeHostileRecording(recording, directory, error)) {
      std::fprintf(stderr, "make-hostile-recordings: %s\n", error.c_str());
      return 1;
    }
    std::printf("%-24s %s\n", recording.name.c_str(),
                recording.text.empty() ? recording.reason.c_str() : "(usable)");
  }
  return 0;
}
