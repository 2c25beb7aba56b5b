// Number parsing shared by the rig's text formats (plug file, fault list,
// saved state): decimal, the whole word, within the given bounds.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

namespace lumora::sim {

inline bool ParseLong(const std::string& word, int64_t lo, int64_t hi, int64_t* out) {
  if (word.empty()) return false;
  char* end = nullptr;
  long long v = std::strtoll(word.c_str(), &end, 10);
  if (end != word.c_str() + word.size() || v < lo || v > hi) return false;
  *out = v;
  return true;
}

inline bool ParseInt32(const std::string& word, int32_t* out) {
  int64_t v;
  if (!ParseLong(word, INT32_MIN, INT32_MAX, &v)) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

}  // namespace lumora::sim
