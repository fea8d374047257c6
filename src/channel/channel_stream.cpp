#include "channel/channel_stream.h"

#include <optional>

#include "channel/room_reverb.h"
#include "channel/speaker_filter.h"
#include "files/resampler.h"

namespace brindlemoor {
namespace {

// Resampled samples made per call at most; the resampler is called until it makes none.
constexpr std::size_t kResampledBlock = 8192;

}  // namespace

struct ChannelStream::Impl {
  // Runs `sent` (after the clock) through the high cut and gain, then hears it.
  void Send(std::span<const float> sent, std::vector<double>& out);
  void Send(std::span<const double> sent, std::vector<double>& out);
  // Runs the direct sound in `direct` through the room and microphone, appending to `out`.
  void Hear(std::vector<double>& out);

  std::unique_ptr<Resampler> clock;  // null without a clock offset
  std::vector<float> clockIn;
  std::vector<float> clockOut;
  std::optional<HighCutFilter> highCut;
  double gain = 1.0;
  std::vector<Echo> echoes;
  double roomScale = 1.0;
  std::size_t tail = 0;  // the longest echo's delay
  // The direct sound's last `tail` samples, then the block being heard.
  std::vector<double> line;
  std::vector<double> heard;
  std::optional<MicrophoneStage> microphone;
};

void ChannelStream::Impl::Send(std::span<const float> sent, std::vector<double>& out) {
  for (const float x : sent) line.push_back(gain * (highCut ? highCut->Next(x) : x));
  Hear(out);
}

void ChannelStream::Impl::Send(std::span<const double> sent, std::vector<double>& out) {
  for (const double x : sent) line.push_back(gain * (highCut ? highCut->Next(x) : x));
  Hear(out);
}

void ChannelStream::Impl::Hear(std::vector<double>& out) {
  const std::size_t count = line.size() - tail;
  const double* direct = line.data() + tail;
  heard.assign(direct, direct + count);
  // As ApplyRoom adds them: the direct sound, then each echo in order (echo by echo over the
  // block, which vectorises). Before the start the line holds silence.
  for (const Echo& echo : echoes) {
    const double* from = direct - echo.delay;
    for (std::size_t i = 0; i < count; ++i) heard[i] += echo.gain * from[i];
  }
  for (const double x : heard) out.push_back(microphone->Next(echoes.empty() ? x : x * roomScale));
  line.erase(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(count));
}

ChannelStream::ChannelStream() : impl(std::make_unique<Impl>()) {}
ChannelStream::~ChannelStream() = default;

std::unique_ptr<ChannelStream> ChannelStream::Create(int32_t sampleRate,
                                                     const ChannelSettings& settings,
                                                     double sentTonePower, std::string& error) {
  std::unique_ptr<ChannelStream> stream(new ChannelStream());
  Impl& impl = *stream->impl;
  const AcousticPath& path = settings.path;
  if (path.clockOffsetPercent != 0.0) {
    IoError problem;
    impl.clock = Resampler::Create(1.0 + path.clockOffsetPercent / 100.0, 1.0, problem);
    if (!impl.clock) {
      error = problem.description;
      return nullptr;
    }
    impl.clockOut.resize(kResampledBlock);
  }
  if (path.highCutHz > 0.0) impl.highCut.emplace(path.highCutHz, sampleRate);
  impl.gain = path.gain;
  double tonePower = sentTonePower * path.gain * path.gain;
  if (path.room != RoomKind::kNone) {
    impl.echoes = RoomEchoes(RoomPreset(path.room), sampleRate);
    impl.roomScale = PowerKeepingScale(impl.echoes);
    tonePower *= impl.roomScale * impl.roomScale;
    if (!impl.echoes.empty()) impl.tail = static_cast<std::size_t>(impl.echoes.back().delay);
  }
  impl.microphone.emplace(settings.microphone, tonePower, sampleRate);
  impl.line.assign(impl.tail, 0.0);
  return stream;
}

void ChannelStream::Process(std::span<const double> in, std::vector<double>& out) {
  Impl& self = *impl;
  out.clear();
  if (!self.clock) {
    self.Send(in, out);
    return;
  }
  self.clockIn.assign(in.begin(), in.end());
  std::size_t offset = 0;
  for (;;) {
    std::size_t used = 0;
    const std::size_t made =
        self.clock->Process(self.clockIn.data() + offset, self.clockIn.size() - offset, used,
                            self.clockOut.data(), self.clockOut.size());
    offset += used;
    self.Send(std::span<const float>(self.clockOut.data(), made), out);
    if (made == 0 && (used == 0 || offset == self.clockIn.size())) break;
  }
}

void ChannelStream::Finish(std::vector<double>& out) {
  Impl& self = *impl;
  out.clear();
  if (self.clock) {
    while (const std::size_t made = self.clock->Flush(self.clockOut.data(), self.clockOut.size())) {
      self.Send(std::span<const float>(self.clockOut.data(), made), out);
    }
  }
  // The room rings on after the sound: the longest echo's delay of silence in, past the filter.
  self.line.resize(self.line.size() + self.tail, 0.0);
  self.Hear(out);
}

}  // namespace brindlemoor
