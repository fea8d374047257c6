// Reads a fuzzer's input front to back as small fields, yielding zeros once it runs out, so that
// seed inputs are easy to write by hand or by a generator. And the check that ends a run when an
// invariant breaks, in every build type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)

namespace brindlemoor::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : bytes(data, size) {}

  bool Empty() const { return position >= bytes.size(); }
  uint8_t Byte() { return Empty() ? 0 : bytes[position++]; }
  uint16_t Word() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | (Byte() << 8));
  }
  // Everything not read yet.
  std::span<const uint8_t> Rest() {
    const std::span<const uint8_t> rest = bytes.subspan(Empty() ? bytes.size() : position);
    position = bytes.size();
    return rest;
  }

 private:
  std::span<const uint8_t> bytes;
  size_t position = 0;
};

}  // namespace brindlemoor::fuzz
