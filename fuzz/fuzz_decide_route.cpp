// DecideByte and RouteByte on arbitrary spectra, in arbitrary sequences with the ends of ticks,
// so that calibrations start, advance, fail and complete in the calibrated and uncalibrated modes.
//
// Input: a sequence of operations, each one byte (op % 4) and its operands:
//   0  a sparse spectrum: a count byte (% 25), then count x (bin byte, magnitude word)
//   1  a dense spectrum: 256 magnitude words
//   2  the end of a tick (FinishTickText)
//   3  change some bins of the last spectrum: as 0, without clearing it first
// A magnitude word is taken modulo 2874, the analyser's range. Spectra are decided, and accepted
// bytes routed, as the receive tick does. After every operation the calibration invariants hold
// (every gain positive, entry 8 their sum, the flags 0 or 1, the step 0..7) and the text holds
// only bytes 1..255.
#include <algorithm>
#include <array>

#include "convention/symbol_convention.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/invariants.h"
#include "receiver/decide_byte.h"
#include "receiver/tick_text.h"

namespace brindlemoor::fuzz {
namespace {

constexpr int kMaxSparseBins = 24;

class CheckingBox : public TextBox {
 public:
  void ReplaceText(const char* bytes, std::size_t size) override { CheckTickText(bytes, size); }
};

int32_t Magnitude(FuzzInput& input) { return input.Word() % (kMaxBin + 1); }

void ReadBins(FuzzInput& input, std::array<int32_t, kSpectrumBins>& spectrum) {
  const int count = input.Byte() % (kMaxSparseBins + 1);
  for (int i = 0; i < count; ++i) {
    const uint8_t bin = input.Byte();
    spectrum[bin] = Magnitude(input);
  }
}

void CheckDecision(const std::array<int32_t, kSpectrumBins>& spectrum,
                   const CalibrationState& calibration, const ByteDecision& decision) {
  const int32_t peak = *std::max_element(spectrum.begin() + 1, spectrum.end());
  FUZZ_CHECK(decision.spectrumPeak == peak);
  if (!decision.accepted) return;
  FUZZ_CHECK(peak > 0);
  FUZZ_CHECK(std::find(kHarmonicBins.begin(), kHarmonicBins.end(), decision.peakBin) !=
             kHarmonicBins.end());
  FUZZ_CHECK(spectrum[11] + spectrum[12] > peak / 10);
  // Equalising with the reference levels themselves changes no decision.
  CalibrationState plain = calibration;
  plain.calibrated = 0;
  CalibrationState neutral = calibration;
  neutral.calibrated = 1;
  neutral.gainTable = kReferenceLevels;
  const ByteDecision a = DecideByte(spectrum.data(), plain);
  const ByteDecision b = DecideByte(spectrum.data(), neutral);
  FUZZ_CHECK(a.accepted && b.accepted && a.byte == b.byte);
}

}  // namespace
}  // namespace brindlemoor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brindlemoor;
  using namespace brindlemoor::fuzz;
  FuzzInput input(data, size);
  CalibrationState calibration;
  TickText text;
  CheckingOutput files;
  CheckingBox box;
  std::array<int32_t, kSpectrumBins> spectrum{};
  while (!input.Empty()) {
    const int op = input.Byte() % 4;
    if (op == 2) {
      FinishTickText(text, calibration, files, box);
      text.Clear();
    } else {
      if (op == 0) spectrum.fill(0);
      if (op == 1) {
        for (int32_t& bin : spectrum) bin = Magnitude(input);
      } else {
        ReadBins(input, spectrum);
      }
      const ByteDecision decision = DecideByte(spectrum.data(), calibration);
      CheckDecision(spectrum, calibration, decision);
      if (decision.accepted &&
          RouteByte(decision.byte, spectrum.data(), calibration, text, files)) {
        // The text is full: the tick ends.
        FUZZ_CHECK(text.length == kTickTextLimit);
        FinishTickText(text, calibration, files, box);
        text.Clear();
      }
    }
    CheckCalibration(calibration);
    FUZZ_CHECK(text.length >= 0 && text.length < kTickTextLimit);
    CheckTickText(text.bytes.data(), static_cast<size_t>(text.length));
  }
  return 0;
}
