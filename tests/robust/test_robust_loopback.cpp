// The robust framing through the whole receiver: in the rooms and behind the noise suppression
// that break the exact framing it keeps the text, and on noise alone it makes nothing up.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <numeric>
#include <string>
#include <vector>

#include "capture/replay_device.h"
#include "capture/sample_stream.h"
#include "channel/channel.h"
#include "channel/loopback.h"
#include "channel/noise_source.h"
#include "channel/text_distance.h"
#include "dialog/receiver_dialog.h"
#include "dialog/resources.h"
#include "synth/jittered_message.h"
#include "synth/symbol_synth.h"
#include "testing/case_name.h"
#include "testing/fake_window.h"

namespace brindlemoor {
namespace {

constexpr int32_t kRate = 44100;

// 1..255 in a scrambled order after a line of prose.
std::string TextSet() {
  std::string text = "The quick brown fox jumps over the lazy dog. 0123456789\n";
  for (int b = 1; b <= 255; ++b) text.push_back(static_cast<char>(static_cast<uint8_t>(b * 167)));
  return text;
}

// `words` words of lowercase prose and digit runs, drawn from a fixed generator: bit 5 is set in
// every byte, and a long run of such text is misread as 0 now and then in a strong room.
std::string Prose(int32_t words) {
  static constexpr std::array<const char*, 9> kWords = {
      "the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "0123456789"};
  std::string text;
  uint32_t state = 12345;
  for (int32_t w = 0; w < words; ++w) {
    state = state * 1664525u + 1013904223u;
    text += kWords[(state >> 16) % kWords.size()];
    text += ' ';
  }
  return text;
}

// What a microphone's noise suppression does to a steady 245 Hz tone: a fourth-order high-pass
// at 450 Hz (two Butterworth sections) takes the fundamental 25 dB down.
void SuppressFundamental(std::vector<double>& sound) {
  for (const double q : {0.5411961, 1.3065630}) {
    const double w = 2.0 * std::numbers::pi * 450.0 / kRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    const double b0 = (1.0 + std::cos(w)) / 2.0 / a0;
    const double b1 = -(1.0 + std::cos(w)) / a0;
    const double a1 = -2.0 * std::cos(w) / a0;
    const double a2 = (1.0 - alpha) / a0;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    for (double& x : sound) {
      const double y = b0 * x + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
      x2 = x1;
      x1 = x;
      y2 = y1;
      y1 = y;
      x = y;
    }
  }
}

// What a noise suppressor does to a harmonic that most symbols share once it has learnt it as
// steady noise: a peaking cut of `db` at harmonic 7 (1715 Hz), faded in over `fade` samples
// from `from` on, as the suppressor learns it.
void CutHarmonic7(std::vector<double>& sound, std::size_t from, std::size_t fade, double db) {
  const double a = std::pow(10.0, db / 40.0);
  const double w = 2.0 * std::numbers::pi * 1715.0 / kRate;
  const double alpha = std::sin(w) / (2.0 * 10.0);
  const double a0 = 1.0 + alpha / a;
  const double b0 = (1.0 + alpha * a) / a0;
  const double b1 = -2.0 * std::cos(w) / a0;
  const double b2 = (1.0 - alpha * a) / a0;
  const double a2 = (1.0 - alpha / a) / a0;
  double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
  for (std::size_t i = from; i < sound.size(); ++i) {
    const double y = b0 * sound[i] + b1 * x1 + b2 * x2 - b1 * y1 - a2 * y2;
    x2 = x1;
    x1 = sound[i];
    y2 = y1;
    y1 = y;
    sound[i] += std::min(1.0, static_cast<double>(i - from) / fade) * (y - sound[i]);
  }
}

// `sound` through a room of these echoes, its power kept.
std::vector<double> ThroughEchoes(const std::vector<double>& sound,
                                  const std::vector<Echo>& echoes) {
  std::vector<double> out = ApplyRoom(sound, echoes);
  const double scale = PowerKeepingScale(echoes);
  for (double& x : out) x *= scale;
  return out;
}

// A room whose reflections all arrive in phase with harmonic 6 (1470 Hz, 30 samples a period)
// and with no other harmonic: `count` echoes, each 0.15 of the direct sound, 30 k samples late
// for k = 5, 7, 11, ... (no multiple of 2 or 3). A tone's harmonic 6 grows over the whole tone.
std::vector<double> LiftHarmonic6Late(const std::vector<double>& sound, int32_t count) {
  std::vector<Echo> echoes;
  for (int64_t k = 5; static_cast<int32_t>(echoes.size()) < count; ++k) {
    if (k % 2 != 0 && k % 3 != 0) echoes.push_back(Echo{30 * k, 0.15});
  }
  return ThroughEchoes(sound, echoes);
}

Received Receive(const std::vector<double>& sound, Framing framing) {
  const std::string scratch =
      ::testing::TempDir() + "/robust-loopback-" + std::to_string(getpid()) + ".wav";
  Received received;
  IoError error;
  EXPECT_TRUE(ReceiveSound(sound, kRate, 16, scratch, received, error, framing))
      << error.description;
  return received;
}

struct RoomCase {
  const char* name;
  const SymbolTiming* timing;
  RoomKind room;
  bool suppressedFundamental;
  double snrDb;
  double exactAtLeast;          // the exact framing loses at least this share
  double robustAtMost;          // the robust one at most this
  double laterCutDb = 0.0;      // harmonic 7 cut by this much after the calibration
  int32_t jitterSamples = 0;    // each gap drawn within +-this
  double clockPercent = 0.0;    // the sender's clock runs this much fast (+) or slow (-)
  int32_t harmonic6Echoes = 0;  // echoes in phase with harmonic 6 alone (LiftHarmonic6Late)
  double echoRt60 = 0.0;        // a room of the simulator's kind, none of its presets: its RT60
  int32_t proseWords = 0;       // sends this many words of prose instead of TextSet()
  int32_t junkAtMost = -1;      // the robust framing makes up at most this many characters
  uint64_t noiseSeed = 7;       // the microphone's noise
};

class RobustLoopbackTest : public ::testing::TestWithParam<RoomCase> {};

TEST_P(RobustLoopbackTest, KeepsWhatTheExactFramingLoses) {
  const RoomCase& c = GetParam();
  const std::string text = c.proseWords > 0 ? Prose(c.proseWords) : TextSet();
  std::vector<uint8_t> message = CalibrationSequence(c.timing->calibrationRounds);
  message.insert(message.end(), text.begin(), text.end());
  ChannelSettings channel;
  channel.path.room = c.room;
  if (!std::isnan(c.snrDb)) channel.microphone.snrDb = c.snrDb;  // NaN: no noise
  channel.microphone.noiseSeed = c.noiseSeed;
  channel.path.clockOffsetPercent = c.clockPercent;
  std::vector<double> sound;
  std::string problem;
  std::vector<double> sent = JitteredMessage(message, *c.timing, kRate, c.jitterSamples);
  if (c.harmonic6Echoes > 0) sent = LiftHarmonic6Late(sent, c.harmonic6Echoes);
  // Echoes 3 dB under the direct sound, 240 a second from 5 ms on.
  if (c.echoRt60 > 0.0)
    sent = ThroughEchoes(sent, RoomEchoes({0.005, c.echoRt60, 3.0, 240.0, 19}, kRate));
  ASSERT_TRUE(ApplyChannel(sent, kRate, channel, sound, problem)) << problem;
  if (c.suppressedFundamental) SuppressFundamental(sound);
  if (c.laterCutDb != 0.0) {
    const auto calibrated =
        ScaledSamples(c.timing->leadSamples, kRate) +
        static_cast<int64_t>(message.size() - text.size()) * SymbolSamples(*c.timing, kRate);
    const auto fade = static_cast<std::size_t>(40 * SymbolSamples(*c.timing, kRate));
    CutHarmonic7(sound, static_cast<std::size_t>(calibrated), fade, c.laterCutDb);
  }
  const auto lost = [&](const std::string& received) {
    return static_cast<double>(MessageDistance(text, received)) / text.size();
  };
  const double exact = lost(Receive(sound, Framing::kExact).text);
  const std::string received = Receive(sound, Framing::kRobust).text;
  const double robust = lost(received);
  RecordProperty("exact_cer", std::to_string(exact));
  RecordProperty("robust_cer", std::to_string(robust));
  RecordProperty("robust_junk", std::to_string(JunkCharacters(text, received)));
  EXPECT_GE(exact, c.exactAtLeast);
  EXPECT_LE(robust, c.robustAtMost);
  if (c.junkAtMost >= 0) {
    EXPECT_LE(JunkCharacters(text, received), static_cast<std::size_t>(c.junkAtMost));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rooms, RobustLoopbackTest,
    ::testing::Values(
        // Measured at 20 dB, noise seed 7, exact / robust: 15.4 / 10.0 %.
        RoomCase{"StrongRoomRoomTiming", &kRoomTiming, RoomKind::kStrong, false, 20, 0.13, 0.13},
        // At 30 dB, 12.2 / 3.9 %: the room keeps harmonic 2 so loud that it hid the harmonics it
        // cuts under their thresholds, until the harmonic balance turned it down.
        RoomCase{"StrongRoomRoomTimingBalanced", &kRoomTiming, RoomKind::kStrong, false, 30, 0.1,
                 0.05},
        // At 15 dB: 43.1 / 3.5 % (4.5 % while the thresholds waited for a dozen set symbols
        // before they followed set bits that the room leaves standing low: the first words).
        RoomCase{"StrongRoomRoomTimingFirstWords", &kRoomTiming, RoomKind::kStrong, false, 15, 0.3,
                 0.04},
        // The sender's clock 0.5 % fast, at 20 dB: 17.4 / 2.9 % (4.2 % while the thresholds
        // stayed where a bare room leaves the set bits standing too low over them).
        RoomCase{"StrongRoomFastClockThresholdsSplit", &kRoomTiming, RoomKind::kStrong, false, 20,
                 0.15, 0.035, 0.0, 0, 0.5},
        // At 30 dB, the sender's clock 0.5 % slow: 21.2 / 1.3 % (1.9 % while a lone bit, a
        // calibration's step or a space, taught the set level that lowers its threshold: it
        // stands at the spectrum's peak, and set bits of the first words stayed under the
        // thresholds it held up).
        RoomCase{"StrongRoomSlowClockLoneBitsTeachNoStanding", &kRoomTiming, RoomKind::kStrong,
                 false, 30, 0.15, 0.016, 0.0, 0, -0.5},
        // Default timing, clean: 81.4 / 5.5 % (88.4 % before the calibration was found again from
        // its tones' pattern and the symbol clock set from it, 65.0 % before its tones taught the
        // in-phase tails and the decided bytes no longer did, 29.9 % while the period without
        // the tails was judged by the loudest candidates' thresholds and harmonic 9, which no
        // tone of the calibration follows, was taught only by the decided bytes, 7.7 % while
        // harmonic 8, taught one tap by the calibration, learned no further ones).
        RoomCase{"StrongRoomDefaultTimingCalibrationFramedAnew", &kDefaultTiming, RoomKind::kStrong,
                 false, NAN, 0.5, 0.08},
        // The same with the sender's clock 0.5 % slow: 71.4 / 17.0 % (44.4 % while the taps that
        // the found tones taught harmonics 5 and 6, their gains summing a little over one, took
        // no tail out at all; 25.1 % as in the row above; 13.2 % while the period without the
        // tails was decided with the steps as the loudest candidates heard them).
        RoomCase{"StrongRoomDefaultTimingSlowClockHeldTapsScaled", &kDefaultTiming,
                 RoomKind::kStrong, false, NAN, 0.5, 0.25, 0.0, 0, -0.5},
        // 4.8 % (5.5 % while the first letters after the found calibration passed as decided
        // before the harmonic balance had turned harmonic 2 down, its bit 6 hidden under it).
        RoomCase{"StrongRoomDefaultTimingSlowClockFirstLettersHeld", &kDefaultTiming,
                 RoomKind::kStrong, false, NAN, 0.5, 0.05, 0.0, 0, -0.5},
        // 400 words at 30 dB, noise seed 1, the sender's clock 0.5 % fast: 4.8 % (9.8 % while
        // harmonic 8, which the clock moves into a notch of the room's early echoes, was measured
        // only in the default window, where the tone stood barely over the earlier tones' tails;
        // its bit 6 was lost in spaces and letters alike). One recording swings: over seven noise
        // seeds at 30 and 20 dB the tone's end took the mean from 11.7 to 10.2 %.
        RoomCase{"StrongRoomDefaultTimingFastClockProseToneEnd", &kDefaultTiming, RoomKind::kStrong,
                 false, 30, 0.5, 0.07, 0.0, 0, 0.5, 0, 0.0, 400, -1, 1},
        // At 30 dB, the sender's clock 0.25 % slow: 74.6 / 7.1 % (39.2 % while the echoes,
        // scattering the onsets, made the rhythm found at the calibration's spacing a jittering
        // sender's and the clock took each onset at its window's strongest jump).
        RoomCase{"StrongRoomDefaultTimingKeptSpacingSteady", &kDefaultTiming, RoomKind::kStrong,
                 false, 30, 0.5, 0.12, 0.0, 0, -0.25},
        // At 15 dB, the sender's clock 0.5 % fast: 83.3 / 27.7 % (65.0 % while the rhythm's
        // estimate, within a twentieth of the spacing the found tones kept, stood for it and set
        // the clock again as an unknown sender's).
        RoomCase{"StrongRoomDefaultTimingNoisyKeptSpacing", &kDefaultTiming, RoomKind::kStrong,
                 false, 15, 0.5, 0.35, 0.0, 0, 0.5},
        // Clean, the sender's clock 0.5 % fast: 84.9 / 16.4 % (21.5 % while the found tones'
        // rises were taken at whole hops and the tones taught the tails only where they were
        // found, not a few hops earlier and later as well).
        RoomCase{"StrongRoomDefaultTimingFastClockTaughtAround", &kDefaultTiming, RoomKind::kStrong,
                 false, NAN, 0.5, 0.19, 0.0, 0, 0.5},
        // At 30 dB, the sender's clock 0.5 % fast: 84.9 / 14.8 % (16.1 % while harmonic 9, which
        // only the decided bytes teach, had its first tap scaled down with its further ones to
        // the feedback bound, and part of the last symbol's tail read its bit set; 12.2 / 15.8 %
        // before the harmonic balance restarted quickly with a calibration found again, which
        // costs this recording and gains the bench's 8-seed cell: 11.2 -> 10.6 %).
        RoomCase{"StrongRoomDefaultTimingFastClockFirstTapWhole", &kDefaultTiming,
                 RoomKind::kStrong, false, 30, 0.5, 0.153, 0.0, 0, 0.5},
        // Clean: 81.4 / 3.5 %, and the calibration's steps, passed as text before its tones were
        // found again, made up 3 characters before the message; now 0.
        RoomCase{"StrongRoomDefaultTimingStepsNotText", &kDefaultTiming, RoomKind::kStrong, false,
                 NAN, 0.5, 0.08, 0.0, 0, 0.0, 0, 0.0, 0, 1},
        // Clean, 400 words of prose (about 2,000 characters, two minutes): 57.5 / 7.7 % (17.6 %
        // while a space or letter misread as 0, once the taps were held, taught them as a
        // calibration's 0, every harmonic known off: the tone's own components became tails).
        RoomCase{"StrongRoomDefaultTimingLongProseHeldTaps", &kDefaultTiming, RoomKind::kStrong,
                 false, NAN, 0.5, 0.12, 0.0, 0, 0.0, 0, 0.0, 400},
        // 700 words (about 3,500 characters): 57 / 6.1 % (13.6 % while bit 5, set in every
        // byte, had its unset level learned from its misreads alone in the period without tails,
        // and its threshold rose with them to the cap).
        RoomCase{"StrongRoomDefaultTimingLongProseUnsetLevels", &kDefaultTiming, RoomKind::kStrong,
                 false, NAN, 0.5, 0.1, 0.0, 0, 0.0, 0, 0.0, 700},
        // 1,000 words, the sender's clock 0.5 % slow: 65.3 / 3.0 % (4.7 % while a word's first
        // letter, its bit 6 misread under the threshold, taught the held harmonic 8 a tail two
        // symbols back as loud as the letter there, which then took more out of the next ones).
        RoomCase{"StrongRoomDefaultTimingSlowClockProseWordStarts", &kDefaultTiming,
                 RoomKind::kStrong, false, NAN, 0.5, 0.038, 0.0, 0, -0.5, 0, 0.0, 1000},
        // At 30 dB, the sender's clock 0.25 % slow: 74.6 / 0.6 % (2.9 % while the harmonic
        // balance, once the calibration was found again, kept what the mis-framed symbols had
        // taught it and learned the text's at its usual pace: harmonic 2 stayed the loudest
        // over the text's first symbols and hid the high bits under it).
        RoomCase{"StrongRoomDefaultTimingBalanceRestarted", &kDefaultTiming, RoomKind::kStrong,
                 false, 30, 0.5, 0.015, 0.0, 0, -0.25},
        // At 20 dB, the sender's clock 0.5 % fast: 10.3 % (14.5 % while harmonics 8 and 9, right
        // after a symbol that held them, were judged in the period without tails by thresholds
        // that the part of that tail left by its prediction lifted them over).
        RoomCase{"StrongRoomDefaultTimingFastClockHeldHighBits", &kDefaultTiming, RoomKind::kStrong,
                 false, 20, 0.5, 0.12, 0.0, 0, 0.5},
        // At 30 dB: 4.8 % (5.5 % with bit 7 capped as bit 6 after a symbol that held it; 5.8 %
        // while the symbols framed between the found calibration's last tone and its finding passed
        // as decided on the clock that had missed it, the first letters read with the last step's
        // tail in them, and the last of them was dropped).
        RoomCase{"StrongRoomDefaultTimingFirstLettersDecidedAnew", &kDefaultTiming,
                 RoomKind::kStrong, false, 30, 0.5, 0.056},
        // At 20 dB (noise seed 2), the sender's clock 0.5 % slow: 7.1 % (17.0 % while harmonic 9,
        // which no found tone teaches, was judged by the usual bar: its first predictions left
        // 1.1 to 1.4 times less power, its tail stayed in, and the bits after a symbol that held
        // it, read set, taught it nothing more; 24 noise seeds: 4 better, none worse).
        RoomCase{"StrongRoomDefaultTimingSlowClockUntaughtHarmonicActs", &kDefaultTiming,
                 RoomKind::kStrong, false, 20, 0.5, 0.11, 0.0, 0, -0.5, 0, 0.0, 0, -1, 2},
        // 1.0 / 0 %.
        RoomCase{"MildRoomRoomTiming", &kRoomTiming, RoomKind::kMild, false, 20, 0.005, 0.003},
        // 50 / 0 %: the exact framing rejects every symbol whose fundamental is gone.
        RoomCase{"SuppressedFundamental", &kDefaultTiming, RoomKind::kNone, true, 20, 0.3, 0.003},
        // 21.5 / 0 %.
        RoomCase{"SuppressedFundamentalMildRoom", &kRoomTiming, RoomKind::kMild, true, 20, 0.1,
                 0.003},
        // Harmonic 7 fading 6 dB down after the calibration, 40.5 / 2.6 %: the thresholds
        // follow a harmonic's level as a noise suppressor takes it down.
        RoomCase{"HarmonicCutAfterCalibration", &kDefaultTiming, RoomKind::kNone, false, 20, 0.3,
                 0.04, -6.0},
        // A sender whose gaps jitter by up to 100 samples: 0.3 / 0.6 % (the symbol clock pulled
        // only part of the way towards each tone lost 3 to 5 %).
        RoomCase{"JitteredGapsRoomTiming", &kRoomTiming, RoomKind::kNone, false, 20, 0.0, 1.0, 0.0,
                 100},
        // Up to 200 samples, no noise: 0 / 0.3 % (0.6 % while a window whose late edge moved
        // before its jump, as the broad rhythm lobe's mean spacing was re-estimated, was dropped
        // with the jump it held).
        RoomCase{"WidelyJitteredGapsRoomTiming", &kRoomTiming, RoomKind::kNone, false, NAN, 0.0,
                 0.004, 0.0, 200},
        // The same with the sender's clock 0.5 % fast: 0 / 0 % (0.3 % while a window whose late
        // edge moved before its jump, as the rhythm stopped saying the gaps spread, lost it).
        RoomCase{"WidelyJitteredGapsFastClock", &kRoomTiming, RoomKind::kNone, false, NAN, 0.0, 0.0,
                 0.0, 200, 0.5},
        // The default timing, its gaps within 200 samples (8 to 408) and the sender's clock 0.5 %
        // fast, no noise: 0.6 / 0.3 % (7.1 % while the calibration waited for a run of four at
        // one spacing and, before the message, the clock kept the onsets steady for it, off the
        // tones).
        RoomCase{"WidelyJitteredGapsDefaultTiming", &kDefaultTiming, RoomKind::kNone, false, NAN,
                 0.0, 0.01, 0.0, 200, 0.5},
        // At 10 dB, 9.3 / 0 %: a slowly rising tone changes less from one period to the next
        // than the noise does; its energy still finds it.
        RoomCase{"LowSnrDefaultTiming", &kDefaultTiming, RoomKind::kNone, false, 10, 0.07, 0.03},
        // The same in the mild room, 12.2 / 0 % (0.96 % from the single clearest candidate
        // before the loudest ones were averaged in phase).
        RoomCase{"MildRoomLowSnrDefaultTiming", &kDefaultTiming, RoomKind::kMild, false, 10, 0.1,
                 0.003},
        // Six echoes in phase with harmonic 6 alone, no noise: 79 / 9.0 % (36 % while its
        // calibration step, loudest at the tone's end, was read there and not where the text is).
        RoomCase{"Harmonic6BuiltUpLate", &kRoomTiming, RoomKind::kNone, false, NAN, 0.5, 0.15, 0.0,
                 0, 0.0, 6},

        // Echoes 3 dB under the direct sound over 0.3 s, whose tails reach the next symbols, at
        // 30 dB: 19.0 / 1.9 % (14.1 % before the earlier symbols' tails were predicted in phase
        // and taken out, 8.7 % while a prediction had to leave half the power or less).
        RoomCase{"EchoTailsInPhaseDefaultTiming", &kDefaultTiming, RoomKind::kNone, false, 30, 0.15,
                 0.05, 0.0, 0, 0.0, 0, 0.3},
        // The same room at 20 dB, the sender's clock 0.5 % fast: 18.3 / 0.3 % (1.3 % before the
        // calibration's steps taught the tails, 8.4 % while a harmonic was judged also by the
        // predictions its first few symbols made).
        RoomCase{"EchoTailsInPhaseFastClock", &kDefaultTiming, RoomKind::kNone, false, 20, 0.15,
                 0.03, 0.0, 0, 0.5, 0, 0.3},
        // Echoes over 0.5 s at 20 dB, the sender's clock 0.5 % slow: 42.4 / 17.7 % (23.2 % while
        // a prediction had to leave two thirds of a harmonic's power or less, also where the
        // tones follow each other closely and one that took out less still helped).
        RoomCase{"EchoTailsCloseTonesWeakPrediction", &kDefaultTiming, RoomKind::kNone, false, 20,
                 0.35, 0.2, 0.0, 0, -0.5, 0, 0.5},
        // No noise, the sender's clock 0.5 % fast: 16.4 / 0 % (0.6 % while the high harmonics,
        // which text seldom leaves off, had to wait for it before their tails were taken out).
        RoomCase{"EchoTailsInPhaseTaughtByCalibration", &kDefaultTiming, RoomKind::kNone, false,
                 NAN, 0.15, 0.0, 0.0, 0, 0.5, 0, 0.3},
        // The room timing in echoes over 0.5 s, at 20 dB: 3.9 / 0 % (1.0 % while the tails were
        // predicted only late, in the gap after its short tones, too quiet to decide there).
        RoomCase{"EchoTailsInPhaseRoomTiming", &kRoomTiming, RoomKind::kNone, false, 20, 0.03,
                 0.003, 0.0, 0, 0.0, 0, 0.5},
        // The default timing in those echoes, no noise: 33.8 / 17.7 % (25.4 % while an onset whose
        // spacing moved more than 30 samples from the last one's let go of the earlier symbols'
        // tails, though the onsets kept the sender's spacing on average).
        RoomCase{"EchoTailsOnsetsAlternating", &kDefaultTiming, RoomKind::kNone, false, NAN, 0.3,
                 0.21, 0.0, 0, 0.0, 0, 0.5},
        // Echoes over 1 s, at 15 dB: 72.0 / 28.3 % (64.3 % while the echoes, scattering the jumps,
        // made the clock a jittering sender's, though its calibration, completed as framed, lay
        // on one line).
        RoomCase{"EchoTailsFramedCalibrationSteady", &kDefaultTiming, RoomKind::kNone, false, 15,
                 0.6, 0.35, 0.0, 0, 0.0, 0, 1.0},
        // Echoes over 0.7 s, no noise, the sender's clock 0.5 % slow: 65.6 / 4.5 % (7.1 % while
        // the calibration's tones, their mean share of the harmonics' power under a half in the
        // tails, were not found again).
        RoomCase{"EchoTailsCalibrationFoundInTails", &kDefaultTiming, RoomKind::kNone, false, NAN,
                 0.6, 0.055, 0.0, 0, -0.5, 0, 0.7},
        // The room timing in echoes over 0.8 s, at 20 dB, the sender's clock 0.5 % slow: 2.3 /
        // 0 % (0.3 % while a harmonic not yet trusted kept its tail after a symbol that held it
        // far louder than usual, as a lone bit is sent).
        RoomCase{"EchoTailsLoudAfterLoneBit", &kRoomTiming, RoomKind::kNone, false, 20, 0.015, 0.0,
                 0.0, 0, -0.5, 0, 0.8}),
    brindlemoor::testing::CaseName());

struct SilentCase {
  const char* name;
  std::vector<double> (*sound)();
};

// A minute of white noise at three levels, from a hiss to a loud fan (the exact framing makes up
// hundreds of characters at the two louder levels).
std::vector<double> Noise(double level) {
  NoiseSource noise(static_cast<uint64_t>(level * 1000));
  std::vector<double> sound(static_cast<std::size_t>(60 * kRate));
  for (double& x : sound) x = std::clamp(level * noise.NextGaussian(), -1.0, 1.0);
  return sound;
}

// A minute of B3 notes (246.9 Hz, a symbol's pitch from a sender 0.8 % fast), eight harmonics
// falling as 1/k, a quarter second each and decaying, at an uneven rhythm: each repeats at 45
// samples like a symbol, and before the gate they made up 85 characters.
std::vector<double> NotesNearTheGrid() {
  std::vector<double> sound(static_cast<std::size_t>(60 * kRate));
  const std::array<double, 6> gaps{0.5, 0.9, 0.35, 1.3, 0.7, 0.45};
  const auto length = static_cast<std::size_t>(kRate / 4);
  std::size_t note = 0;
  for (double start = 0.1; start < 59.0; start += gaps[note++ % gaps.size()]) {
    const auto first = static_cast<std::size_t>(start * kRate);
    for (std::size_t n = 0; n < length && first + n < sound.size(); ++n) {
      const double t = static_cast<double>(n) / kRate;
      double x = 0.0;
      for (int k = 1; k <= 8; ++k)
        x += 0.05 / k * std::sin(2.0 * std::numbers::pi * k * 246.94 * t);
      sound[first + n] += x * std::exp(-3.0 * static_cast<double>(n) / length);
    }
  }
  return sound;
}

class RobustMadeUpTest : public ::testing::TestWithParam<SilentCase> {};

// Where no symbol sounds, the robust framing makes up no character at all.
TEST_P(RobustMadeUpTest, MakesUpNothing) {
  const Received received = Receive(GetParam().sound(), Framing::kRobust);
  EXPECT_EQ(received.text, "");
  EXPECT_EQ(received.flags, "");
}

INSTANTIATE_TEST_SUITE_P(WithoutSymbols, RobustMadeUpTest,
                         ::testing::Values(SilentCase{"Hiss", [] { return Noise(0.01); }},
                                           SilentCase{"Noise", [] { return Noise(0.1); }},
                                           SilentCase{"LoudFan", [] { return Noise(0.4); }},
                                           SilentCase{"NotesNearTheGrid", NotesNearTheGrid}),
                         brindlemoor::testing::CaseName());

struct ShortCase {
  const char* name;
  const char* text;
  const SymbolTiming* timing;
  double pause;  // seconds of silence before each character; 0: the text as one message
  RoomKind room = RoomKind::kNone;
};

class RobustShortTest : public ::testing::TestWithParam<ShortCase> {};

// Messages too short for a run of symbols at a steady spacing, and characters sent one at a
// time with long pauses (someone typing), still come out, without a calibration.
TEST_P(RobustShortTest, ShortMessagesAndLoneCharactersDecode) {
  const ShortCase& c = GetParam();
  const std::string text = c.text;
  std::vector<double> sound(static_cast<std::size_t>(kRate / 2));
  for (std::size_t i = 0; i<text.size(); i += c.pause> 0.0 ? 1 : text.size()) {
    const std::string part = c.pause > 0.0 ? text.substr(i, 1) : text;
    sound.resize(sound.size() + static_cast<std::size_t>(c.pause * kRate));
    const std::vector<uint8_t> bytes(part.begin(), part.end());
    const std::vector<double> tones = SynthesiseMessage(bytes, *c.timing, kRate);
    sound.insert(sound.end(), tones.begin(), tones.end());
  }
  sound.resize(sound.size() + static_cast<std::size_t>(kRate));
  if (c.room != RoomKind::kNone) {
    ChannelSettings channel;
    channel.path.room = c.room;
    std::vector<double> heard;
    std::string problem;
    ASSERT_TRUE(ApplyChannel(sound, kRate, channel, heard, problem)) << problem;
    sound = std::move(heard);
  }
  EXPECT_EQ(Receive(sound, Framing::kRobust).text, text);
}

INSTANTIATE_TEST_SUITE_P(
    FewerThanARun, RobustShortTest,
    ::testing::Values(
        ShortCase{"OneCharacter", "A", &kDefaultTiming, 0.0},
        ShortCase{"TwoCharacters", "Hi", &kDefaultTiming, 0.0},
        ShortCase{"ThreeCharactersRoomTiming", "Hey", &kRoomTiming, 0.0},
        ShortCase{"Typing", "typed", &kDefaultTiming, 0.7},
        ShortCase{"BeaconEverySecondsRoomTiming", "ab", &kRoomTiming, 2.5},
        // In a room: no echo is taken for a character, and a message whose first
        // onsets wander too much for a run still comes out.
        ShortCase{"FiveCharactersMildRoom", "Hello", &kDefaultTiming, 0.0, RoomKind::kMild},
        ShortCase{"WordsMildRoom", "Hello world", &kDefaultTiming, 0.0, RoomKind::kMild}),
    brindlemoor::testing::CaseName());

// The framing reads the sound as one stream, so where ticks fall cannot change what it decodes:
// ticks that find a block each, five blocks each or a whole backlog give the same text (the
// live receiver's ticks against a recording's).
TEST(RobustTickTest, TicksWhereverTheyFallDecodeTheSame) {
  std::vector<uint8_t> message = CalibrationSequence(1);
  const std::string text = TextSet();
  message.insert(message.end(), text.begin(), text.end());
  const std::vector<uint8_t> captured =
      QuantiseToU8(SynthesiseMessage(message, kRoomTiming, 11025));
  std::vector<std::string> decoded;
  for (const uint32_t blocksPerTick : {1u, 5u, 120u}) {
    MemorySampleStream stream(captured);
    ReplayDevice device(stream);
    testing::FakeWindow window;
    testing::MemoryTextOutput files;
    ReceiverDialog dialog(window, device, files);
    dialog.SetFraming(Framing::kRobust);
    dialog.OnInitDialog();
    ASSERT_TRUE(dialog.TimerRunning());
    while (!device.Finished() || dialog.Capture().blocksConsumed < device.BlocksDelivered()) {
      device.CompleteBlocks(device.BlocksDelivered() + blocksPerTick);
      dialog.OnTimer(kReceiveTimerId);
    }
    dialog.OnDestroy();
    decoded.push_back(files.receiveText);
  }
  EXPECT_EQ(decoded[0], text);
  EXPECT_EQ(decoded[1], decoded[0]);
  EXPECT_EQ(decoded[2], decoded[0]);
}

}  // namespace
}  // namespace brindlemoor
