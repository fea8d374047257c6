#include "channel/clock_offset.h"

#include <samplerate.h>

#include <cassert>
#include <cmath>

namespace brindlemoor {

bool ApplyClockOffset(std::span<const double> in, double percent, std::vector<double>& out,
                      std::string& error) {
  assert(std::fabs(percent) <= kMaxClockOffsetPercent);
  if (percent == 0.0 || in.empty()) {
    out.assign(in.begin(), in.end());
    return true;
  }
  const double ratio = 1.0 / (1.0 + percent / 100.0);
  std::vector<float> input(in.begin(), in.end());
  // One sample of room for the converter's rounding of the output length.
  std::vector<float> output(static_cast<std::size_t>(std::ceil(in.size() * ratio)) + 1);

  SRC_DATA data{};
  data.data_in = input.data();
  data.input_frames = static_cast<long>(input.size());
  data.data_out = output.data();
  data.output_frames = static_cast<long>(output.size());
  data.src_ratio = ratio;
  if (const int result = src_simple(&data, SRC_SINC_MEDIUM_QUALITY, 1); result != 0) {
    error = std::string("cannot resample: ") + src_strerror(result);
    return false;
  }
  out.assign(output.begin(), output.begin() + data.output_frames_gen);
  return true;
}

}  // namespace brindlemoor
