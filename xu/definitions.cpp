#include "xu/definitions.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <sstream>
#include <utility>

#include <nlohmann/json.hpp>

#include "base/text.h"
#include "xu/ks_layout.h"
#include "xu/replies.h"

namespace lumora::xu {

namespace {

using Json = nlohmann::json;

constexpr uintmax_t kMaxFileSize = 1 << 20;
constexpr uint32_t kMaxValueBits = 32;

// A character iterator that counts what the parser consumed, so that each
// parse event knows where in the text it happened.
class CountingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  CountingIterator(const char* at, size_t* consumed) : at_(at), consumed_(consumed) {}
  reference operator*() const { return *at_; }
  CountingIterator& operator++() {
    ++at_;
    ++*consumed_;
    return *this;
  }
  CountingIterator operator++(int) {
    CountingIterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const CountingIterator& other) const { return at_ == other.at_; }
  bool operator!=(const CountingIterator& other) const { return at_ != other.at_; }

 private:
  const char* at_;
  size_t* consumed_;
};

// Builds the document and records the text position of every value by its
// JSON pointer ("/units/0/guid").
class PositionSax {
 public:
  PositionSax(Json& result, const size_t* consumed) : dom_(result, false), consumed_(consumed) {}

  bool null() { return Value() && dom_.null(); }
  bool boolean(bool v) { return Value() && dom_.boolean(v); }
  bool number_integer(Json::number_integer_t v) { return Value() && dom_.number_integer(v); }
  bool number_unsigned(Json::number_unsigned_t v) { return Value() && dom_.number_unsigned(v); }
  bool number_float(Json::number_float_t v, const Json::string_t& s) {
    return Value() && dom_.number_float(v, s);
  }
  bool string(Json::string_t& v) { return Value() && dom_.string(v); }
  bool binary(Json::binary_t& v) { return Value() && dom_.binary(v); }
  bool start_object(std::size_t n) {
    Value();
    frames_.push_back(Frame{false, 0, 0, ""});
    return dom_.start_object(n);
  }
  bool key(Json::string_t& k) {
    frames_.back().key = k;
    return dom_.key(k);
  }
  bool end_object() {
    frames_.pop_back();
    return dom_.end_object();
  }
  bool start_array(std::size_t n) {
    Value();
    frames_.push_back(Frame{true, 0, 0, ""});
    return dom_.start_array(n);
  }
  bool end_array() {
    frames_.pop_back();
    return dom_.end_array();
  }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
    errorPosition = position;
    errorText = e.what();
    return false;
  }

  std::map<std::string, size_t> positions;
  size_t errorPosition = 0;
  std::string errorText;

 private:
  struct Frame {
    bool array;
    size_t next;
    size_t current;
    std::string key;
  };

  bool Value() {
    if (!frames_.empty() && frames_.back().array) frames_.back().current = frames_.back().next++;
    std::string path;
    for (const Frame& f : frames_) path += "/" + (f.array ? std::to_string(f.current) : f.key);
    positions.emplace(path, *consumed_);
    return true;
  }

  nlohmann::detail::json_sax_dom_parser<Json> dom_;
  const size_t* consumed_;
  std::vector<Frame> frames_;
};

// A problem found in a parsed document, at the value of `path`.
struct DefinitionError {
  std::string path;
  std::string problem;
};

[[noreturn]] void Fail(const std::string& path, std::string problem) {
  throw DefinitionError{path, std::move(problem)};
}

int LineAt(const std::string& text, size_t consumed) {
  // The last character consumed may be the one after the token (a line
  // break after a number): the token ends before it.
  size_t end = consumed == 0 ? 0 : std::min(consumed - 1, text.size());
  return 1 + static_cast<int>(
                 std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
}

// Keeps a message on one printable line.
std::string OneLine(std::string s) {
  for (char& c : s) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return s;
}

// Field access with the checks every definition key gets.
class Reader {
 public:
  Reader(const Json& object, std::string path, std::vector<std::string> keys)
      : o_(object), path_(std::move(path)) {
    if (!o_.is_object()) Fail(path_, "expected an object");
    for (auto it = o_.begin(); it != o_.end(); ++it) {
      if (std::find(keys.begin(), keys.end(), it.key()) == keys.end()) {
        Fail(At(it.key()), "unknown key \"" + it.key() + "\"");
      }
    }
  }

  std::string At(const std::string& key) const { return path_ + "/" + key; }
  const std::string& path() const { return path_; }
  bool Has(const char* key) const { return o_.contains(key); }
  const Json& Get(const char* key) const { return o_.at(key); }

  std::string String(const char* key, bool required) const {
    if (!Has(key)) {
      if (required) Fail(path_, std::string("\"") + key + "\" is missing");
      return "";
    }
    const Json& v = o_.at(key);
    if (!v.is_string()) Fail(At(key), std::string("\"") + key + "\" must be text");
    return v.get<std::string>();
  }

  int64_t Integer(const char* key, int64_t min, int64_t max,
                  std::optional<int64_t> fallback) const {
    if (!Has(key)) {
      if (!fallback) Fail(path_, std::string("\"") + key + "\" is missing");
      return *fallback;
    }
    return IntegerValue(o_.at(key), At(key), key, min, max);
  }

  bool Boolean(const char* key) const {
    if (!Has(key)) return false;
    const Json& v = o_.at(key);
    if (!v.is_boolean()) Fail(At(key), std::string("\"") + key + "\" must be true or false");
    return v.get<bool>();
  }

  static int64_t IntegerValue(const Json& v, const std::string& path, const char* key, int64_t min,
                              int64_t max) {
    bool fits = false;
    int64_t n = 0;
    if (v.is_number_unsigned()) {
      uint64_t u = v.get<uint64_t>();
      fits = u <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
      n = static_cast<int64_t>(u);
    } else if (v.is_number_integer()) {
      fits = true;
      n = v.get<int64_t>();
    } else {
      Fail(path, std::string("\"") + key + "\" must be a whole number");
    }
    if (!fits || n < min || n > max) {
      Fail(path, std::string("\"") + key + "\" must be from " + std::to_string(min) + " to " +
                     std::to_string(max));
    }
    return n;
  }

 private:
  const Json& o_;
  std::string path_;
};

Guid GuidValue(const std::string& text, const std::string& path) {
  Guid g;
  if (!ParseGuidText(text, &g))
    Fail(path, "\"" + text + "\" is not a GUID (xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx)");
  return g;
}

// "ff0201" as the little-endian value of its bytes.
uint64_t ParseHexBytes(const std::string& text, const std::string& path, size_t* count) {
  Bytes bytes;
  if (!ParseHexText(text, &bytes) || bytes.size() > kMaxValueBits / 8) {
    Fail(path, "\"bytes\" must be 1 to " + std::to_string(kMaxValueBits / 8) +
                   " bytes as pairs of hex digits");
  }
  uint64_t value = 0;
  for (size_t i = 0; i < bytes.size(); ++i) value |= uint64_t{bytes[i]} << (8 * i);
  *count = bytes.size();
  return value;
}

FieldType ParseType(const std::string& text, const std::string& path) {
  for (FieldType t :
       {FieldType::kInteger, FieldType::kBoolean, FieldType::kMenu, FieldType::kRaw}) {
    if (text == FieldTypeName(t)) return t;
  }
  Fail(path, "\"type\" must be integer, boolean, menu or raw, not \"" + text + "\"");
}

void ParseMenu(const Json& menu, const std::string& path, FieldDefinition* f) {
  if (!menu.is_array() || menu.empty()) Fail(path, "\"menu\" must be a list of entries");
  uint64_t limit = uint64_t{1} << f->bits;
  for (size_t i = 0; i < menu.size(); ++i) {
    Reader e(menu[i], path + "/" + std::to_string(i), {"label", "value", "bytes", "comment"});
    MenuEntry entry;
    entry.label = e.String("label", true);
    if (entry.label.empty()) Fail(e.At("label"), "a menu label must not be empty");
    if (e.Has("value") == e.Has("bytes")) {
      Fail(e.path(), "a menu entry has either \"value\" or \"bytes\"");
    }
    if (e.Has("value")) {
      entry.value = static_cast<uint64_t>(
          e.Integer("value", 0, static_cast<int64_t>(limit - 1), std::nullopt));
    } else {
      size_t count = 0;
      entry.value = ParseHexBytes(e.String("bytes", true), e.At("bytes"), &count);
      if (f->bit != 0 || f->bits != 8 * count) {
        Fail(e.At("bytes"), "\"bytes\" must fill the field (" + std::to_string(f->bits) +
                                " bits from bit 0 of its byte)");
      }
    }
    for (const MenuEntry& other : f->menu) {
      if (EqualNoCase(other.label, entry.label)) {
        Fail(e.At("label"), "menu label \"" + entry.label + "\" is given twice");
      }
      if (other.value == entry.value) {
        Fail(e.path(), "menu entries \"" + other.label + "\" and \"" + entry.label +
                           "\" have the same value");
      }
    }
    f->menu.push_back(std::move(entry));
  }
}

FieldDefinition ParseField(const Json& json, const std::string& path) {
  Reader r(json, path,
           {"name", "type", "byte", "bit", "bits", "signed", "range", "menu", "units", "source",
            "comment"});
  FieldDefinition f;
  f.name = r.String("name", true);
  if (f.name.empty()) Fail(r.At("name"), "a field name must not be empty");
  f.type = ParseType(r.String("type", true), r.At("type"));
  f.byte =
      static_cast<uint32_t>(r.Integer("byte", 0, int64_t{kMaxControlLength} - 1, std::nullopt));
  f.bit = static_cast<uint32_t>(r.Integer("bit", 0, 7, 0));
  if (f.type == FieldType::kRaw) {
    f.bits =
        static_cast<uint32_t>(r.Integer("bits", 8, 8 * int64_t{int64_t{kMaxControlLength}}, 8));
    if (f.bit != 0 || f.bits % 8 != 0) Fail(r.At("bits"), "a raw field is whole bytes");
  } else {
    int64_t fallback = f.type == FieldType::kBoolean ? 1 : 8;
    f.bits = static_cast<uint32_t>(r.Integer("bits", 1, kMaxValueBits, fallback));
  }
  f.isSigned = r.Boolean("signed");
  if (f.isSigned && f.type != FieldType::kInteger) {
    Fail(r.At("signed"), "only an integer field is signed");
  }
  if (r.Has("range")) {
    if (f.type != FieldType::kInteger) Fail(r.At("range"), "only an integer field has a range");
    const Json& range = r.Get("range");
    if (range.is_string() && range.get<std::string>() == "device") {
      f.range = RangeFrom::kDevice;
    } else if (range.is_string() && range.get<std::string>() == "width") {
      f.range = RangeFrom::kWidth;
    } else if (range.is_object()) {
      Reader m(range, r.At("range"), {"min", "max"});
      int64_t lo = f.isSigned ? -(int64_t{1} << (f.bits - 1)) : 0;
      int64_t hi = f.isSigned ? (int64_t{1} << (f.bits - 1)) - 1 : (int64_t{1} << f.bits) - 1;
      f.range = RangeFrom::kDefinition;
      f.min = m.Integer("min", lo, hi, std::nullopt);
      f.max = m.Integer("max", lo, hi, std::nullopt);
      if (f.min > f.max) Fail(m.At("min"), "\"min\" is above \"max\"");
    } else {
      Fail(r.At("range"), "\"range\" must be \"device\", \"width\" or {\"min\", \"max\"}");
    }
  }
  if (f.type == FieldType::kMenu) {
    if (!r.Has("menu")) Fail(path, "a menu field needs \"menu\"");
    ParseMenu(r.Get("menu"), r.At("menu"), &f);
  } else if (r.Has("menu")) {
    Fail(r.At("menu"), "only a menu field has \"menu\"");
  }
  f.units = r.String("units", false);
  f.source = r.String("source", false);
  return f;
}

}  // namespace

const char* FieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::kInteger: return "integer";
    case FieldType::kBoolean: return "boolean";
    case FieldType::kMenu: return "menu";
    case FieldType::kRaw: return "raw";
  }
  return "";
}

bool ParseGuidText(const std::string& text, Guid* guid) {
  bool braced = text.size() == 38 && text.front() == '{' && text.back() == '}';
  if (text.size() != 36 && !braced) return false;
  Guid g = Guid::Parse(text.c_str());
  if (g.IsNull()) return false;
  *guid = g;
  return true;
}

const char* ControlKindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kSetting: return "setting";
    case ControlKind::kAction: return "action";
    case ControlKind::kReadOnly: return "readonly";
  }
  return "";
}

bool Definitions::AddText(const std::string& file, const std::string& text) {
  Json doc;
  size_t consumed = 0;
  PositionSax sax(doc, &consumed);
  CountingIterator first(text.data(), &consumed);
  CountingIterator last(text.data() + text.size(), &consumed);
  if (!Json::sax_parse(first, last, &sax)) {
    std::string problem = sax.errorText;
    // "[json.exception.parse_error.101] parse error at line 3, column 7:
    // syntax error ..." keeps its own words after the position.
    size_t colon = problem.find(": ");
    if (colon != std::string::npos) problem = problem.substr(colon + 2);
    errors_.push_back(
        OneLine(file + ":" + std::to_string(LineAt(text, sax.errorPosition)) + ": " + problem));
    return false;
  }

  std::vector<UnitDefinition> units;
  std::vector<ControlDefinition> controls;
  try {
    Reader top(doc, "", {"units", "comment"});
    if (!top.Has("units")) Fail("", "\"units\" is missing");
    const Json& list = top.Get("units");
    if (!list.is_array()) Fail("/units", "\"units\" must be a list");
    for (size_t u = 0; u < list.size(); ++u) {
      Reader ru(list[u], "/units/" + std::to_string(u),
                {"guid", "name", "source", "comment", "controls"});
      UnitDefinition unit;
      unit.guid = GuidValue(ru.String("guid", true), ru.At("guid"));
      unit.name = ru.String("name", false);
      unit.source = ru.String("source", false);
      for (const UnitDefinition& other : units) {
        if (other.guid == unit.guid)
          Fail(ru.At("guid"), "unit " + unit.guid.ToString() + " is given twice");
      }
      if (ru.Has("controls")) {
        const Json& cs = ru.Get("controls");
        if (!cs.is_array()) Fail(ru.At("controls"), "\"controls\" must be a list");
        for (size_t c = 0; c < cs.size(); ++c) {
          Reader rc(cs[c], ru.At("controls") + "/" + std::to_string(c),
                    {"selector", "name", "length", "kind", "source", "comment", "fields"});
          ControlDefinition control;
          control.unit = unit.guid;
          control.selector = static_cast<uint32_t>(
              rc.Integer("selector", kFirstSelector, kLastSelector, std::nullopt));
          control.name = rc.String("name", true);
          if (control.name.empty()) Fail(rc.At("name"), "a control name must not be empty");
          if (rc.Has("length")) {
            control.length =
                static_cast<uint32_t>(rc.Integer("length", 1, kMaxControlLength, std::nullopt));
          }
          if (rc.Has("kind")) {
            std::string kind = rc.String("kind", true);
            bool known = false;
            for (ControlKind k :
                 {ControlKind::kSetting, ControlKind::kAction, ControlKind::kReadOnly}) {
              if (kind == ControlKindName(k)) {
                control.kind = k;
                known = true;
              }
            }
            if (!known) {
              Fail(rc.At("kind"),
                   "\"kind\" must be setting, action or readonly, not \"" + kind + "\"");
            }
          }
          control.source = rc.String("source", false);
          control.file = file;
          control.line = LineAt(text, sax.positions[rc.path()]);
          for (const ControlDefinition& other : controls) {
            if (other.unit == control.unit && other.selector == control.selector) {
              Fail(rc.At("selector"),
                   "selector " + std::to_string(control.selector) + " is given twice");
            }
          }
          if (rc.Has("fields")) {
            const Json& fs = rc.Get("fields");
            if (!fs.is_array()) Fail(rc.At("fields"), "\"fields\" must be a list");
            for (size_t f = 0; f < fs.size(); ++f) {
              std::string at = rc.At("fields") + "/" + std::to_string(f);
              FieldDefinition field = ParseField(fs[f], at);
              if (control.length && field.EndBit() > uint64_t{*control.length} * 8) {
                Fail(at, "field \"" + field.name + "\" reaches past the control's " +
                             std::to_string(*control.length) + " bytes");
              }
              for (const FieldDefinition& other : control.fields) {
                if (EqualNoCase(other.name, field.name)) {
                  Fail(at + "/name", "field \"" + field.name + "\" is given twice");
                }
              }
              control.fields.push_back(std::move(field));
            }
          }
          controls.push_back(std::move(control));
        }
      }
      units.push_back(std::move(unit));
    }
  } catch (const nlohmann::json::exception& e) {
    // Not expected after the checks above; the file is refused all the same.
    errors_.push_back(OneLine(file + ":1: " + e.what()));
    return false;
  } catch (const DefinitionError& e) {
    // The line of the value at fault, or of the nearest enclosing one.
    std::string path = e.path;
    auto found = sax.positions.find(path);
    while (found == sax.positions.end() && !path.empty()) {
      path.erase(path.rfind('/'));
      found = sax.positions.find(path);
    }
    size_t at = found == sax.positions.end() ? 0 : found->second;
    errors_.push_back(OneLine(file + ":" + std::to_string(LineAt(text, at)) + ": " + e.problem));
    return false;
  }

  // Later files override earlier ones, unit by unit and control by control.
  for (UnitDefinition& unit : units) {
    units_.erase(std::remove_if(units_.begin(), units_.end(),
                                [&](const UnitDefinition& u) { return u.guid == unit.guid; }),
                 units_.end());
    units_.push_back(std::move(unit));
  }
  for (ControlDefinition& control : controls) {
    controls_.erase(std::remove_if(controls_.begin(), controls_.end(),
                                   [&](const ControlDefinition& c) {
                                     return c.unit == control.unit &&
                                            c.selector == control.selector;
                                   }),
                    controls_.end());
    controls_.push_back(std::move(control));
  }
  return true;
}

void Definitions::AddFolder(const std::string& folder) {
  namespace fs = std::filesystem;
  if (folder.empty()) return;
  std::error_code ec;
  fs::path dir = fs::u8path(folder);
  if (!fs::is_directory(dir, ec)) return;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() == ".json") files.push_back(it->path());
  }
  if (ec) {
    errors_.push_back(OneLine(folder + ": the folder cannot be read: " + ec.message()));
    return;
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& path : files) {
    std::string name = path.u8string();
    std::error_code sizeError;
    uintmax_t size = fs::file_size(path, sizeError);
    if (sizeError || size > kMaxFileSize) {
      errors_.push_back(OneLine(
          name + ":1: " + (sizeError ? "the file cannot be read" : "the file is too large")));
      continue;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
      errors_.push_back(OneLine(name + ":1: the file cannot be read"));
      continue;
    }
    AddText(name, text.str());
  }
}

const UnitDefinition* Definitions::FindUnit(const Guid& guid) const {
  for (const UnitDefinition& u : units_) {
    if (u.guid == guid) return &u;
  }
  return nullptr;
}

const ControlDefinition* Definitions::FindControl(const Guid& unit, uint32_t selector) const {
  for (const ControlDefinition& c : controls_) {
    if (c.unit == unit && c.selector == selector) return &c;
  }
  return nullptr;
}

std::vector<std::pair<const ControlDefinition*, size_t>> Definitions::FindField(
    const std::string& name) const {
  std::vector<std::pair<const ControlDefinition*, size_t>> found;
  for (const ControlDefinition& c : controls_) {
    for (size_t i = 0; i < c.fields.size(); ++i) {
      if (EqualNoCase(c.fields[i].name, name)) found.emplace_back(&c, i);
    }
  }
  return found;
}

std::vector<Guid> Definitions::Guids() const {
  std::vector<Guid> guids;
  for (const UnitDefinition& u : units_) guids.push_back(u.guid);
  for (const ControlDefinition& c : controls_) {
    if (std::find(guids.begin(), guids.end(), c.unit) == guids.end()) guids.push_back(c.unit);
  }
  return guids;
}

Definitions LoadDefinitions(const std::vector<std::string>& folders) {
  Definitions d;
  for (const std::string& folder : folders) d.AddFolder(folder);
  return d;
}

}  // namespace lumora::xu
