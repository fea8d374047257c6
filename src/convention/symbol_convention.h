// The symbol convention that the sender, the receivers and the channel simulator share: a tone
// that repeats every 45 samples at 11025 Hz carries bit k in harmonic k + 2, judged by levels of
// fixed bins of a 512-point spectrum against fractions of the strongest bin P.
#pragma once

#include <array>
#include <cstdint>

namespace brindlemoor {

inline constexpr uint32_t kSampleRate = 11025;  // samples per second the receiver captures
inline constexpr int32_t kFundamentalHz = 245;
inline constexpr int32_t kSymbolPeriod = 45;   // samples in one period, fixed
inline constexpr int32_t kSymbolLength = 512;  // the period repeated to this many for the FFT
static_assert(static_cast<int32_t>(kSampleRate) == kFundamentalHz * kSymbolPeriod);

inline constexpr int32_t kBitCount = 8;
inline constexpr int32_t kFirstBitHarmonic = 2;  // bit k is harmonic k + 2
inline constexpr int32_t kHighestHarmonic = kFirstBitHarmonic + kBitCount - 1;

// Bins nearest to harmonics 1..9 (harmonic h sits at bin 512 h / 45); a valid symbol's strongest
// bin is one of them.
inline constexpr std::array<int32_t, kHighestHarmonic> kHarmonicBins = {11, 23, 34, 46, 57,
                                                                        68, 80, 91, 102};
// The fundamental must be present: bins 11 + 12 above P / kFundamentalShare.
inline constexpr int32_t kFundamentalBin = 11;
inline constexpr int32_t kFundamentalShare = 10;

// First bin of each bit's level; bits 2, 4, 5 and 7 add the bin above it, because their harmonic
// falls near the middle between two bins.
inline constexpr std::array<int32_t, kBitCount> kBitBins = {23, 34, 45, 57, 68, 79, 91, 102};
inline constexpr std::array<bool, kBitCount> kTwoBinLevel = {false, false, true,  false,
                                                             true,  true,  false, true};

// A bit is 1 when its value is strictly above its threshold: P / divisor in integer arithmetic,
// except for bit 6 (divisor 0 here), whose threshold is P times the double nearest to 0.4.
inline constexpr std::array<int32_t, kBitCount> kThresholdDivisors = {2, 3, 3, 5, 4, 3, 0, 2};
inline constexpr int32_t kFractionalThresholdBit = 6;
inline constexpr double kFractionalThreshold = 0.4;

// The threshold of bit k as a fraction of P, for a sender that plans its levels.
constexpr double ThresholdFraction(int32_t bit) {
  return bit == kFractionalThresholdBit ? kFractionalThreshold : 1.0 / kThresholdDivisors[bit];
}

// Bits kFirstCompensatedBit..7 are judged with their value multiplied by a factor indexed by the
// number of bits 0..3 decided 1 for the same symbol. Single precision, as the decision has always
// used; every factor is exact in a double.
inline constexpr int32_t kFirstCompensatedBit = 4;
inline constexpr std::array<float, kFirstCompensatedBit + 1> kCompensationFactors = {
    1.0f, 1.0f, 1.5f, 2.0f, 2.0f};

}  // namespace brindlemoor
