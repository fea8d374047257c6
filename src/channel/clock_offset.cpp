#include "channel/clock_offset.h"

#include <cassert>
#include <cmath>

#include "files/resampler.h"

namespace brindlemoor {

bool ApplyClockOffset(std::span<const double> in, double percent, std::vector<double>& out,
                      std::string& error) {
  assert(std::fabs(percent) <= kMaxClockOffsetPercent);
  if (percent == 0.0 || in.empty()) {
    out.assign(in.begin(), in.end());
    return true;
  }
  std::vector<float> input(in.begin(), in.end());
  std::vector<float> output;
  IoError problem;
  if (!ResampleWhole(input, 1.0 + percent / 100.0, 1.0, output, problem)) {
    error = problem.description;
    return false;
  }
  out.assign(output.begin(), output.end());
  return true;
}

}  // namespace brindlemoor
