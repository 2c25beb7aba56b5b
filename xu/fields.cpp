#include "xu/fields.h"
#include "base/text.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace lumora::xu {

namespace {

int64_t SignExtend(uint64_t v, uint32_t bits) {
  if (bits >= 64) return static_cast<int64_t>(v);
  uint64_t sign = uint64_t{1} << (bits - 1);
  return static_cast<int64_t>((v ^ sign) - sign);
}

FieldRange WidthRange(const FieldDefinition& f) {
  if (f.isSigned) return {-(int64_t{1} << (f.bits - 1)), (int64_t{1} << (f.bits - 1)) - 1};
  return {0, static_cast<int64_t>((uint64_t{1} << f.bits) - 1)};
}

bool Fits(const FieldDefinition& f, const Bytes& control) {
  return f.EndBit() <= uint64_t{control.size()} * 8;
}

// A whole number in decimal (optionally negative) or 0x hex.
bool ParseNumber(const std::string& text, int64_t* out) {
  if (text.empty() || text.size() > 24) return false;
  const char* s = text.c_str();
  char* end = nullptr;
  errno = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (HexDigitValue(text[2]) < 0) return false;  // no sign or space after 0x
    unsigned long long u = std::strtoull(s + 2, &end, 16);
    if (errno != 0 || *end != '\0' || u > static_cast<unsigned long long>(INT64_MAX)) return false;
    *out = static_cast<int64_t>(u);
    return true;
  }
  long long v = std::strtoll(s, &end, 10);
  if (errno != 0 || end == s || *end != '\0') return false;
  *out = v;
  return true;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

Status Refuse(const FieldDefinition& f, const std::string& why) {
  return Status::Error(hr::InvalidArg, Quoted(f.name) + ": " + why + ": nothing written");
}

}  // namespace

std::string CheckAgainstDevice(const ControlDefinition& d, uint32_t length) {
  std::string where = " (" + d.file + ":" + std::to_string(d.line) + ")";
  if (d.length && *d.length != length) {
    return "definition " + Quoted(d.name) + where + " is for a " + std::to_string(*d.length) +
           "-byte control; the device's has " + std::to_string(length) + " bytes";
  }
  for (const FieldDefinition& f : d.fields) {
    if (f.EndBit() > uint64_t{length} * 8) {
      return "definition " + Quoted(d.name) + where + ": field " + Quoted(f.name) +
             " reaches past the device's " + std::to_string(length) + "-byte control";
    }
  }
  return "";
}

uint64_t ExtractBits(const Bytes& value, uint64_t start, uint32_t bits) {
  uint64_t v = 0;
  for (uint32_t i = 0; i < bits; ++i) {
    uint64_t at = start + i;
    if ((value[at / 8] >> (at % 8)) & 1) v |= uint64_t{1} << i;
  }
  return v;
}

void InsertBits(Bytes* value, uint64_t start, uint32_t bits, uint64_t field) {
  for (uint32_t i = 0; i < bits; ++i) {
    uint64_t at = start + i;
    auto mask = static_cast<uint8_t>(1u << (at % 8));
    uint8_t& b = (*value)[at / 8];
    b = ((field >> i) & 1) ? static_cast<uint8_t>(b | mask) : static_cast<uint8_t>(b & ~mask);
  }
}

std::optional<int64_t> FieldNumber(const FieldDefinition& f, const Bytes& control) {
  if (f.type == FieldType::kRaw || f.bits > 64 || !Fits(f, control)) return std::nullopt;
  uint64_t v = ExtractBits(control, uint64_t{f.byte} * 8 + f.bit, f.bits);
  if (f.isSigned) return SignExtend(v, f.bits);
  return static_cast<int64_t>(v);
}

FieldRange RangeOf(const FieldDefinition& f, const ControlFacts& facts) {
  if (f.range == RangeFrom::kDefinition) return {f.min, f.max};
  if (f.range == RangeFrom::kDevice && facts.minimum && facts.maximum) {
    auto lo = FieldNumber(f, *facts.minimum);
    auto hi = FieldNumber(f, *facts.maximum);
    if (lo && hi && *lo <= *hi) return {*lo, *hi};
  }
  return WidthRange(f);
}

std::string FormatField(const FieldDefinition& f, const Bytes& control) {
  if (!Fits(f, control)) return "";
  if (f.type == FieldType::kRaw) {
    auto first = control.begin() + f.byte;
    return HexText(Bytes(first, first + f.bits / 8));
  }
  int64_t v = *FieldNumber(f, control);
  if (f.type == FieldType::kBoolean) return v != 0 ? "on" : "off";
  if (f.type == FieldType::kMenu) {
    for (const MenuEntry& e : f.menu) {
      if (e.value == static_cast<uint64_t>(v)) return e.label;
    }
  }
  return std::to_string(v);
}

std::optional<bool> ParseSwitchText(const std::string& text) {
  if (EqualNoCase(text, "on") || EqualNoCase(text, "true") || text == "1") return true;
  if (EqualNoCase(text, "off") || EqualNoCase(text, "false") || text == "0") return false;
  return std::nullopt;
}

Status EncodeField(const FieldDefinition& f, const ControlFacts& facts, const std::string& text,
                   Bytes* control) {
  if (!Fits(f, *control)) {
    return Refuse(
        f, "the field reaches past the control's " + std::to_string(control->size()) + " bytes");
  }
  const uint64_t start = uint64_t{f.byte} * 8 + f.bit;
  if (f.type == FieldType::kRaw) {
    size_t bytes = f.bits / 8;
    if (text.size() != 2 * bytes) {
      return Refuse(f, "takes " + std::to_string(bytes) + " bytes as " + std::to_string(2 * bytes) +
                           " hex digits");
    }
    Bytes raw;
    if (!ParseHexText(text, &raw)) return Refuse(f, Quoted(text) + " is not hex digits");
    std::copy(raw.begin(), raw.end(), control->begin() + f.byte);
    return Status::Ok();
  }
  uint64_t bits = 0;
  if (f.type == FieldType::kMenu) {
    const MenuEntry* chosen = nullptr;
    for (const MenuEntry& e : f.menu) {
      if (EqualNoCase(e.label, text)) chosen = &e;
    }
    if (chosen == nullptr) {
      std::string labels;
      for (const MenuEntry& e : f.menu) labels += (labels.empty() ? "" : ", ") + e.label;
      return Refuse(f, Quoted(text) + " is not one of " + labels);
    }
    bits = chosen->value;
  } else if (f.type == FieldType::kBoolean) {
    const std::optional<bool> on = ParseSwitchText(text);
    if (!on) return Refuse(f, Quoted(text) + " is not on or off");
    bits = *on ? 1 : 0;
  } else {
    int64_t v = 0;
    if (!ParseNumber(text, &v)) return Refuse(f, Quoted(text) + " is not a whole number");
    FieldRange range = RangeOf(f, facts);
    if (v < range.min || v > range.max) {
      return Refuse(f, std::to_string(v) + " is outside " + std::to_string(range.min) + " to " +
                           std::to_string(range.max));
    }
    bits = static_cast<uint64_t>(v);
  }
  InsertBits(control, start, f.bits, bits);
  return Status::Ok();
}

Status ReadField(XuTransport& transport, uint32_t nodeId, const ControlDefinition& d, size_t field,
                 const ControlFacts& facts, std::string* text) {
  if (field >= d.fields.size()) return Status::Error(hr::InvalidArg, "no such field");
  if (!facts.length) {
    return Status::Error(hr::InvalidArg, "control " + Quoted(d.name) + " has no known length");
  }
  std::string misfit = CheckAgainstDevice(d, *facts.length);
  if (!misfit.empty()) return Status::Error(hr::InvalidArg, misfit);
  Bytes value;
  Status s = ReadControl(transport, nodeId, d.unit, d.selector, *facts.length, &value);
  if (!s.ok()) return s;
  *text = FormatField(d.fields[field], value);
  return Status::Ok();
}

Status WriteField(XuTransport& transport, uint32_t nodeId, const ControlDefinition& d, size_t field,
                  const ControlFacts& facts, const std::string& text) {
  if (field >= d.fields.size()) return Status::Error(hr::InvalidArg, "no such field");
  const FieldDefinition& f = d.fields[field];
  if (!facts.length) return Refuse(f, "the control's length is not known");
  std::string misfit = CheckAgainstDevice(d, *facts.length);
  if (!misfit.empty()) return Status::Error(hr::InvalidArg, misfit + ": nothing written");
  if (d.kind == ControlKind::kReadOnly) {
    return Status::Error(hr::AccessDenied, Quoted(f.name) + " is read-only: nothing written");
  }
  if (!facts.CanSet()) {
    return Status::Error(hr::AccessDenied,
                         Quoted(f.name) + ": the device's control is read-only: nothing written");
  }
  // The value is checked before the control is read, so a refused value
  // costs no request.
  Bytes value(*facts.length, 0);
  Status s = EncodeField(f, facts, text, &value);
  if (!s.ok()) return s;
  if (d.kind != ControlKind::kAction) {
    s = ReadControl(transport, nodeId, d.unit, d.selector, *facts.length, &value);
    if (!s.ok()) return s;
    s = EncodeField(f, facts, text, &value);
    if (!s.ok()) return s;
  }
  return WriteControl(transport, nodeId, d.unit, facts, value);
}

}  // namespace lumora::xu
