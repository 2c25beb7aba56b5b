// Fuzz target for the extension-unit definition parser: the input is a
// definition file's text.
//
// Invariants checked on every input:
//  - a refused file adds exactly one printable error line naming the file
//    and a line number within the text, and keeps nothing of it;
//  - an accepted file keeps only controls whose fields fit their declared
//    length and menus whose values fit their fields;
//  - every field of an accepted file writes and reads back through its own
//    text form without touching the bytes outside it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "xu/fields.h"

using lumora::fuzz::Check;
namespace xu = lumora::xu;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  xu::Definitions d;
  if (!d.AddText("fuzz.json", text)) {
    Check(d.errors().size() == 1 && d.controls().empty() && d.units().empty());
    const std::string& e = d.errors()[0];
    Check(e.rfind("fuzz.json:", 0) == 0);
    for (char c : e) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    size_t line = std::stoul(e.substr(10));
    Check(line >= 1 && line <= 1 + static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
    return 0;
  }
  Check(d.errors().empty());
  for (const xu::ControlDefinition& c : d.controls()) {
    Check(c.selector >= 1 && c.selector <= 31);
    xu::ControlFacts facts;
    facts.selector = c.selector;
    uint64_t end = 0;
    for (const xu::FieldDefinition& f : c.fields) end = std::max(end, f.EndBit());
    uint32_t length = c.length.value_or(static_cast<uint32_t>((end + 7) / 8));
    if (length == 0 || length > 4096) continue;
    Check(xu::CheckAgainstDevice(c, length).empty());
    facts.length = length;
    for (const xu::FieldDefinition& f : c.fields) {
      for (const xu::MenuEntry& m : f.menu)
        Check(f.bits >= 64 || m.value < (uint64_t{1} << f.bits));
      xu::Bytes pattern(length, 0xA5);
      std::string shown = xu::FormatField(f, pattern);
      xu::Bytes written(length, 0x5A);
      xu::Status s = xu::EncodeField(f, facts, shown, &written);
      // A value outside a definition's own range, or a menu value without a
      // label, may be refused; anything written reads back the same.
      if (!s.ok()) {
        Check(written == xu::Bytes(length, 0x5A));
        continue;
      }
      Check(xu::FormatField(f, written) == shown);
      for (uint64_t bit = 0; bit < uint64_t{length} * 8; ++bit) {
        bool inside = bit >= uint64_t{f.byte} * 8 + f.bit && bit < f.EndBit();
        if (!inside) Check(((written[bit / 8] >> (bit % 8)) & 1) == ((0x5A >> (bit % 8)) & 1));
      }
    }
  }
  return 0;
}
