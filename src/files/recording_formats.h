// The recording formats this build's libsndfile reads, for the programs' --help: the file
// kinds it knows and, for the containers of compressed audio, the codecs it decodes in them.
#pragma once

#include <cstddef>
#include <string>

namespace brindlemoor {

// For example "AIFF, AU, ..., FLAC, MP3, Ogg (Vorbis, Opus), ..., WAV": the kinds in
// libsndfile's order, each by its usual extension in capitals, Ogg with its codecs; raw
// headerless data, which cannot be recognised, is left out.
std::string ReadableRecordingFormats();

// `text` broken at spaces into lines of at most `width` characters, each ending in a line feed.
std::string WrapAtSpaces(const std::string& text, std::size_t width);

}  // namespace brindlemoor
