#include "tools/hostile_recordings.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "convention/symbol_convention.h"
#include "synth/symbol_synth.h"

namespace brindlemoor {
namespace {

constexpr uint32_t kRate = kSampleRate;
constexpr size_t kSomeFrames = 4000;
constexpr uint32_t kHuge = 0xFFFFFFF0u;
// The words for three kinds of broken header, after "not a usable audio file: ".
constexpr const char* kNoData =
    "not a usable audio file: no audio data found after its header (damaged or cut short)";
constexpr const char* kShortFormat = "not a usable audio file: its format description is damaged";
constexpr const char* kUnimplemented =
    "not a usable audio file: its audio is in an encoding that cannot be decoded";
constexpr const char* kUsableText = "odd headers, same message\n";

class Bytes {
 public:
  Bytes& Tag(const char* tag) {
    bytes.insert(bytes.end(), tag, tag + 4);
    return *this;
  }
  Bytes& Le(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return *this;
  }
  Bytes& Be(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return *this;
  }
  // `count` bytes of a waveform that is plainly sound (a ramp with a period of 45).
  Bytes& Samples(size_t count) {
    for (size_t i = 0; i < count; ++i) {
      bytes.push_back(static_cast<uint8_t>(128 + (i % kSymbolPeriod) * 2));
    }
    return *this;
  }
  Bytes& Raw(const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    return *this;
  }
  std::vector<uint8_t> bytes;
};

// A PCM WAV file whose every header field may lie. Fields left alone are the honest values for
// the audio: mono unsigned 8-bit at 11025 Hz, by default kSomeFrames of a sawtooth.
class Wav {
 public:
  Wav() { Bytes().Samples(kSomeFrames).bytes.swap(audio); }
  Wav& Audio(std::vector<uint8_t> bytes) {
    audio = std::move(bytes);
    return *this;
  }
  Wav& RiffSize(uint32_t value) {
    riffSize = value;
    return *this;
  }
  Wav& FmtSize(uint32_t value) {
    fmtSize = value;
    return *this;
  }
  Wav& FormatTag(uint16_t value) {
    formatTag = value;
    return *this;
  }
  Wav& Channels(uint16_t value) {
    channels = value;
    return *this;
  }
  Wav& Rate(uint32_t value) {
    rate = value;
    return *this;
  }
  Wav& ByteRate(uint32_t value) {
    byteRate = value;
    return *this;
  }
  Wav& BlockAlign(uint16_t value) {
    blockAlign = value;
    return *this;
  }
  Wav& Bits(uint16_t value) {
    bits = value;
    return *this;
  }
  Wav& DataSize(uint32_t value) {
    dataSize = value;
    return *this;
  }
  Wav& Trailer(std::vector<uint8_t> bytes) {
    trailer = std::move(bytes);
    return *this;
  }
  Wav& Keep(size_t bytes) {
    keep = bytes;
    return *this;
  }

  std::vector<uint8_t> Build() const {
    const auto size = static_cast<uint32_t>(audio.size());
    const uint16_t align = blockAlign.value_or(static_cast<uint16_t>(channels * ((bits + 7) / 8)));
    Bytes b;
    b.Tag("RIFF").Le(riffSize.value_or(36 + size + static_cast<uint32_t>(trailer.size())), 4);
    b.Tag("WAVE");
    b.Tag("fmt ").Le(fmtSize, 4).Le(formatTag, 2).Le(channels, 2).Le(rate, 4);
    b.Le(byteRate.value_or(rate * align), 4).Le(align, 2).Le(bits, 2);
    b.Tag("data").Le(dataSize.value_or(size), 4);
    b.bytes.insert(b.bytes.end(), audio.begin(), audio.end());
    b.bytes.insert(b.bytes.end(), trailer.begin(), trailer.end());
    if (keep < b.bytes.size()) b.bytes.resize(keep);
    return b.bytes;
  }

 private:
  std::vector<uint8_t> audio;
  std::optional<uint32_t> riffSize;
  uint32_t fmtSize = 16;
  uint16_t formatTag = 1;
  uint16_t channels = 1;
  uint32_t rate = kRate;
  std::optional<uint32_t> byteRate;
  std::optional<uint16_t> blockAlign;
  uint16_t bits = 8;
  std::optional<uint32_t> dataSize;
  std::vector<uint8_t> trailer;
  size_t keep = SIZE_MAX;
};

HostileRecording File(std::string name, std::vector<uint8_t> bytes, std::string reason) {
  HostileRecording r;
  r.name = std::move(name);
  r.bytes = std::move(bytes);
  r.reason = std::move(reason);
  return r;
}

HostileRecording Special(std::string name, HostileRecording::Kind kind, std::string reason,
                         std::string target = {}) {
  HostileRecording r;
  r.name = std::move(name);
  r.kind = kind;
  r.target = std::move(target);
  r.reason = std::move(reason);
  return r;
}

// Deterministic bytes that are no format at all.
std::vector<uint8_t> Noise(size_t count) {
  std::vector<uint8_t> bytes(count);
  uint32_t state = 0x12345678u;
  for (uint8_t& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

// The synthesised message `text` as 8-bit samples at 11025 Hz.
std::vector<uint8_t> MessageAudio(const std::string& text) {
  const std::vector<uint8_t> symbols(text.begin(), text.end());
  return QuantiseToU8(SynthesiseMessage(symbols, kDefaultTiming, static_cast<int32_t>(kRate)));
}

// `audio` encoded by libsndfile in `format` (FLAC, MP3), into memory; empty when it cannot.
std::vector<uint8_t> Encoded(const std::vector<uint8_t>& audio, int format) {
  struct Memory {
    std::vector<uint8_t> bytes;
    sf_count_t position = 0;
  } memory;
  SF_VIRTUAL_IO io{
      [](void* m) { return static_cast<sf_count_t>(static_cast<Memory*>(m)->bytes.size()); },
      [](sf_count_t offset, int whence, void* m) {
        auto& self = *static_cast<Memory*>(m);
        const auto size = static_cast<sf_count_t>(self.bytes.size());
        self.position = (whence == SEEK_CUR   ? self.position
                         : whence == SEEK_END ? size
                                              : 0) +
                        offset;
        return self.position;
      },
      [](void*, sf_count_t, void*) { return sf_count_t{0}; },
      [](const void* from, sf_count_t count, void* m) {
        auto& self = *static_cast<Memory*>(m);
        const auto end = static_cast<std::size_t>(self.position + count);
        if (self.bytes.size() < end) self.bytes.resize(end);
        std::memcpy(self.bytes.data() + self.position, from, static_cast<std::size_t>(count));
        self.position += count;
        return count;
      },
      [](void* m) { return static_cast<Memory*>(m)->position; },
  };
  SF_INFO info{};
  info.samplerate = static_cast<int>(kRate);
  info.channels = 1;
  info.format = format;
  SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &memory);
  if (!file) return {};
  std::vector<short> samples;
  for (const uint8_t u : audio) samples.push_back(static_cast<short>((u - 128) * 256));
  sf_write_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(file);
  return memory.bytes;
}

}  // namespace

std::vector<HostileRecording> HostileRecordings() {
  using Kind = HostileRecording::Kind;
  std::vector<HostileRecording> list;
  const auto add = [&](HostileRecording r) { list.push_back(std::move(r)); };

  // Empty, header only, truncated.
  add(File("empty.wav", {}, "is empty (0 bytes)"));
  add(File("one-byte.wav", {'R'}, "not a recognised audio file"));
  add(File("empty-pipe.wav", {}, "is empty: nothing came through"));
  list.back().viaStandardInput = true;
  add(File("riff-only.wav", Bytes().Tag("RIFF").Le(4, 4).Tag("WAVE").bytes, kNoData));
  add(File("cut-in-fmt.wav", Wav().Keep(30).Build(), kNoData));
  add(File("header-only.wav", Wav().Keep(44).Build(),
           "truncated: header declares 4000 frames, file holds 0"));
  add(File("no-data-chunk.wav",
           Bytes()
               .Tag("RIFF")
               .Le(28, 4)
               .Tag("WAVE")
               .Tag("fmt ")
               .Le(16, 4)
               .Le(1, 2)
               .Le(1, 2)
               .Le(kRate, 4)
               .Le(kRate, 4)
               .Le(1, 2)
               .Le(8, 2)
               .bytes,
           kNoData));
  add(File("empty-data.wav", Wav().Audio({}).Build(), "contains no audio"));

  // Chunk sizes that lie.
  add(File("fmt-size-huge.wav", Wav().FmtSize(kHuge).Build(), kShortFormat));
  add(File("fmt-size-zero.wav", Wav().FmtSize(0).Build(), kShortFormat));
  add(File("fmt-size-short.wav", Wav().FmtSize(8).Build(), kShortFormat));
  {
    // A chunk list that never reaches "data": a junk chunk claiming nearly 4 GiB.
    Bytes b;
    b.Tag("RIFF").Le(kHuge, 4).Tag("WAVE").Tag("fmt ").Le(16, 4).Le(1, 2).Le(1, 2).Le(kRate, 4);
    b.Le(kRate, 4).Le(1, 2).Le(8, 2).Tag("junk").Le(kHuge, 4).Samples(1000);
    add(File("junk-size-huge.wav", b.bytes, kNoData));
  }
  {
    // Ten thousand empty chunks before the header: a parser that rescans would crawl.
    Bytes b;
    b.Tag("RIFF").Le(kHuge, 4).Tag("WAVE");
    for (int i = 0; i < 10000; ++i) b.Tag("junk").Le(0, 4);
    add(File("many-chunks.wav", b.bytes, kNoData));
  }

  // Formats that make no sense.
  add(File("zero-channels.wav", Wav().Channels(0).Build(),
           "not a usable audio file: it declares no audio channels"));
  add(File("many-channels.wav", Wav().Channels(65535).Build(),
           "not a usable audio file: it declares more channels than can be decoded"));
  add(File("rate-zero.wav", Wav().Rate(0).Build(), "unsupported sample rate of 0 Hz"));
  add(File("rate-one.wav", Wav().Rate(1).Build(), "unsupported sample rate of 1 Hz"));
  add(File("rate-5mhz.wav", Wav().Rate(5'000'000).Build(),
           "unsupported sample rate of 5000000 Hz"));
  add(File("rate-max.wav", Wav().Rate(0xFFFFFFFFu).Build(),
           "unsupported sample rate of 4294967295 Hz"));
  add(File("bits-zero.wav", Wav().Bits(0).Build(), kUnimplemented));
  add(File("bits-huge.wav", Wav().Bits(65535).Build(), kUnimplemented));
  add(File("format-unknown.wav", Wav().FormatTag(0x1234).Build(), kShortFormat));

  {
    // Sun audio with a data size far beyond the file: libsndfile takes the size as negative and
    // reads nothing, so the audio there cannot be decoded.
    Bytes b;
    b.Raw(".snd").Be(24, 4).Be(kHuge, 4).Be(2, 4).Be(kRate, 4).Be(1, 4).Samples(1000);
    add(File("au-size-huge.au", b.bytes,
             "truncated: header declares 4294967280 frames, file holds 1000"));
  }

  // Bytes that are not audio.
  add(File("noise.wav", Noise(65536), "not a recognised audio file"));
  add(File("text.wav",
           Bytes().Raw("RIFF? no, just a note saying the recording is elsewhere.\n").bytes,
           "not a recognised audio file"));
  add(File("program.wav",
           Bytes()
               .Raw("\x7f"
                    "ELF")
               .Le(0x00010102, 4)
               .Le(0, 4)
               .Le(0, 4)
               .Le(0x003e0002, 4)
               .bytes,
           "not a recognised audio file"));
  add(File("riff-not-wave.wav", Bytes().Tag("RIFF").Le(4000, 4).Tag("AVI ").Samples(4000).bytes,
           "not a recognised audio file"));

  // Paths that are not regular files.
  add(Special("directory.wav", Kind::kDirectory, "is a directory"));
  add(Special("zero-device.wav", Kind::kLink, "is not a regular file", "/dev/zero"));
  add(Special("loop.wav", Kind::kLink, "too many levels of symbolic links", "loop.wav"));
  add(Special("dangling.wav", Kind::kLink, "no such file or directory", "nowhere/missing.wav"));
  add(Special("missing.wav", Kind::kMissing, "no such file or directory"));
  return list;
}

std::vector<HostileRecording> OddButUsableRecordings() {
  const std::string text = kUsableText;
  const std::vector<uint8_t> symbols(text.begin(), text.end());
  const std::vector<uint8_t> audio =
      QuantiseToU8(SynthesiseMessage(symbols, kDefaultTiming, static_cast<int32_t>(kRate)));
  const auto usable = [&](std::string name, const Wav& wav) {
    HostileRecording r = File(std::move(name), wav.Build(), "");
    r.text = text;
    return r;
  };
  Wav base;
  base.Audio(audio);
  return {
      usable("honest.wav", Wav(base)),
      usable("riff-size-zero.wav", Wav(base).RiffSize(0)),
      usable("riff-size-huge.wav", Wav(base).RiffSize(kHuge)),
      usable("data-size-unknown.wav", Wav(base).DataSize(0xFFFFFFFFu)),
      usable("byte-rate-wrong.wav", Wav(base).ByteRate(1)),
      usable("block-align-zero.wav", Wav(base).BlockAlign(0)),
      usable("trailing-chunk.wav",
             Wav(base).Trailer(Bytes().Tag("LIST").Le(4, 4).Tag("INFO").bytes)),
  };
}

std::vector<HostileRecording> TruncatedRecordings() {
  // A message long enough that a cut in its middle leaves whole symbols on both sides.
  const std::string text = "a recording cut short keeps what it holds\n";
  const std::vector<uint8_t> symbols(text.begin(), text.end());
  const std::vector<uint8_t> audio =
      QuantiseToU8(SynthesiseMessage(symbols, kDefaultTiming, static_cast<int32_t>(kRate)));
  const auto frames = static_cast<uint32_t>(audio.size());
  const std::string declared = std::to_string(frames);
  const auto cut = [&](std::string name, std::vector<uint8_t> bytes, std::string held) {
    HostileRecording r = File(std::move(name), std::move(bytes),
                              "truncated: header declares " + declared + " frames, file holds " +
                                  held + "; decoded those");
    r.text = text;
    return r;
  };
  std::vector<HostileRecording> list;
  const std::size_t half = audio.size() / 2;
  list.push_back(
      cut("truncated-data.wav", Wav().Audio(audio).Keep(44 + half).Build(), std::to_string(half)));
  list.push_back(cut("data-size-huge.wav", Wav().Audio(audio).DataSize(kHuge).Build(), declared));
  list.back().reason = "truncated: header declares 4294967280 frames, file holds " + declared;
  list.push_back(
      cut("data-size-odd.wav", Wav().Audio(audio).DataSize(frames + 1).Build(), declared));
  list.back().reason = "truncated: header declares " + std::to_string(frames + 1) +
                       " frames, file holds " + declared;
  {
    // AIFF whose sound chunk claims far more frames than it holds.
    Bytes b;
    b.Tag("FORM").Be(kHuge, 4).Tag("AIFF").Tag("COMM").Be(18, 4).Be(1, 2).Be(kHuge, 4).Be(8, 2);
    // 11025 as an 80-bit extended float.
    b.Be(0x400C, 2).Be(0xAC440000u, 4).Be(0, 4);
    b.Tag("SSND").Be(kHuge, 4).Be(0, 4).Be(0, 4);
    for (const uint8_t u : audio) b.bytes.push_back(static_cast<uint8_t>(u ^ 0x80));  // signed
    list.push_back(cut("aiff-frames-huge.aiff", b.bytes, declared));
    list.back().reason = "truncated: header declares 4294967280 frames, file holds " + declared;
  }
  return list;
}

std::vector<HostileRecording> DamagedRecordings() {
  const std::string text =
      "The quick brown fox jumps over the lazy dog; past the damage the rest decodes\n";
  const std::vector<uint8_t> audio = MessageAudio(text);
  const auto frames = static_cast<uint32_t>(audio.size());
  const uint32_t declared = frames + kRate;
  const std::string truncated = "truncated: header declares " + std::to_string(declared) +
                                " frames, file holds " + std::to_string(frames) + "; decoded those";
  std::vector<HostileRecording> list;
  const auto add = [&](std::string name, std::vector<uint8_t> bytes, std::string reason) {
    HostileRecording r = File(std::move(name), std::move(bytes), std::move(reason));
    r.text = text;
    list.push_back(std::move(r));
  };
  {
    // 200 bytes of junk in the middle of a FLAC stream: a frame or two are lost, no more.
    std::vector<uint8_t> flac = Encoded(audio, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const std::vector<uint8_t> junk = Noise(200);
    std::copy(junk.begin(), junk.end(),
              flac.begin() + static_cast<std::ptrdiff_t>(flac.size() / 2));
    add("damaged-middle.flac", std::move(flac), "damaged at ");
    list.back().text = "the rest decodes\n";
  }
  if (std::vector<uint8_t> mp3 = Encoded(audio, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
      !mp3.empty()) {
    // An MP3 whose frames after the first third are junk but for their headers' positions: its
    // decoder's own complaints about each must not reach the user.
    const std::vector<uint8_t> junk = Noise(mp3.size());
    for (std::size_t i = mp3.size() / 3; i < mp3.size(); ++i) {
      if (i % 7 != 0) mp3[i] = junk[i];
    }
    add("junk-frames.mp3", std::move(mp3), "damaged at ");
    list.back().text.clear();
  }
  {
    // RF64: the data chunk's own size is all ones, the real one in "ds64", here past the end.
    Bytes b;
    b.Tag("RF64").Le(0xFFFFFFFFu, 4).Tag("WAVE").Tag("ds64").Le(28, 4);
    b.Le(declared + 72, 4).Le(0, 4).Le(declared, 4).Le(0, 4).Le(declared, 4).Le(0, 4).Le(0, 4);
    b.Tag("fmt ").Le(16, 4).Le(1, 2).Le(1, 2).Le(kRate, 4).Le(kRate, 4).Le(1, 2).Le(8, 2);
    b.Tag("data").Le(0xFFFFFFFFu, 4);
    b.bytes.insert(b.bytes.end(), audio.begin(), audio.end());
    add("rf64-size-past-end.rf64", b.bytes, truncated);
  }
  {
    // Wave64: 16-byte identifiers and 64-bit sizes that count the 24-byte chunk header.
    const auto guid = [](Bytes& b, const char* tag, bool riff) {
      b.Tag(tag);
      const uint32_t tail[3] = {riff ? 0x11CF912Eu : 0x11D3ACF3u, riff ? 0xDB28D6A5u : 0xC000D18Cu,
                                riff ? 0x0000C104u : 0x8ADB8E4Fu};
      for (const uint32_t word : tail) b.Le(word, 4);
    };
    Bytes b;
    guid(b, "riff", true);
    b.Le(40 + 40 + 24 + declared, 4).Le(0, 4);
    guid(b, "wave", false);
    guid(b, "fmt ", false);
    b.Le(40, 4).Le(0, 4).Le(1, 2).Le(1, 2).Le(kRate, 4).Le(kRate, 4).Le(1, 2).Le(8, 2);
    guid(b, "data", false);
    b.Le(24 + declared, 4).Le(0, 4);
    b.bytes.insert(b.bytes.end(), audio.begin(), audio.end());
    add("w64-size-past-end.w64", b.bytes, truncated);
  }
  {
    // CAF whose last chunk, the audio, says "to the end" with a size of -1.
    Bytes b;
    b.Tag("caff").Be(0x00010000u, 4).Tag("desc").Be(0, 4).Be(32, 4);
    b.Be(0x40C58880u, 4).Be(0, 4);  // 11025 as a big-endian double
    b.Tag("lpcm").Be(0, 4).Be(1, 4).Be(1, 4).Be(1, 4).Be(8, 4);
    b.Tag("data").Be(0xFFFFFFFFu, 4).Be(0xFFFFFFFFu, 4).Be(0, 4);
    for (const uint8_t u : audio) b.bytes.push_back(static_cast<uint8_t>(u ^ 0x80));  // signed
    add("caf-size-unknown.caf", b.bytes, "");
  }
  {
    // Stereo whose right channel is the left one upside down: the mix is silence.
    Bytes b;
    for (const uint8_t u : audio) {
      const auto sample = static_cast<int16_t>((u - 128) * 256);
      b.Le(static_cast<uint16_t>(sample), 2).Le(static_cast<uint16_t>(-sample), 2);
    }
    add("antiphase-stereo.wav", Wav().Audio(b.bytes).Channels(2).Bits(16).Build(),
        "the channels cancel when mixed: the mix is silent where channel 1 is not; try "
        "--channel 1");
    list.back().text.clear();
  }
  // A streaming writer's unknown size, read from a pipe: nothing is missing.
  add("stdin-size-unknown.wav", Wav().Audio(audio).DataSize(0xFFFFFFFFu).Build(), "");
  list.back().viaStandardInput = true;
  return list;
}

bool MakeHostileRecording(const HostileRecording& recording, const std::string& directory,
                          std::string& error) {
  const std::string path = directory + "/" + recording.name;
  bool ok = true;
  switch (recording.kind) {
    case HostileRecording::Kind::kBytes: {
      std::FILE* file = std::fopen(path.c_str(), "wb");
      ok = file != nullptr;
      if (ok) {
        // fwrite may not be given a null pointer, which an empty vector's data() can be.
        ok = recording.bytes.empty() ||
             std::fwrite(recording.bytes.data(), 1, recording.bytes.size(), file) ==
                 recording.bytes.size();
        ok = std::fclose(file) == 0 && ok;
      }
      break;
    }
    case HostileRecording::Kind::kDirectory:
      ok = mkdir(path.c_str(), 0755) == 0;
      break;
    case HostileRecording::Kind::kFifo:
      ok = mkfifo(path.c_str(), 0644) == 0;
      break;
    case HostileRecording::Kind::kLink:
      ok = symlink(recording.target.c_str(), path.c_str()) == 0;
      break;
    case HostileRecording::Kind::kMissing:
      break;
  }
  if (!ok) error = path + ": " + std::strerror(errno);
  return ok;
}

}  // namespace brindlemoor
