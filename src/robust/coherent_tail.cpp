#include "robust/coherent_tail.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "convention/symbol_convention.h"

namespace brindlemoor::robust {
namespace {

// How much each symbol learned from weighs against the next one's (about 50 symbols' memory).
constexpr double kForget = 0.98;
// Taps are judged by their predictions once learned from as many symbols as the default window
// takes to act.
constexpr int32_t kLeastLearned = TailWindow{}.leastLearned;
// Until its prediction can be judged so, a harmonic's tail is taken out once it was known off
// (a calibration's step) after a symbol that held it, each such step fitting one tap, where the
// power there is this many times the noise's (10 dB): a weaker tail, fitted to one symbol, is
// taken out with as much noise as it leaves (a furnished room at 10 and 15 dB lost characters
// with 8 and 6 times). 16 times left in tails that a long reverberation leaves well over the
// noise at 15 to 30 dB, such as a lone bit 5's (a space) in the next letter.
constexpr int32_t kLeastKnown = 1;
constexpr double kLeastKnownOverNoise = 10.0;
// Taps whose gains sum to more than this feed the errors of their predictions, through the
// earlier symbols' components, back into the next ones, which grow from symbol to symbol.
constexpr double kMostTapSum = 1.0;
// Nor where its tail stays this far under its level when on (25 dB): without a room to speak of.
constexpr double kLeastTail = 0.003;
// A harmonic decided off that is this many times stronger than the prediction usually leaves.
constexpr double kOutlier = 16.0;
// Onsets whose spacing moves by more than this (in samples) from the last one no longer line up
// with the earlier symbols' tails.
constexpr int64_t kSpacingTolerance = 2 * kHop;
// Unless it stays this close to the spacings' mean: in a long reverberation the onsets that a
// steady sender's tones make fall early and late by turns (echoes scatter the jumps the clock
// takes), their spacings alternating by up to 150 samples while the tones keep theirs.
constexpr double kMeanSpacingTolerance = 8.0 * kHop;
// How far the mean follows each spacing.
constexpr double kMeanSpacingPull = 0.1;
// A loud tail: the last symbol held the harmonic at 1.6 times its usual level when on or more
// (in power, 2.5 times: a lone bit 5 or 7 after a space or 0x80 stands 2.4 to 3 times over it in
// the strong room, harmonic 6 in text up to 1.1 times; 3 times left more of harmonic 8's tails
// after letters of two or three bits in SoX's reverb 100, 2 times lost characters in the strong
// room), and the predicted tail holds 4 times the power the prediction
// usually leaves where the harmonic is off.
constexpr double kLoudLast = 2.5;
constexpr double kLoudOverResidual = 4.0;
// A predicted tail at this share of the measured component's power or more stands against it
// (0.85 to 1.0 alike; 0.7 lost characters in the strong room with the room timing).
constexpr double kCancellingShare = 0.9;
// Where the other harmonics' taps are held to what a found calibration taught, a harmonic that
// no tone taught (harmonic 9, the last step) learns only from the bits decided off: once its
// prediction is judged not to act, the bits after a symbol that held it are read set and teach
// nothing, and it never comes back. It acts while its prediction leaves this many times less
// power where it is off (0.8 dB; the usual 1.5 held harmonic 9 back for a whole message whose
// first judged symbols left 1.1 to 1.4: clock -0.5 %, 20 dB, bit 7 read set where off 28 of 127
// times in one recording, 7 with this). 1.0 to 1.3 alike on the strong room's cells.
constexpr double kLeastUntaughtGain = 1.2;
// Keeps the taps' equations solvable where an earlier symbol was always off.
constexpr double kRidge = 1e-3;
// A calibration teaches the harmonic of its last step but one a single tap (the symbol before),
// and the tail from further back stays: in the strong room the sent bytes teach harmonic 8
// taps of 0.78, 0.34 and 0.15. Held there, it learns its further taps from decided bytes, from
// this many symbols on, more strongly kept small: a wrong decision moves them less. Fitted to
// 10 symbols, the further taps followed the strong room's first misread bytes: with the default
// timing, clock -0.5 to +0.5 % in quarters, clean to 10 dB, 6 seeds, 20 lost 414 points summed
// against 431 (30: 412, but a cell 0.9 worse; 12 / 16: 3 seeds, 2 to 2.5 fewer of 128).
constexpr int32_t kLeastFurtherLearned = 20;
constexpr double kFurtherRidge = 1e-2;
// Until then, the tap two symbols back is learned alone from the symbols where the harmonic was
// off after a lone symbol holding it two back (off three back, on two back, off one back):
// there the tail from two back sounds by itself, and one tap fitted to two such symbols
// predicts it well. In the strong room with the sender's clock 0.5 % fast, harmonic 8 kept its
// single taught tap for the first 130 bytes of the bench's text, and half the bits 6 lost there
// followed a symbol two back that held them. Learned from two such symbols, the strong room's
// cells (default timing, clock -0.5 to +0.5 %, clean to 15 dB, 6 seeds) lost 59.13 points
// against 61.79 (from one: 60.06; three: 59.62). Learned from any symbol after one that was off
// (two back on, one back off), 57.85, but prose lost 338 characters more in a ten-minute
// recording at +0.5 %: there a comma's space follows a word whose letters all hold harmonic 8,
// and the one tap took in the tails from further back. Prose never sends the lone pattern.
constexpr int32_t kLeastSecondLearned = 2;
// Once they act, the further taps learn from no symbol whose harmonic the prediction leaves with
// this many times the power it usually leaves where they learned: a set bit misread. In prose,
// harmonic 8 is off only in spaces and digits, and a word's first letter misread (its bit 6
// under the threshold) was learned as the tail of the letter two back, as loud as that letter:
// the tap grew and took more out of the next word's first letter (ten minutes of prose, a strong
// room, clock 0: the tail two back predicted at 1.9 times its measure, 19 % of the first letters
// with bit 6 lost). 4 / 6 / 9 / 16 times, with the unclear bits left out: nine long recordings
// 6,973 / 6,979 / 8,990 / 9,524 wrong characters (10,010 with neither check); the quick grid
// 477.48 with 4, a cell 0.6 worse.
constexpr double kFurtherOutlier = 6.0;
// A held harmonic taught more than one tap is let go of once its held prediction, judged on this
// many symbols where it was decided off clearly (not near its threshold: a set bit misread),
// leaves more than 1 / kLeastHeldGain of the power there. In the close shoebox rooms (0.25 to
// 0.4 s, 0.7 to 1.2 m, default timing) the calibration had to be found again in most
// recordings, and the taps its steps taught missed the text's tails: a harmonic sent unset
// after a symbol that held it was read set 2,403 times of 9,418 (harmonic 6) and 1,535 of
// 11,247 (harmonic 3) with the held tail taken out, 84 of 84 in one recording; 6,436 of the
// 9,942 such bits misread there. Let go of so, those rooms' 216 recordings lost 21,908 wrong
// characters against 23,904 (1.0: 22,088; 1.4: 21,960; 1.5 lost 821 more in the strong room's
// prose at +0.5 %). Letting every held harmonic learn from decided bytes made that prose nine
// times worse. Harmonic 8, taught a single tap, learns its further taps already and is judged
// on the few spaces and digits where it is off, many of them first letters misread; with the
// near-threshold bits judged, harmonic 7 was let go of in that prose after 11 symbols and a
// recording lost 933 characters more.
constexpr int32_t kLeastHeldJudged = 10;
constexpr double kLeastHeldGain = 1.2;
constexpr uint32_t kEveryBit = (1u << kBitCount) - 1u;
// A harmonic's separation counts once it was decided set and unset in as many symbols' weight.
constexpr double kLeastSeparationWeight = 10.0;

using Complex = CoherentTail::Complex;

Complex Predict(const CoherentTail::Taps& taps, const std::array<Complex, kTailSymbols>& earlier) {
  Complex sum{};
  for (std::size_t k = 0; k < taps.size(); ++k) sum += taps[k] * earlier[k];
  return sum;
}

using Normal = std::array<std::array<Complex, kTailSymbols>, kTailSymbols>;

// Solves the taps from `first` on from their least-squares equations, with a ridge of `ridge`
// times their trace; the taps before `first` stay.
void SolveTaps(const Normal& normal, const CoherentTail::Taps& cross, std::size_t first,
               double ridge, CoherentTail::Taps& taps) {
  std::array<std::array<Complex, kTailSymbols + 1>, kTailSymbols> m{};
  double trace = 0.0;
  for (std::size_t j = first; j < kTailSymbols; ++j) trace += normal[j][j].real();
  if (trace <= 0.0) return;
  for (std::size_t j = first; j < kTailSymbols; ++j) {
    for (std::size_t k = first; k < kTailSymbols; ++k) m[j][k] = normal[j][k];
    m[j][j] += ridge * trace;
    m[j][kTailSymbols] = cross[j];
  }
  // Gaussian elimination: the matrix is Hermitian and, with the ridge, positive definite.
  for (std::size_t i = first; i < kTailSymbols; ++i) {
    for (std::size_t j = i + 1; j < kTailSymbols; ++j) {
      const Complex f = m[j][i] / m[i][i];
      for (std::size_t k = i; k <= kTailSymbols; ++k) m[j][k] -= f * m[i][k];
    }
  }
  for (std::size_t i = kTailSymbols; i-- > first;) {
    Complex sum = m[i][kTailSymbols];
    for (std::size_t k = i + 1; k < kTailSymbols; ++k) sum -= m[i][k] * taps[k];
    taps[i] = sum / m[i][i];
  }
}

// Adds a symbol whose harmonic, off, measured `y` after the earlier components `earlier` to the
// taps' least-squares sums, the older symbols forgotten by kForget.
void Accumulate(Normal& normal, CoherentTail::Taps& cross,
                const std::array<Complex, kTailSymbols>& earlier, Complex y) {
  for (std::size_t j = 0; j < kTailSymbols; ++j) {
    for (std::size_t k = 0; k < kTailSymbols; ++k)
      normal[j][k] = kForget * normal[j][k] + std::conj(earlier[j]) * earlier[k];
    cross[j] = kForget * cross[j] + std::conj(earlier[j]) * y;
  }
}

// Makes `own` the newest earlier component.
void Push(std::array<Complex, kTailSymbols>& earlier, Complex own) {
  for (std::size_t k = kTailSymbols - 1; k > 0; --k) earlier[k] = earlier[k - 1];
  earlier[0] = own;
}

// The power of the earlier symbols' components, none where every one was off.
double EarlierPower(const std::array<Complex, kTailSymbols>& earlier) {
  double power = 0.0;
  for (const Complex& c : earlier) power += std::norm(c);
  return power;
}

double TapSum(const CoherentTail::Taps& taps) {
  double sum = 0.0;
  for (const Complex& tap : taps) sum += std::abs(tap);
  return sum;
}

// A prediction whose taps sum to `tapSum`, over kMostTapSum, scaled down to the bound. With
// `firstWhole` the symbol just before keeps its tap (when under the bound) and only the further
// taps are scaled, as far as the bound leaves them: a harmonic that no calibration's tone taught
// (harmonic 9, the last step) learns its taps from decided bytes alone, its first (0.6 to 0.7 in
// the strong room) carrying most of its tail; scaled with the others, part of the last
// symbol's tail stayed in and read the bit set (the sender's clock 0.5 % fast, clean: bit 7 read
// set where off 20 times a message, nearly always right after a symbol that held it; with the
// first tap kept whole, 14).
// The taught harmonics keep scaling all their taps: harmonic 8's single taught tap, kept whole,
// lost 14 points over 25 strong-room cells (16 seeds).
Complex BoundedPrediction(const CoherentTail::Taps& taps,
                          const std::array<Complex, kTailSymbols>& earlier, Complex predicted,
                          double tapSum, bool firstWhole) {
  const double first = std::abs(taps[0]);
  if (!firstWhole || first >= kMostTapSum) return predicted * (kMostTapSum / tapSum);
  const Complex head = taps[0] * earlier[0];
  return head + (predicted - head) * ((kMostTapSum - first) / (tapSum - first));
}

}  // namespace

bool CoherentTail::Trusted(const Harmonic& harmonic) const {
  if (harmonic.judgedWeight > 0.0) {
    const bool close = meanSpacing > 0.0 && meanSpacing < kCloseSpacing;
    const double bar = close ? std::min(window.leastGain, window.closeGain) : window.leastGain;
    const double least =
        holdKnown && harmonic.holding == 0 ? std::min(bar, kLeastUntaughtGain) : bar;
    return harmonic.judgedRaw > least * harmonic.judgedResidual;
  }
  return window.knownActs && harmonic.known >= kLeastKnown &&
         harmonic.rawPower * harmonic.noiseWeight >
             kLeastKnownOverNoise * harmonic.noisePower * harmonic.weight;
}

bool CoherentTail::LoudTail(const Harmonic& harmonic, Complex predicted) const {
  return window.loudTailGain > 0.0 && harmonic.learned >= window.leastLearned &&
         harmonic.judgedWeight > 0.0 &&
         harmonic.judgedRaw > window.loudTailGain * harmonic.judgedResidual &&
         std::norm(harmonic.earlier[0]) * harmonic.onWeight >= kLoudLast * harmonic.onPower &&
         std::norm(predicted) * harmonic.judgedWeight >=
             kLoudOverResidual * harmonic.judgedResidual;
}

bool CoherentTail::CancellingTail(const Harmonic& harmonic, Complex predicted,
                                  Complex measured) const {
  if (window.cancellingGain <= 0.0 || harmonic.earlier[0] == Complex{} ||
      harmonic.judgedWeight <= 0.0 ||
      harmonic.judgedRaw <= window.cancellingGain * harmonic.judgedResidual)
    return false;
  return (measured * std::conj(predicted)).real() < 0.0 ||
         std::norm(predicted) >= kCancellingShare * std::norm(measured);
}

void CoherentTail::HoldKnown(bool hold) {
  holdKnown = hold;
  for (Harmonic& harmonic : harmonics) {
    harmonic.heldRaw = 0.0;
    harmonic.heldResidual = 0.0;
    harmonic.heldJudged = 0;
    harmonic.released = false;
  }
}

CoherentTail::CoherentTail(const TailWindow& window) : window(window) { Reset(); }

void CoherentTail::Reset() {
  harmonics = {};
  measured = {};
  predicted = {};
  cleaned = {};
  deciding = {};
  loudOnly = {};
  energy = 0.0;
  lastOnset = -1;
  lastSpacing = -1;
  meanSpacing = -1.0;
  holdKnown = false;
}

bool CoherentTail::Clean(const SampleHistory& history, int64_t onset, PeriodSamples& period,
                         int32_t offset) {
  const int64_t spacing = lastOnset >= 0 ? onset - lastOnset : -1;
  const bool spaced = spacing > 0 && spacing <= kLongestSpacing;
  const bool aligned =
      spaced && (lastSpacing < 0 || std::llabs(spacing - lastSpacing) <= kSpacingTolerance ||
                 (meanSpacing > 0.0 &&
                  std::fabs(static_cast<double>(spacing) - meanSpacing) <= kMeanSpacingTolerance));
  if (spaced) {
    meanSpacing = meanSpacing > 0.0 ? meanSpacing + kMeanSpacingPull *
                                                        (static_cast<double>(spacing) - meanSpacing)
                                    : static_cast<double>(spacing);
  }
  if (!aligned) {
    for (Harmonic& harmonic : harmonics) harmonic.earlier = {};
  }
  lastSpacing = spacing;
  lastOnset = onset;

  const int64_t start = onset + offset;
  PeriodSamples sum{};
  for (int32_t p = 0; p < window.periods; ++p) {
    PeriodSamples heard{};
    history.Read(start + p * kPeriod, kPeriod, heard.data());
    for (std::size_t n = 0; n < sum.size(); ++n) sum[n] += heard[n];
  }
  for (std::size_t n = 0; n < sum.size(); ++n) period[n] = sum[n] / window.periods;
  energy = 0.0;
  for (const double x : period) energy += x * x;
  bool any = false;
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto b = static_cast<std::size_t>(bit);
    const int64_t h = bit + kFirstBitHarmonic;
    measured[b] = roots.Measure(period, h, start) / static_cast<double>(kPeriod);
    Harmonic& harmonic = harmonics[b];
    predicted[b] = Predict(harmonic.taps, harmonic.earlier);
    // Where the taps are held to what known symbols taught, the tails are as loud as the tones:
    // held taps never learn their way back under the bound, and the taps of a harmonic that the
    // calibration could not teach (its last step's) sum over it as well once learned. Their
    // prediction is scaled down to the bound instead, which keeps the feedback as bounded.
    const double tapSum = TapSum(harmonic.taps);
    const bool scaled = tapSum > kMostTapSum && holdKnown;
    if (scaled) {
      predicted[b] = BoundedPrediction(harmonic.taps, harmonic.earlier, predicted[b], tapSum,
                                       harmonic.holding == 0);
    }
    const bool trusted = Trusted(harmonic) || CancellingTail(harmonic, predicted[b], measured[b]);
    cleaned[b] =
        (harmonic.learned >= window.leastLearned ||
         (window.knownActs && harmonic.known >= kLeastKnown)) &&
        (trusted || LoudTail(harmonic, predicted[b])) && (scaled || tapSum <= kMostTapSum) &&
        harmonic.rawPower * harmonic.onWeight >= kLeastTail * harmonic.onPower * harmonic.weight;
    loudOnly[b] = cleaned[b] && !trusted;
    deciding[b] =
        cleaned[b] && std::norm(predicted[b]) >= window.leastTailShare * std::norm(measured[b]);
    if (!cleaned[b]) continue;
    any = true;
    // The component 2 Re(p e^(2 pi i h t / kPeriod)) at each stream position t.
    roots.Subtract(2.0 * predicted[b], h, start, period);
  }
  return any;
}

void CoherentTail::Learn(bool decided, uint8_t byte, bool known, uint32_t doubtful,
                         uint32_t unclear) {
  const uint32_t knownBits = known ? kEveryBit : 0u;
  LearnBits(decided ? kEveryBit : 0u, byte, knownBits, knownBits, doubtful, unclear);
}

void CoherentTail::LearnUndecided(uint32_t knownOff) {
  LearnBits(knownOff, 0, knownOff, 0u, 0u, 0u);
}

void CoherentTail::LearnBits(uint32_t decidedBits, uint8_t byte, uint32_t knownBits,
                             uint32_t holdingBits, uint32_t doubtful, uint32_t unclear) {
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto b = static_cast<std::size_t>(bit);
    Harmonic& harmonic = harmonics[b];
    const bool on = ((byte >> bit) & 1u) != 0;
    const bool decided = ((decidedBits >> bit) & 1u) != 0;
    const bool known = ((knownBits >> bit) & 1u) != 0;
    const Complex y = measured[b];
    const Complex error = y - predicted[b];
    const double earlierPower = EarlierPower(harmonic.earlier);
    // Once learned, a symbol whose harmonic, decided off, is much stronger than the prediction
    // usually leaves is likely a set bit misread, and is not learned from.
    const bool outlier =
        !known && harmonic.learned >= kLeastLearned &&
        std::norm(error) * harmonic.judgedWeight > kOutlier * harmonic.judgedResidual;
    // A short tone's own component is much like a tail: a set bit that a loud tail's prediction
    // read off, learned from, would teach taps that take that harmonic out of every later tone.
    const bool doubted = ((doubtful >> bit) & 1u) != 0 && (window.knownActs || loudOnly[b]);
    // Taps held at what a calibration's symbols taught are not moved by decided ones.
    const bool learns = decided && !on && earlierPower > 0.0 && !outlier && !doubted;
    if (learns && holdKnown && !known && harmonic.holding > 1 && !harmonic.released &&
        ((unclear >> bit) & 1u) == 0) {
      harmonic.heldRaw += std::norm(y);
      harmonic.heldResidual += std::norm(error);
      ++harmonic.heldJudged;
      harmonic.released = harmonic.heldJudged >= kLeastHeldJudged &&
                          harmonic.heldRaw < kLeastHeldGain * harmonic.heldResidual;
    }
    const bool held = holdKnown && !known && harmonic.holding > 0 && !harmonic.released;
    if (learns && held && harmonic.holding == 1 && ((unclear >> bit) & 1u) == 0)
      LearnFurtherTaps(harmonic, y);
    if (learns && !held) {
      harmonic.rawPower = kForget * harmonic.rawPower + std::norm(y);
      harmonic.weight = kForget * harmonic.weight + 1.0;
      // Taps fitted to fewer symbols than it takes to act can leave many times the power they
      // take out; judged by those predictions, a harmonic would stay held back long after its
      // taps have settled (harmonic 7 in a long reverberation: over a hundred symbols).
      if (harmonic.learned >= kLeastLearned) {
        harmonic.judgedRaw = kForget * harmonic.judgedRaw + std::norm(y);
        harmonic.judgedResidual = kForget * harmonic.judgedResidual + std::norm(error);
        harmonic.judgedWeight = kForget * harmonic.judgedWeight + 1.0;
      }
      Accumulate(harmonic.normal, harmonic.cross, harmonic.earlier, y);
      ++harmonic.learned;
      if (known) ++harmonic.known;
      if (known && ((holdingBits >> bit) & 1u) != 0) ++harmonic.holding;
      Solve(harmonic);
    }
    if (known && !on && earlierPower == 0.0) {
      harmonic.noisePower += std::norm(y);
      harmonic.noiseWeight += 1.0;
    }
    if (decided && on) {
      harmonic.onPower = kForget * harmonic.onPower + std::norm(y);
      harmonic.onWeight = kForget * harmonic.onWeight + 1.0;
    }
    // The symbol's own component: where it was decided, none in a harmonic that is off; where
    // not, whatever the prediction leaves.
    Push(harmonic.earlier, decided && !on ? Complex{} : error);
  }
}

void CoherentTail::LearnShifted(uint8_t byte) {
  for (int32_t bit = 0; bit < kBitCount; ++bit) {
    const auto b = static_cast<std::size_t>(bit);
    Harmonic& harmonic = harmonics[b];
    const bool on = ((byte >> bit) & 1u) != 0;
    const double earlierPower = EarlierPower(harmonic.earlier);
    if (!on && earlierPower > 0.0)
      Accumulate(harmonic.normal, harmonic.cross, harmonic.earlier, measured[b]);
    Push(harmonic.earlier, on ? measured[b] - predicted[b] : Complex{});
  }
}

void CoherentTail::Solve(Harmonic& harmonic) const {
  SolveTaps(harmonic.normal, harmonic.cross, 0, kRidge, harmonic.taps);
}

void CoherentTail::LearnFurtherTaps(Harmonic& harmonic, Complex y) const {
  const double residual = std::norm(y - Predict(harmonic.taps, harmonic.earlier));
  if (harmonic.furtherLearned >= kLeastFurtherLearned &&
      residual * harmonic.furtherWeight > kFurtherOutlier * harmonic.furtherResidual)
    return;
  harmonic.furtherResidual = kForget * harmonic.furtherResidual + residual;
  harmonic.furtherWeight = kForget * harmonic.furtherWeight + 1.0;
  const Complex left = y - harmonic.taps[0] * harmonic.earlier[0];
  Accumulate(harmonic.furtherNormal, harmonic.furtherCross, harmonic.earlier, left);
  if (harmonic.earlier[0] == Complex{} && harmonic.earlier[1] != Complex{} &&
      harmonic.earlier[2] == Complex{}) {
    harmonic.secondPower = kForget * harmonic.secondPower + std::norm(harmonic.earlier[1]);
    harmonic.secondCross = kForget * harmonic.secondCross + std::conj(harmonic.earlier[1]) * y;
    ++harmonic.secondLearned;
  }
  ++harmonic.furtherLearned;
  if (harmonic.furtherLearned >= kLeastFurtherLearned) {
    SolveTaps(harmonic.furtherNormal, harmonic.furtherCross, 1, kFurtherRidge, harmonic.taps);
  } else if (harmonic.secondLearned >= kLeastSecondLearned && harmonic.secondPower > 0.0) {
    harmonic.taps[1] = harmonic.secondCross / harmonic.secondPower;
  }
}

uint32_t CoherentTail::CleanedBits() const {
  uint32_t bits = 0;
  for (std::size_t b = 0; b < deciding.size(); ++b) bits |= deciding[b] ? 1u << b : 0u;
  return bits;
}

uint32_t CoherentTail::UnjudgedBits() const {
  uint32_t bits = 0;
  for (std::size_t b = 0; b < deciding.size(); ++b)
    bits |= deciding[b] && harmonics[b].judgedWeight <= 0.0 ? 1u << b : 0u;
  return bits;
}

uint32_t CoherentTail::StepTaughtBits() const {
  if (!holdKnown) return 0u;
  uint32_t bits = 0;
  for (std::size_t b = 0; b < harmonics.size(); ++b) {
    const Harmonic& harmonic = harmonics[b];
    const bool taught = harmonic.holding > 0 && !harmonic.released;
    bits |= taught ? 1u << b : 0u;
  }
  return bits;
}

void CoherentTail::NoteLevels(uint8_t byte) {
  for (std::size_t b = 0; b < harmonics.size(); ++b) {
    if (!cleaned[b]) continue;
    Harmonic& harmonic = harmonics[b];
    const bool on = ((byte >> b) & 1u) != 0;
    double& left = on ? harmonic.setLeft : harmonic.unsetLeft;
    double& weight = on ? harmonic.setWeight : harmonic.unsetWeight;
    left = kForget * left + std::norm(measured[b] - predicted[b]);
    weight = kForget * weight + 1.0;
  }
}

double CoherentTail::Separation() const {
  double least = std::numeric_limits<double>::infinity();
  for (const Harmonic& harmonic : harmonics) {
    if (harmonic.setWeight < kLeastSeparationWeight ||
        harmonic.unsetWeight < kLeastSeparationWeight || harmonic.unsetLeft <= 0.0 ||
        harmonic.setLeft <= 0.0)
      continue;
    least = std::min(least, 10.0 * std::log10(harmonic.setLeft * harmonic.unsetWeight /
                                              (harmonic.unsetLeft * harmonic.setWeight)));
  }
  return std::isinf(least) ? 0.0 : least;
}

std::array<double, kBitCount> CoherentTail::Gains() const {
  std::array<double, kBitCount> gains{};
  for (std::size_t b = 0; b < gains.size(); ++b) {
    const Harmonic& harmonic = harmonics[b];
    // Taps that only known symbols taught have no predictions to be judged by yet.
    if (!cleaned[b]) {
      gains[b] = -1.0;
    } else if (harmonic.judgedWeight <= 0.0) {
      gains[b] = std::numeric_limits<double>::quiet_NaN();
    } else {
      gains[b] = 10.0 * std::log10(harmonic.judgedRaw / harmonic.judgedResidual);
    }
  }
  return gains;
}

}  // namespace brindlemoor::robust
