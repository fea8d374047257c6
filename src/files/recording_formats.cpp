#include "files/recording_formats.h"

#include <sndfile.h>

#include <cctype>

namespace brindlemoor {
namespace {

// A format's extension as shown: capitals, "Ogg" and "MP3" as people write them.
std::string Shown(const char* extension) {
  std::string shown(extension);
  if (shown == "oga" || shown == "ogg") return "Ogg";
  if (shown == "m1a" || shown == "mp3" || shown == "mp2") return "MP3";
  for (char& c : shown) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return shown;
}

// The codecs libsndfile decodes inside an Ogg file, comma-separated.
std::string OggCodecs() {
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE_COUNT, &count, sizeof count);
  std::string codecs;
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE, &info, sizeof info);
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    if (subtype != SF_FORMAT_VORBIS && subtype != SF_FORMAT_OPUS) continue;
    SF_INFO probe{};
    probe.channels = 1;
    probe.samplerate = 48000;
    probe.format = SF_FORMAT_OGG | subtype;
    if (!sf_format_check(&probe)) continue;
    if (!codecs.empty()) codecs += ", ";
    codecs += info.name;
  }
  return codecs;
}

}  // namespace

std::string ReadableRecordingFormats() {
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
  std::string formats;
  std::string previous;
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RAW) continue;
    std::string shown = Shown(info.extension);
    if (shown == previous) continue;
    previous = shown;
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG) {
      const std::string codecs = OggCodecs();
      if (codecs.empty()) continue;
      shown += " (" + codecs + ")";
    }
    if (!formats.empty()) formats += ", ";
    formats += shown;
  }
  return formats;
}

std::string WrapAtSpaces(const std::string& text, std::size_t width) {
  std::string wrapped;
  std::size_t lineStart = 0;  // in `wrapped`
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find(' ', from);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(from, end - from);
    const std::size_t lineLength = wrapped.size() - lineStart;
    if (lineLength > 0 && lineLength + 1 + word.size() > width) {
      wrapped += '\n';
      lineStart = wrapped.size();
    } else if (lineLength > 0) {
      wrapped += ' ';
    }
    wrapped += word;
    from = end + 1;
  }
  return wrapped + '\n';
}

}  // namespace brindlemoor
