// What libsndfile's error texts mean, in this program's own words: its texts name its internals
// ("SF_INFO struct incomplete", "unspecified internal error") or a chunk that is in fact there, so
// the reader says instead what is wrong with the file.
#pragma once

#include <string>

namespace brindlemoor {

// One lower-case phrase without the file's name, for "not a usable audio file: ..." or a read
// error, from libsndfile's text of the problem.
std::string SoundFileProblem(const char* libraryText);

}  // namespace brindlemoor
