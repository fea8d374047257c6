// Strict parsing of command-line option values for the tools: the whole text must be the number,
// finite and within the given range, or the parse fails.
#pragma once

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace brindlemoor::tools {

inline bool ParseDouble(const std::string& text, double low, double high, double& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(parsed)) return false;
  if (parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

inline bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size()) return false;
  if (parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

inline bool ParseSeed(const std::string& text, uint64_t& value) {
  if (text.empty() || text[0] == '-') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size()) return false;
  value = parsed;
  return true;
}

}  // namespace brindlemoor::tools
