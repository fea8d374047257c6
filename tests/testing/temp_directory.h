// A fresh, empty folder of its own under the system's temporary folder, for one test's files,
// on POSIX and Windows alike.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace brindlemoor::testing {

// Creates "<temp>/<prefix>-<random>"; throws when no new folder can be created.
inline std::filesystem::path MakeTempDirectory(const std::string& prefix) {
  std::random_device seed;
  std::mt19937_64 random((uint64_t{seed()} << 32) ^ seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = base / (prefix + "-" + std::to_string(random()));
    // False when the name is taken: another test got there first.
    if (std::filesystem::create_directory(candidate)) return candidate;
  }
  throw std::runtime_error("cannot create a temporary folder for " + prefix);
}

}  // namespace brindlemoor::testing
