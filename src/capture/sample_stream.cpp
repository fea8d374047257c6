#include "capture/sample_stream.h"

#include <algorithm>
#include <cstring>

namespace brindlemoor {

std::size_t MemorySampleStream::Read(uint8_t* out, std::size_t count) {
  const std::size_t n = std::min(count, samples.size() - position);
  if (n > 0) std::memcpy(out, samples.data() + position, n);
  position += n;
  return n;
}

}  // namespace brindlemoor
