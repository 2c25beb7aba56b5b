// Fuzz target for the device-path splitter: the input bytes are read as
// UTF-16 code units (little-endian pairs; an odd last byte is dropped).
//
// Invariants checked on every input:
//  - splitting never fails or reads outside the text;
//  - the vendor/product token has 1 to 17 characters, none of them a-z, and
//    none of them "#" or NUL;
//  - the serial token is non-empty and holds no "#", "&" or NUL;
//  - both tokens are what an independent, plainly written split finds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "enumeration/device_path.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using lumora::fuzz::Check;

// Reference split: walks the text once, character by character.
std::vector<std::u16string> Tokens(const std::u16string& text, bool ampersandSeparates) {
  std::vector<std::u16string> tokens;
  std::u16string current;
  for (char16_t c : text) {
    if (c == u'\0') break;
    if (c == u'#' || (ampersandSeparates && c == u'&')) {
      if (!current.empty()) tokens.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) tokens.push_back(current);
  return tokens;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  const lumora::DevicePathTokens t = lumora::SplitDevicePath(text);

  if (t.vidPid) {
    Check(!t.vidPid->empty() && t.vidPid->size() <= lumora::kVidPidMaxLength);
    for (char16_t c : *t.vidPid) Check(!(c >= u'a' && c <= u'z') && c != u'#' && c != u'\0');
  }
  if (t.serial) {
    Check(!t.serial->empty());
    for (char16_t c : *t.serial) Check(c != u'#' && c != u'&' && c != u'\0');
  }

  const std::vector<std::u16string> all = Tokens(text, true);
  Check(t.serial.has_value() == (all.size() > 5));
  if (t.serial) Check(*t.serial == all[5]);

  const std::vector<std::u16string> hashed = Tokens(text, false);
  Check(t.vidPid.has_value() == (hashed.size() > 1));
  if (t.vidPid) {
    std::u16string expected = hashed[1].substr(0, lumora::kVidPidMaxLength);
    for (char16_t& c : expected) {
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    }
    Check(*t.vidPid == expected);
  }
  return 0;
}
