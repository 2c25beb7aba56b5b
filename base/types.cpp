#include "base/types.h"

namespace lumora {

std::string Guid::ToString() const {
  static const char kHex[] = "0123456789abcdef";
  std::string s;
  s.reserve(36);
  auto put = [&](uint64_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) s.push_back(kHex[(v >> (4 * i)) & 0xF]);
  };
  put(data1, 8);
  s.push_back('-');
  put(data2, 4);
  s.push_back('-');
  put(data3, 4);
  s.push_back('-');
  put(data4[0], 2);
  put(data4[1], 2);
  s.push_back('-');
  for (int i = 2; i < 8; ++i) put(data4[i], 2);
  return s;
}

}  // namespace lumora
