#include "channel/channel.h"

#include <algorithm>
#include <cmath>

#include "capture/eight_bit_quantisers.h"
#include "channel/clock_offset.h"
#include "channel/noise_source.h"
#include "channel/speaker_filter.h"
#include "channel/tone_power.h"
#include "convention/symbol_convention.h"

namespace brindlemoor {

namespace {

// The receiver hears up to half its rate.
constexpr double kReceiverBandHz = kSampleRate / 2.0;

}  // namespace

bool PropagateSound(std::span<const double> sent, int32_t sampleRate, const AcousticPath& path,
                    PropagatedSound& out, std::string& error) {
  // Measured on the sound as sent: resampling smears faint ringing into the silences, which
  // would count as tone, while it leaves the tones' power as it is.
  out.tonePower = MeasureTonePower(sent, sampleRate).meanSquare * path.gain * path.gain;
  out.sampleRate = sampleRate;
  std::vector<double> direct;
  if (!ApplyClockOffset(sent, path.clockOffsetPercent, direct, error)) return false;
  if (path.highCutHz > 0.0) direct = ApplyHighCut(direct, path.highCutHz, sampleRate);
  for (double& x : direct) x *= path.gain;
  if (path.room == RoomKind::kNone) {
    out.samples = std::move(direct);
    return true;
  }
  // The room spreads the sound's power over the direct path and the echoes without adding to
  // it: everything is scaled by 1 / sqrt(1 + echo energy), the direct sound included.
  const std::vector<Echo> echoes = RoomEchoes(RoomPreset(path.room), sampleRate);
  const double scale = PowerKeepingScale(echoes);
  out.samples = ApplyRoom(direct, echoes);
  for (double& x : out.samples) x *= scale;
  out.tonePower *= scale * scale;
  return true;
}

MicrophoneStage::MicrophoneStage(const Microphone& microphone, double tonePower, int32_t sampleRate)
    : microphone(microphone), noise(microphone.noiseSeed) {
  if (microphone.snrDb && tonePower > 0.0) {
    const double band = std::max(1.0, sampleRate / 2.0 / kReceiverBandHz);
    sigma = std::sqrt(band * tonePower / std::pow(10.0, *microphone.snrDb / 10.0));
  }
}

double MicrophoneStage::Next(double x) {
  if (sigma > 0.0) x += sigma * noise.NextGaussian();
  if (microphone.dcOffset != 0.0) x += microphone.dcOffset;
  if (microphone.quantise8Bit) x = QuantiseConverterLevel(x);
  return x;
}

std::vector<double> CaptureSound(const PropagatedSound& sound, const Microphone& microphone) {
  MicrophoneStage stage(microphone, sound.tonePower, sound.sampleRate);
  std::vector<double> out = sound.samples;
  for (double& x : out) x = stage.Next(x);
  return out;
}

bool ApplyChannel(std::span<const double> sent, int32_t sampleRate, const ChannelSettings& settings,
                  std::vector<double>& received, std::string& error) {
  PropagatedSound sound;
  if (!PropagateSound(sent, sampleRate, settings.path, sound, error)) return false;
  received = CaptureSound(sound, settings.microphone);
  return true;
}

}  // namespace brindlemoor
