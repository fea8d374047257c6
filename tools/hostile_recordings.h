// Recordings built to break a reader: empty files and headers alone, lying chunk sizes, absurd
// formats, bytes that are not audio, and paths that are not files at all (a directory, a device
// that never ends, a symbolic-link loop). brindlemoor-receive must refuse
// each with one line on standard error that names the path, exit status 2, no output file and
// bounded memory. The list also seeds the recording reader's fuzzing corpus.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brindlemoor {

struct HostileRecording {
  enum class Kind : uint8_t {
    kBytes,      // a regular file holding `bytes`
    kDirectory,  // a directory
    kFifo,       // a FIFO (read as a stream: opening it waits for a writer)
    kLink,       // a symbolic link to `target`
    kMissing,    // nothing at all at the path
  };
  std::string name;  // a file name that says what is wrong
  Kind kind = Kind::kBytes;
  std::vector<uint8_t> bytes;
  std::string target;  // kLink only
  std::string reason;  // how brindlemoor-receive describes the problem (start of its text)
  std::string text;    // for a usable recording: the text it carries
  bool viaStandardInput = false;  // given to the receiver as "-", through a pipe
};

// Files, links, a directory and a FIFO that must be refused.
std::vector<HostileRecording> HostileRecordings();
// WAV files with harmless header quirks (sizes that libsndfile rightly ignores, a streaming
// writer's unknown length, trailing chunks) around a synthesised message: they must decode.
std::vector<HostileRecording> OddButUsableRecordings();

// Recordings that hold less than their headers declare, around a synthesised message:
// brindlemoor-receive decodes what is there, then warns in one line (`reason` is its start after
// "warning: ") and exits 0. The cut one loses the end of the text; the rest lose nothing.
std::vector<HostileRecording> TruncatedRecordings();

// Recordings damaged inside or in containers whose sizes work otherwise (RF64, Wave64, CAF), a
// streaming writer's unknown size through a pipe, and channels that cancel when mixed:
// brindlemoor-receive decodes them, warns in one line where `reason` is not empty (after
// "warning: ") and
// exits 0. A damaged one loses a fraction of a second at the damage: `text` is then the end of its
// message, which must still come out; the others keep their whole `text`.
std::vector<HostileRecording> DamagedRecordings();

// Creates `recording` in `directory`. False with `error` set when it cannot.
bool MakeHostileRecording(const HostileRecording& recording, const std::string& directory,
                          std::string& error);

}  // namespace brindlemoor
