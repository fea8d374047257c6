// The power of the tones in a signal, against which added noise is scaled. Averaging over the
// whole signal would count the silent gaps between symbols and the lead and tail silences as
// signal, understating the noise a receiver really faces during a tone; so only the samples
// where a tone sounds are averaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace brindlemoor {

struct TonePower {
  double meanSquare = 0.0;  // over the tone samples; 0 when there are none
  std::size_t toneSamples = 0;
};

// A sample belongs to a tone when non-zero samples lie within half a fundamental period
// (sampleRate / 245 / 2 samples) before it and after it, itself included on both sides: the
// envelope of a symbol is non-zero there, even where its waveform crosses zero, and the silence
// around a tone is not counted. Exact zeros mark silence; the signal must be the
// clean one, before noise is added.
TonePower MeasureTonePower(std::span<const double> clean, int32_t sampleRate);

// The same measure over a signal given in blocks of any size, in memory that does not grow with
// its length: a sample is judged once the half period after it has been seen.
class ToneMeter {
 public:
  explicit ToneMeter(int32_t sampleRate);
  void Add(std::span<const double> block);
  // After the last block.
  TonePower Finish();

 private:
  struct Sample {
    double value = 0.0;
    bool soundBefore = false;  // something sounds within reach before it, itself included
  };
  // Judges sample `index`, the oldest in `recent`.
  void Judge(std::size_t index);

  std::size_t reach;
  std::vector<Sample> recent;  // the last reach + 1 samples, by index modulo their count
  std::size_t seen = 0;        // samples added so far
  std::size_t judged = 0;      // samples judged so far
  std::size_t lastSound = 0;   // the last non-zero sample's index + 1; 0 before any
  double sum = 0.0;
  TonePower power;
};

}  // namespace brindlemoor
