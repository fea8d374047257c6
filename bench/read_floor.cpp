// read-floor: reads a sound file with libsndfile and does nothing else, the floor under decoding
// it: the same blocks as the recording reader (32,768 samples, 16-bit encodings as integers, the
// rest as floats), summed so that the reading cannot be left out. Prints the frames and the sum.
//
//   read-floor FILE
//
// Exit status: 0 read, 1 the file could not be read, 2 bad arguments.
#include <sndfile.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: read-floor FILE\n", stderr);
    return 2;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(argv[1], SFM_READ, &info);
  if (!file) {
    std::fprintf(stderr, "read-floor: %s: %s\n", argv[1], sf_strerror(nullptr));
    return 1;
  }
  const int sub = info.format & SF_FORMAT_SUBMASK;
  const bool shorts = sub == SF_FORMAT_PCM_16 || sub == SF_FORMAT_PCM_U8 || sub == SF_FORMAT_PCM_S8;
  const sf_count_t frames = 32768 / info.channels;
  std::vector<short> s(32768);
  std::vector<float> f(32768);
  long long total = 0;
  double sum = 0;
  for (;;) {
    const sf_count_t got =
        shorts ? sf_readf_short(file, s.data(), frames) : sf_readf_float(file, f.data(), frames);
    if (got <= 0) break;
    total += got;
    const auto n = static_cast<std::size_t>(got * info.channels);
    long long block = 0;
    if (shorts) {
      for (std::size_t i = 0; i < n; ++i) block += s[i];
    } else {
      for (std::size_t i = 0; i < n; ++i) block += static_cast<long long>(f[i] * 32768);
    }
    sum += static_cast<double>(block);
  }
  sf_close(file);
  std::printf("%lld frames, sum %.0f\n", total, sum);
  return 0;
}
