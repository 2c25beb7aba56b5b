#include "base/text.h"

#include <climits>

namespace lumora {

namespace {
// ASCII only, whatever the locale.
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

uint32_t HashNoCase(std::string_view text) {
  uint32_t h = 2166136261u;
  for (char c : text) {
    h ^= static_cast<unsigned char>(Lower(c));
    h *= 16777619u;
  }
  return h;
}

bool ParseInteger(std::string_view text, int64_t lo, int64_t hi, int64_t* value) {
  size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (i == text.size()) return false;
  const bool negative = text[0] == '-';
  // Accumulated as a negative number, whose range holds INT64_MIN.
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const int digit = text[i] - '0';
    if (v < (INT64_MIN + digit) / 10) return false;
    v = v * 10 - digit;
  }
  if (!negative) {
    if (v == INT64_MIN) return false;
    v = -v;
  }
  if (v < lo || v > hi) return false;
  *value = v;
  return true;
}

bool ParseInt32(std::string_view text, int32_t* value) {
  int64_t v = 0;
  if (!ParseInteger(text, INT32_MIN, INT32_MAX, &v)) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

}  // namespace lumora
