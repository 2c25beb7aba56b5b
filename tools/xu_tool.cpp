#include "tools/xu_tool.h"

#include <cerrno>
#include <cstdlib>

#include "base/text.h"
#include "tools/profile.h"
#include "tools/report.h"
#include "xu/definitions.h"
#include "xu/fields.h"

namespace lumora::xutool {

namespace {

using Fact = XuSource::Fact;

constexpr uint32_t kMaxSelector = 31;
constexpr size_t kMaxControlBytes = 65535;

// "ffe52d21-8030-4e2c-82d9-f587d00540bd": how the tool writes a GUID, as
// the library lists units.
std::string GuidText(const Guid& g) { return g.ToString(); }

std::string AccessText(uint32_t access) {
  switch (access & 3) {
    case 1: return "read only";
    case 2: return "write only";
    case 3: return "read write";
    default: return "no access";
  }
}

// A whole number in decimal with an optional sign, or 0x hex.
bool ParseWhole(const std::string& text, int64_t* out) {
  if (text.empty() || text.size() > 24) return false;
  char* end = nullptr;
  errno = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (xu::HexDigitValue(text[2]) < 0) return false;
    unsigned long long u = std::strtoull(text.c_str() + 2, &end, 16);
    if (errno != 0 || *end != '\0' || u > static_cast<unsigned long long>(INT64_MAX)) return false;
    *out = static_cast<int64_t>(u);
    return true;
  }
  if (text[0] != '-' && text[0] != '+' && (text[0] < '0' || text[0] > '9')) return false;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *out = v;
  return true;
}

std::string Labels(const std::vector<std::string>& labels) {
  std::string text;
  for (const std::string& l : labels) text += (text.empty() ? "" : ", ") + l;
  return text;
}

// The unit among the camera's whose GUID is `guid`, as the camera spells it.
bool FindUnit(const std::vector<std::string>& units, const Guid& guid, std::string* spelled) {
  for (const std::string& u : units) {
    Guid g;
    if (xu::ParseGuidText(u, &g) && g == guid) {
      *spelled = u;
      return true;
    }
  }
  return false;
}

void ReadFact(XuSource& s, Fact fact, const char* what, const std::string& unit, uint32_t selector,
              std::optional<Bytes>* out, std::vector<std::string>* problems) {
  HResult h = s.Read(fact, unit, selector, out);
  if (hr::Failed(h)) {
    out->reset();
    problems->push_back(Failure(std::string("reading the ") + what, h, s));
  }
}

// The length or access of a control; false (with the problem) when it
// cannot be read.
bool ReadCount(XuSource& s, HResult (XuSource::*call)(const std::string&, uint32_t, uint32_t*),
               const char* what, const std::string& unit, uint32_t selector,
               std::optional<uint32_t>* out, std::vector<std::string>* problems) {
  uint32_t v = 0;
  HResult h = (s.*call)(unit, selector, &v);
  if (hr::Failed(h)) {
    problems->push_back(Failure(std::string("reading the ") + what, h, s));
    return false;
  }
  *out = v;
  return true;
}

std::string Hex(const std::optional<Bytes>& value) {
  return value ? xu::HexText(*value) : std::string("-");
}

}  // namespace

std::string Failure(const std::string& what, HResult code, XuSource& source) {
  std::string text = what + " failed (" + xu::DescribeCode(code);
  std::string words = source.LastMessage();
  if (!words.empty()) text += ": " + cli::Printable(words);
  return text + ")";
}

bool ParseHexArgument(const std::string& text, Bytes* value, std::string* error) {
  std::string digits = text;
  if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits = digits.substr(2);
  }
  if (digits.empty()) {
    *error = "HEX " + cli::Quoted(text) + " holds no bytes";
    return false;
  }
  if (digits.size() % 2 != 0) {
    *error = "HEX " + cli::Quoted(text) + " has an odd number of digits (two per byte)";
    return false;
  }
  if (digits.size() / 2 > kMaxControlBytes) {
    *error = "HEX has " + std::to_string(digits.size() / 2) + " bytes; a control holds at most " +
             std::to_string(kMaxControlBytes);
    return false;
  }
  if (!xu::ParseHexText(digits, value)) {
    *error = "HEX " + cli::Quoted(text) + " is not hex digits";
    return false;
  }
  return true;
}

bool ParseSelectorArgument(const std::string& text, uint32_t* selector, std::string* error) {
  int32_t n = 0;
  if (!cli::ParseInt32(text, &n) || n < 1 || n > static_cast<int32_t>(kMaxSelector) ||
      text[0] == '+' || text[0] == '-') {
    *error = "SELECTOR " + cli::Quoted(text) + " is not a number from 1 to 31";
    return false;
  }
  *selector = static_cast<uint32_t>(n);
  return true;
}

// --- listing ------------------------------------------------------------------

std::vector<NamedListing> CollectNamed(XuSource& s) {
  std::vector<NamedListing> list;
  std::vector<std::string> names;
  if (hr::Failed(s.Names(&names))) return list;
  for (const std::string& name : names) {
    NamedListing n;
    n.name = name;
    HResult h = s.Info(name, &n.info);
    if (hr::Failed(h)) {
      n.problem = Failure("reading its facts", h, s);
    } else if (n.info.CanGet()) {
      h = s.GetNamed(name, &n.value);
      n.valueOk = hr::Succeeded(h);
      if (!n.valueOk) n.problem = Failure("reading it", h, s);
    }
    list.push_back(n);
  }
  return list;
}

Inventory Collect(XuSource& s) {
  Inventory inv;
  std::vector<std::string> units;
  HResult h = s.Units(&units);
  if (hr::Failed(h)) {
    inv.problem = Failure("listing the extension units", h, s);
    return inv;
  }
  inv.named = CollectNamed(s);
  // An older library without the call lists no such nodes.
  if (hr::Failed(s.UnnamedNodes(&inv.unnamedNodes))) inv.unnamedNodes.clear();
  for (const std::string& guid : units) {
    UnitListing u;
    u.guid = guid;
    if (hr::Failed(s.DefinedName(guid, 0, &u.name))) u.name.clear();
    std::vector<uint32_t> selectors;
    h = s.Controls(guid, &selectors);
    if (hr::Failed(h)) u.problem = Failure("listing its controls", h, s);
    Guid unitGuid;
    const bool parsed = xu::ParseGuidText(guid, &unitGuid);
    for (uint32_t sel : selectors) {
      ControlListing c;
      c.selector = sel;
      if (hr::Failed(s.DefinedName(guid, sel, &c.name))) c.name.clear();
      if (!ReadCount(s, &XuSource::Length, "length", guid, sel, &c.length, &c.problems)) {
        // Without a length no other fact can be read either; the
        // minimum's failure carries the driver's reason.
        ReadFact(s, Fact::kMinimum, "minimum", guid, sel, &c.minimum, &c.problems);
        u.controls.push_back(c);
        continue;
      }
      ReadCount(s, &XuSource::Access, "access", guid, sel, &c.access, &c.problems);
      ReadFact(s, Fact::kMinimum, "minimum", guid, sel, &c.minimum, &c.problems);
      ReadFact(s, Fact::kMaximum, "maximum", guid, sel, &c.maximum, &c.problems);
      ReadFact(s, Fact::kResolution, "resolution", guid, sel, &c.resolution, &c.problems);
      ReadFact(s, Fact::kDefault, "default", guid, sel, &c.defaultValue, &c.problems);
      if (!c.access || (*c.access & 1) != 0) {
        ReadFact(s, Fact::kValue, "value", guid, sel, &c.current, &c.problems);
      }
      for (const NamedListing& n : inv.named) {
        Guid g;
        if (parsed && n.info.selector == sel && xu::ParseGuidText(n.info.unit, &g) &&
            g == unitGuid) {
          c.named.push_back(n);
        }
      }
      u.controls.push_back(c);
    }
    inv.units.push_back(u);
  }
  return inv;
}

static std::string NamedValueText(const NamedListing& n) {
  if (!n.valueOk) return n.info.CanGet() ? "not readable" : "write only";
  std::string text = n.value;
  if (!n.info.units.empty()) text += " " + n.info.units;
  return text;
}

static std::string NamedFacts(const NamedInfo& info) {
  std::string text = info.type;
  if (!info.labels.empty()) text += ": " + Labels(info.labels);
  if (info.type == "integer" && info.min && info.max) {
    text += " " + std::to_string(*info.min) + ".." + std::to_string(*info.max);
  }
  if (!info.defaultText.empty()) text += ", default " + info.defaultText;
  return text;
}

std::string InventoryText(const Inventory& inv) {
  if (!inv.problem.empty()) return "Extension units: " + inv.problem + "\n";
  if (inv.units.empty() && inv.unnamedNodes.empty()) return "No extension unit.\n";
  std::string text;
  for (const UnitListing& u : inv.units) {
    text += "Unit " + u.guid + (u.name.empty() ? "" : " (" + u.name + ")") + ": " +
            std::to_string(u.controls.size()) +
            (u.controls.size() == 1 ? " control" : " controls") + "\n";
    if (!u.problem.empty()) text += "  " + u.problem + "\n";
    for (const ControlListing& c : u.controls) {
      text += "  Selector " + std::to_string(c.selector) +
              (c.name.empty() ? "" : " (" + c.name + ")") + ": " +
              (c.length ? std::to_string(*c.length) + (*c.length == 1 ? " byte" : " bytes")
                        : std::string("length unknown")) +
              ", " + (c.access ? AccessText(*c.access) : std::string("access unknown")) + "\n";
      text += "    min " + Hex(c.minimum) + "  max " + Hex(c.maximum) + "  res " +
              Hex(c.resolution) + "  default " + Hex(c.defaultValue) + "  current " +
              Hex(c.current) + "\n";
      for (const std::string& p : c.problems) text += "    " + p + "\n";
      for (const NamedListing& n : c.named) {
        text += "    \"" + n.name + "\" = " + NamedValueText(n) + " (" + NamedFacts(n.info) + ")\n";
        if (!n.problem.empty()) text += "      " + n.problem + "\n";
      }
    }
  }
  for (uint32_t node : inv.unnamedNodes) {
    text += "Unnamed unit on node " + std::to_string(node) +
            ": it names no GUID; give its GUID (from the camera's USB descriptor) to reach it\n";
  }
  return text;
}

std::string NamedReportLine(const NamedListing& n) {
  std::string label = n.name;
  if (label.size() < 18) label.resize(18, ' ');
  std::string line = label + SupportText(static_cast<int32_t>(n.info.access & 3));
  if (n.info.type == "integer" && n.info.min && n.info.max) {
    line += "Range " + std::to_string(*n.info.min) + "\t- " + std::to_string(*n.info.max);
  } else if (!n.info.labels.empty()) {
    line += "One of " + Labels(n.info.labels);
  }
  if (n.info.CanGet()) line += n.valueOk ? "\tValue is " + n.value : "\tValue is not supp.";
  if (!n.info.units.empty() && n.valueOk) line += " " + n.info.units;
  if (!n.info.defaultText.empty()) line += "\tDefault " + n.info.defaultText;
  return line;
}

// --- raw access -------------------------------------------------------------------

Answer FindControl(XuSource& s, const std::string& guidText, const std::string& selectorText,
                   std::string* unit, uint32_t* selector) {
  Guid guid;
  if (!xu::ParseGuidText(guidText, &guid)) {
    return Answer::Usage("GUID " + cli::Quoted(guidText) +
                         " is not a GUID (XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX)");
  }
  std::string error;
  if (!ParseSelectorArgument(selectorText, selector, &error)) return Answer::Usage(error);
  std::vector<std::string> units;
  HResult h = s.Units(&units);
  if (hr::Failed(h)) return Answer::Failed(Failure("listing the extension units", h, s));
  // A unit that names no GUID is not listed: the library finds the node
  // that answers the GUID given.
  const bool listed = FindUnit(units, guid, unit);
  if (!listed) *unit = GuidText(guid);
  std::vector<uint32_t> selectors;
  h = s.Controls(*unit, &selectors);
  if (hr::Failed(h) && !listed) {
    return Answer::Failed("this camera has no extension unit " + GuidText(guid) +
                          " (see \"lumora xu CAM\")");
  }
  if (hr::Failed(h)) return Answer::Failed(Failure("listing the controls of " + *unit, h, s));
  for (uint32_t sel : selectors) {
    if (sel == *selector) return Answer{};
  }
  return Answer::Failed("extension unit " + GuidText(guid) + " has no control " +
                        std::to_string(*selector));
}

namespace {

// FindControl, and the control's words for messages ("control 1 of UNIT").
Answer Locate(XuSource& s, const std::string& guidText, const std::string& selectorText,
              std::string* unit, uint32_t* selector, std::string* what) {
  Answer a = FindControl(s, guidText, selectorText, unit, selector);
  *what = "control " + std::to_string(*selector) + " of " + *unit;
  return a;
}

}  // namespace

Answer RawGet(XuSource& s, const std::string& guidText, const std::string& selectorText,
              Bytes* value) {
  std::string unit, what;
  uint32_t selector = 0;
  Answer a = Locate(s, guidText, selectorText, &unit, &selector, &what);
  if (!a.ok()) return a;
  uint32_t access = 3;
  if (hr::Succeeded(s.Access(unit, selector, &access)) && (access & 1) == 0) {
    return Answer::Failed(what + " is write only: it cannot be read");
  }
  std::optional<Bytes> read;
  HResult h = s.Read(Fact::kValue, unit, selector, &read);
  if (hr::Failed(h)) return Answer::Failed(Failure("reading " + what, h, s));
  if (!read) return Answer::Failed("reading " + what + " gave no value");
  *value = *read;
  return a;
}

Answer RawSet(XuSource& s, const std::string& guidText, const std::string& selectorText,
              const std::string& hex, std::optional<Bytes>* readBack) {
  Bytes value;
  std::string error;
  if (!ParseHexArgument(hex, &value, &error)) return Answer::Usage(error);
  std::string unit, what;
  uint32_t selector = 0;
  Answer a = Locate(s, guidText, selectorText, &unit, &selector, &what);
  if (!a.ok()) return a;
  uint32_t length = 0;
  HResult h = s.Length(unit, selector, &length);
  if (hr::Failed(h)) {
    return Answer::Failed(Failure("reading the length of " + what, h, s) + "; nothing written");
  }
  if (value.size() != length) {
    return Answer::Failed(what + " holds " + std::to_string(length) +
                          (length == 1 ? " byte" : " bytes") + ", HEX gives " +
                          std::to_string(value.size()) + "; nothing written");
  }
  uint32_t access = 0;
  h = s.Access(unit, selector, &access);
  if (hr::Succeeded(h) && (access & 2) == 0) {
    return Answer::Failed(what + " is read only; nothing written");
  }
  h = s.Write(unit, selector, value);
  if (hr::Failed(h)) return Answer::Failed(Failure("writing " + what, h, s));
  readBack->reset();
  if (hr::Failed(h = s.Access(unit, selector, &access)) || (access & 1) != 0) {
    if (hr::Failed(s.Read(Fact::kValue, unit, selector, readBack))) readBack->reset();
  }
  return a;
}

// --- named access ---------------------------------------------------------------

HResult FindNamed(XuSource& s, const std::string& name, std::string* spelled) {
  std::vector<std::string> names;
  HResult h = s.Names(&names);
  if (hr::Failed(h)) return h;
  for (const std::string& n : names) {
    if (EqualNoCase(n, name)) {
      *spelled = n;
      return hr::Ok;
    }
  }
  return hr::False;
}

std::string WhyNotNamed(XuSource& s, const std::string& name) {
  NamedInfo info;
  HResult h = s.Info(name, &info);
  if (hr::Succeeded(h) || h == xu::code::kNotFound) return std::string();
  const std::string words = s.LastMessage();
  return cli::Printable(name) + " cannot be used on this camera (" +
         (words.empty() ? xu::DescribeCode(h) : cli::Printable(words)) + ")";
}

Answer CheckValue(const std::string& name, const NamedInfo& info, const std::string& text,
                  std::string* normal) {
  const std::string refused = "; nothing written";
  if (info.type == "menu") {
    for (const std::string& l : info.labels) {
      if (EqualNoCase(l, text)) {
        *normal = l;
        return Answer{};
      }
    }
    return Answer::Failed(cli::Quoted(text) + " is not one of " + Labels(info.labels) + " (" +
                          name + ")" + refused);
  }
  if (info.type == "boolean") {
    const std::optional<bool> on = xu::ParseSwitchText(text);
    if (!on) return Answer::Usage("value " + cli::Quoted(text) + " of " + name + " is not on or off");
    *normal = *on ? "on" : "off";
    return Answer{};
  }
  if (info.type == "bytes") {
    Bytes bytes;
    std::string error;
    if (!ParseHexArgument(text, &bytes, &error)) return Answer::Usage(error);
    *normal = xu::HexText(bytes);
    return Answer{};
  }
  int64_t v = 0;
  if (!ParseWhole(text, &v)) {
    return Answer::Usage("value " + cli::Quoted(text) + " is not a whole number");
  }
  if (info.min && info.max && (v < *info.min || v > *info.max)) {
    return Answer::Failed(std::to_string(v) + " is outside the range " + std::to_string(*info.min) +
                          ".." + std::to_string(*info.max) + " of " + name + refused);
  }
  *normal = std::to_string(v);
  return Answer{};
}

Answer NamedGet(XuSource& s, const std::string& name, std::string* value) {
  NamedInfo info;
  HResult h = s.Info(name, &info);
  if (hr::Failed(h)) return Answer::Failed(Failure("reading the facts of " + name, h, s));
  if (!info.CanGet()) return Answer::Failed(name + " cannot be read on this camera");
  h = s.GetNamed(name, value);
  if (hr::Failed(h)) return Answer::Failed(Failure("reading " + name, h, s));
  return Answer{};
}

Answer NamedSet(XuSource& s, const std::string& name, const std::string& text,
                std::string* readBack) {
  NamedInfo info;
  HResult h = s.Info(name, &info);
  if (hr::Failed(h)) return Answer::Failed(Failure("reading the facts of " + name, h, s));
  if (!info.CanSet()) return Answer::Failed(name + " cannot be set on this camera");
  std::string normal;
  Answer a = CheckValue(name, info, text, &normal);
  if (!a.ok()) return a;
  h = s.SetNamed(name, info, normal);
  if (hr::Failed(h)) return Answer::Failed(Failure("setting " + name, h, s));
  readBack->clear();
  if (info.CanGet() && hr::Failed(s.GetNamed(name, readBack))) readBack->clear();
  return a;
}

}  // namespace lumora::xutool
