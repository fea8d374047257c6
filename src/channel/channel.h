// The channel between a sender's loudspeaker and a receiver's sound card, in the order sound
// meets it: the sender's clock (resampling), the loudspeaker's high cut, the room (echoes), the
// distance (gain), then at the
// microphone additive white noise, a DC offset and an 8-bit converter. The first three act on
// the sound as it travels (AcousticPath); the last three are the receiving side (Microphone), so
// that one propagated sound can be received at many noise levels without repeating the costly
// first half.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "channel/noise_source.h"
#include "channel/room_reverb.h"

namespace brindlemoor {

struct AcousticPath {
  double clockOffsetPercent = 0.0;  // see clock_offset.h for the sign
  RoomKind room = RoomKind::kNone;
  double gain = 1.0;  // linear, applied to direct sound and echoes alike
  // Corner of the loudspeaker's high cut (speaker_filter.h) in Hz; 0: none.
  double highCutHz = 0.0;
};
// A room passes the sound's power on unchanged: direct sound and echoes are scaled together so
// that their energies add up to the sound's.

struct Microphone {
  // Signal-to-noise ratio in dB of the direct sound's tones (MeasureTonePower) to white Gaussian
  // noise within the receiver's band, 0 .. 5512.5 Hz (half its 11025 Hz rate); none: no noise.
  // At a higher rate the noise is white over the whole band and so stronger in total, by
  // rate / 11025, and the receiver's resampling removes what lies above its band: whatever the
  // recording's rate, the receiver meets the same noise.
  std::optional<double> snrDb;
  uint64_t noiseSeed = 1;
  double dcOffset = 0.0;  // added to every sample, full scale = 1.0
  // Rounds every sample to the 256 levels of an unsigned 8-bit converter, (k - 128) / 128 for
  // k = 0 .. 255, clipping at the ends.
  bool quantise8Bit = false;
};

struct ChannelSettings {
  AcousticPath path;
  Microphone microphone;
};

struct PropagatedSound {
  std::vector<double> samples;  // at the microphone, before noise
  int32_t sampleRate = 0;
  // Mean square of the direct sound (without echoes) over its tone samples: the signal that
  // noise is measured against. Echoes are interference, not signal, so they do not raise it.
  double tonePower = 0.0;
};

bool PropagateSound(std::span<const double> sent, int32_t sampleRate, const AcousticPath& path,
                    PropagatedSound& out, std::string& error);

// The receiving side sample by sample, in order: noise, DC offset, 8-bit converter. The noise's
// standard deviation follows from `tonePower` (at the microphone) and the SNR; a sound without
// tones (tone power 0) gets no noise.
class MicrophoneStage {
 public:
  MicrophoneStage(const Microphone& microphone, double tonePower, int32_t sampleRate);
  double Next(double x);

 private:
  Microphone microphone;
  double sigma = 0.0;  // 0: no noise
  NoiseSource noise;
};

// The noise's standard deviation follows from the tone power and the SNR; a sound without tones
// (tone power 0) gets no noise.
std::vector<double> CaptureSound(const PropagatedSound& sound, const Microphone& microphone);

// Both halves; false with `error` set only when resampling fails.
bool ApplyChannel(std::span<const double> sent, int32_t sampleRate, const ChannelSettings& settings,
                  std::vector<double>& received, std::string& error);

}  // namespace brindlemoor
