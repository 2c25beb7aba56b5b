// Fuzz target for the registry script language: each input byte is one
// character of the script (the scripts are ANSI text).
//
// Invariants checked on every input:
//  - parsing ends, accepted or refused, and a refused script leaves the
//    output alone;
//  - an accepted tree has named entries nested at most kMaxDepth deep, and
//    values without children;
//  - a number is accepted only in its decimal or 0x form, and then has the
//    value those digits say.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/registry_script.h"
#include "tests/fuzz/fuzz_check.h"

using lumora::fuzz::Check;
namespace rs = lumora::registry_script;

namespace {

void CheckEntries(const std::vector<rs::Entry>& entries, int depth) {
  Check(depth <= rs::kMaxDepth);
  for (const rs::Entry& e : entries) {
    Check(!e.name.empty());
    if (e.isValue) Check(e.children.empty() && e.hasData);
    CheckEntries(e.children, depth + 1);
  }
}

// The value of a number written plainly, by a second, simpler reading.
bool Reference(const std::u16string& text, uint64_t* value) {
  const bool hex = text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X');
  const size_t first = hex ? 2 : 0;
  if (text.size() == first || text.size() - first > 64) return false;
  uint64_t v = 0;
  for (size_t i = first; i < text.size(); ++i) {
    const char16_t c = text[i];
    uint64_t d;
    if (c >= u'0' && c <= u'9') {
      d = c - u'0';
    } else if (hex && c >= u'a' && c <= u'f') {
      d = c - u'a' + 10;
    } else if (hex && c >= u'A' && c <= u'F') {
      d = c - u'A' + 10;
    } else {
      return false;
    }
    v = v * (hex ? 16 : 10) + d;
    if (v > 0xFFFFFFFFu) return false;
  }
  *value = v;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string script(data, data + size);
  std::vector<rs::Root> roots(2);
  if (rs::Parse(script, u"C:\\Program Files\\Lumora\\Lumora.dll", &roots)) {
    for (const rs::Root& root : roots) CheckEntries(root.entries, 1);
  } else {
    Check(roots.size() == 2);
  }

  uint32_t number = 7;
  uint64_t expected = 0;
  const bool accepted = rs::ParseNumber(script, &number);
  Check(accepted == Reference(script, &expected));
  Check(accepted ? number == expected : number == 7);
  return 0;
}
