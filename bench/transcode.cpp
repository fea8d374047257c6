// transcode: copies a sound file into FLAC or MP3 with libsndfile (sox in Debian 12 writes no
// MP3), streamed in blocks, for bench/compare-peers.
//
//   transcode IN OUT.flac|OUT.mp3
//
// Exit status: 0 written, 1 a file could not be read or written, 2 bad arguments.
#include <sndfile.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  const std::string out = argc == 3 ? argv[2] : "";
  const bool mp3 = out.ends_with(".mp3");
  if (argc != 3 || !(mp3 || out.ends_with(".flac"))) {
    std::fputs("usage: transcode IN OUT.flac|OUT.mp3\n", stderr);
    return 2;
  }
  SF_INFO inInfo{};
  SNDFILE* in = sf_open(argv[1], SFM_READ, &inInfo);
  if (!in) {
    std::fprintf(stderr, "transcode: %s: %s\n", argv[1], sf_strerror(nullptr));
    return 1;
  }
  SF_INFO outInfo{};
  outInfo.samplerate = inInfo.samplerate;
  outInfo.channels = inInfo.channels;
  outInfo.format =
      mp3 ? SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III : SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  SNDFILE* to = sf_open(out.c_str(), SFM_WRITE, &outInfo);
  if (!to) {
    std::fprintf(stderr, "transcode: %s: %s\n", out.c_str(), sf_strerror(nullptr));
    sf_close(in);
    return 1;
  }
  std::vector<float> block(65536 * static_cast<std::size_t>(inInfo.channels));
  bool ok = true;
  for (sf_count_t got; ok && (got = sf_readf_float(in, block.data(), 65536)) > 0;) {
    ok = sf_writef_float(to, block.data(), got) == got;
  }
  ok = sf_close(to) == 0 && ok;
  sf_close(in);
  if (!ok) {
    std::fprintf(stderr, "transcode: %s: cannot write\n", out.c_str());
    return 1;
  }
  return 0;
}
