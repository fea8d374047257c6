#include "shoebox_room.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "sox_room.h"

namespace brindlemoor::bench {
namespace {

constexpr double kSoundSpeed = 343.0;  // m/s
constexpr double kSize[3] = {5.0, 4.0, 2.7};
constexpr double kSource[3] = {1.0, 1.8, 1.2};
constexpr double kLongest = 0.5;  // seconds of impulse response kept

}  // namespace

std::string ShoeboxRoom::Name() const {
  std::ostringstream out;
  out << "box" << rt60Seconds << "s" << distanceMetres << "m";
  return out.str();
}

std::vector<double> ShoeboxImpulse(const ShoeboxRoom& room, int32_t sampleRate) {
  const double volume = kSize[0] * kSize[1] * kSize[2];
  const double surface = 2.0 * (kSize[0] * kSize[1] + kSize[0] * kSize[2] + kSize[1] * kSize[2]);
  const double absorption = std::min(0.99, 0.161 * volume / (surface * room.rt60Seconds));
  const double reflection = std::sqrt(1.0 - absorption);
  // The microphone along the room's length, a little off the loudspeaker's axis.
  const double microphone[3] = {kSource[0] + room.distanceMetres, kSource[1] + 0.3, 1.3};
  const double direct = std::hypot(room.distanceMetres, 0.3, 0.1);
  const auto length = static_cast<std::size_t>(kLongest * sampleRate);
  std::vector<double> impulse(length, 0.0);
  const double reach = kLongest * kSoundSpeed;
  int32_t orders[3];
  for (int axis = 0; axis < 3; ++axis) orders[axis] = static_cast<int32_t>(reach / kSize[axis]) + 1;
  // Image (n, q) along an axis: at 2 n L + (1 - 2 q) s, after |n - q| + |n| reflections.
  for (int32_t nx = -orders[0]; nx <= orders[0]; ++nx) {
    for (int32_t ny = -orders[1]; ny <= orders[1]; ++ny) {
      for (int32_t nz = -orders[2]; nz <= orders[2]; ++nz) {
        const int32_t n[3] = {nx, ny, nz};
        for (int32_t mirror = 0; mirror < 8; ++mirror) {
          double squared = 0.0;
          int32_t reflections = 0;
          for (int axis = 0; axis < 3; ++axis) {
            const int32_t q = (mirror >> axis) & 1;
            const double image = 2.0 * n[axis] * kSize[axis] + (1 - 2 * q) * kSource[axis];
            const double span = image - microphone[axis];
            squared += span * span;
            reflections += std::abs(n[axis] - q) + std::abs(n[axis]);
          }
          const double distance = std::sqrt(squared);
          const auto at = static_cast<std::size_t>(std::lrint(distance / kSoundSpeed * sampleRate));
          if (at >= length) continue;
          impulse[at] += std::pow(reflection, reflections) * direct / distance;
        }
      }
    }
  }
  return impulse;
}

bool ApplyShoeboxRoom(std::span<const double> in, int32_t sampleRate, const ShoeboxRoom& room,
                      const std::string& scratch, std::vector<double>& out, std::string& error) {
  const std::vector<double> impulse = ShoeboxImpulse(room, sampleRate);
  // The direct sound's delay is dropped, so the room keeps the sound's timing.
  std::size_t first = 0;
  while (first < impulse.size() && impulse[first] == 0.0) ++first;
  // SoX's fir takes every filter for a linear-phase one and advances its output by half the
  // coefficients. As many zeros before the room's response cancel that: without them the sound
  // came a quarter of a second early, and the message's first tone (the calibration's 0) was
  // cut off before the recording's start.
  const std::size_t taps = impulse.size() - first;
  const std::string coefficients = scratch + "-fir.txt";
  {
    std::ofstream file(coefficients);
    file.precision(9);
    for (std::size_t i = 0; i < taps; ++i) file << "0\n";
    for (std::size_t i = first; i < impulse.size(); ++i) file << impulse[i] << "\n";
    if (!file) {
      error = coefficients + ": cannot write";
      return false;
    }
  }
  const bool ok = ApplySoxEffect(in, sampleRate, {"fir", coefficients}, scratch, out, error);
  std::remove(coefficients.c_str());
  return ok;
}

}  // namespace brindlemoor::bench
