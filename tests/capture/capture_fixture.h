// A WaveCapture set up as the receiver sets it up (11025 Hz, 8 bits, mono, 1102-sample blocks
// in one record buffer), with helpers to read back which slots a device was handed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "capture/wave_capture.h"
#include "testing/fake_wave_in_device.h"

namespace brindlemoor::testing {

inline void ConfigureForReceiver(WaveCapture& capture, std::vector<uint8_t>& recordBuffer) {
  recordBuffer.assign(kRingBytes, 0);
  capture.sampleRate = kSampleRate;
  capture.bitsPerSample = kBitsPerSample;
  capture.channels = kChannels;
  capture.samplesPerBlock = kBlockSamples;
  for (uint32_t slot = 0; slot < kRingBlocks; ++slot) {
    capture.blockAddresses[slot] = recordBuffer.data() + slot * kBlockSamples;
  }
  capture.blocksConsumed = 0;
}

// The slot of each header passed to `name` in calls[from..], or -1 for a header outside the block.
inline std::vector<int> SlotsOf(const std::vector<FakeWaveInDevice::Call>& calls,
                                const WaveCapture& capture, const std::string& name,
                                std::size_t from = 0) {
  std::vector<int> slots;
  for (std::size_t i = from; i < calls.size(); ++i) {
    if (calls[i].name != name) continue;
    const std::ptrdiff_t slot = calls[i].header - capture.Headers();
    slots.push_back(
        slot >= 0 && slot < static_cast<std::ptrdiff_t>(kRingBlocks) ? static_cast<int>(slot) : -1);
  }
  return slots;
}

inline std::vector<int> Range(int first, int last) {
  std::vector<int> values;
  for (int v = first; v <= last; ++v) values.push_back(v);
  return values;
}

inline std::vector<int> Concat(std::vector<int> first, const std::vector<int>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

}  // namespace brindlemoor::testing
