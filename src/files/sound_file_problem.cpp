#include "files/sound_file_problem.h"

#include <cctype>

namespace brindlemoor {
namespace {

struct Meaning {
  const char* fragment;  // in libsndfile's text, in lower case
  const char* words;     // ours
};

constexpr Meaning kMeanings[] = {
    {"'data'", "no audio data found after its header (damaged or cut short)"},
    {"'fmt '", "its format description is damaged"},
    {"unimplemented format", "its audio is in an encoding that cannot be decoded"},
    {"channel count is zero", "it declares no audio channels"},
    {"too many channels", "it declares more channels than can be decoded"},
    {"lost sync", "its compressed audio is damaged"},
    {"malformed", "its header is damaged"},
};

}  // namespace

std::string SoundFileProblem(const char* libraryText) {
  std::string text = libraryText;
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const Meaning& meaning : kMeanings) {
    if (text.find(meaning.fragment) != std::string::npos) return meaning.words;
  }
  // Its internal texts ("SF_INFO struct incomplete", "unspecified internal error") say nothing
  // to a user.
  return "it is damaged or in a form that cannot be decoded";
}

}  // namespace brindlemoor
