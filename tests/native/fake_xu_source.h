// A camera's extension-unit controls as the library's interface answers
// them, for the tool's native tests: units of one-byte-field controls, named
// fields inside them, and faults (every call failing, writes failing or
// ignored, values outside a range or a wrong-length raw write accepted, the
// camera unplugged). Every write is logged.
#pragma once

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "tools/xu_tool.h"
#include "xu/definitions.h"

namespace lumora::xutool {

constexpr HResult kGenFailure = static_cast<HResult>(0x8007001Fu);
constexpr HResult kUnplugged = static_cast<HResult>(0x8007048Fu);

class FakeXu : public XuSource {
 public:
  struct Control {
    Bytes value;
    uint32_t access = 3;
  };
  // A field is one byte of a control.
  struct Field {
    std::string name, unit;
    uint32_t selector = 0;
    size_t byte = 0;
    std::string type = "integer";
    std::vector<std::string> labels;  // menu: label k is the value k
    int64_t min = 0, max = 255;
    uint32_t access = 3;
  };
  std::map<std::string, std::map<uint32_t, Control>> units;
  std::vector<Field> fields;

  HResult failAll = 0;         // every call answers this
  HResult failWrites = 0;      // Write and SetNamed answer this
  bool acceptOutside = false;  // SetNamed stores what it is given, in range or not
  bool acceptLong = false;     // Write takes a value longer than the control
  bool ignoreWrites = false;   // writes succeed and change nothing
  bool unplugged = false;
  std::string message;               // the library's words for a failure
  std::vector<std::string> writes;   // "unit/selector=hex", "Name=text"

  // The Logitech-like layout: LED mode (menu) and frequency (integer 0..200)
  // in a 5-byte control; a read-only 1-byte count in a second unit.
  static FakeXu Led() {
    FakeXu x;
    x.units[kLed][9] = {{0, 1, 0, 10, 0}, 3};
    x.units[kCount][8] = {{4}, 1};
    x.fields = {{"LED Mode", kLed, 9, 1, "menu", {"off", "on", "blink", "auto"}, 0, 3, 3},
                {"LED Frequency", kLed, 9, 3, "integer", {}, 0, 200, 3},
                {"People Count", kCount, 8, 0, "integer", {}, 0, 255, 1}};
    return x;
  }
  static constexpr const char* kLed = "{FFE52D21-8030-4E2C-82D9-F587D00540BD}";
  static constexpr const char* kCount = "{A8BD5DF2-1A98-474E-8DD0-D92672D194FA}";

  HResult Units(std::vector<std::string>* out) override {
    if (HResult h = Fault()) return h;
    out->clear();
    for (const auto& u : units) out->push_back(u.first);
    return hr::Ok;
  }
  HResult Controls(const std::string& unit, std::vector<uint32_t>* out) override {
    if (HResult h = Fault()) return h;
    auto u = units.find(unit);
    if (u == units.end()) return xu::code::kSetNotFound;
    out->clear();
    for (const auto& c : u->second) out->push_back(c.first);
    return hr::Ok;
  }
  HResult Length(const std::string& unit, uint32_t sel, uint32_t* length) override {
    Control* c = nullptr;
    if (HResult h = Find(unit, sel, &c)) return h;
    *length = static_cast<uint32_t>(c->value.size());
    return hr::Ok;
  }
  HResult Access(const std::string& unit, uint32_t sel, uint32_t* access) override {
    Control* c = nullptr;
    if (HResult h = Find(unit, sel, &c)) return h;
    *access = c->access;
    return hr::Ok;
  }
  HResult Read(Fact fact, const std::string& unit, uint32_t sel,
               std::optional<Bytes>* value) override {
    Control* c = nullptr;
    if (HResult h = Find(unit, sel, &c)) return h;
    if (fact == Fact::kValue) {
      *value = c->value;
    } else if (fact == Fact::kMinimum) {
      *value = Bytes(c->value.size(), 0);
    } else if (fact == Fact::kMaximum) {
      *value = Bytes(c->value.size(), 0xff);
    } else {
      value->reset();  // no resolution, no default
    }
    return hr::Ok;
  }
  HResult Write(const std::string& unit, uint32_t sel, const Bytes& value) override {
    Control* c = nullptr;
    if (HResult h = Find(unit, sel, &c)) return h;
    writes.push_back(unit + "/" + std::to_string(sel) + "=" + xu::HexText(value));
    if (failWrites != 0) return failWrites;
    if ((c->access & 2) == 0) return hr::AccessDenied;
    if (value.size() != c->value.size() && !acceptLong) return hr::InvalidArg;
    if (!ignoreWrites) c->value = value;
    return hr::Ok;
  }
  HResult Names(std::vector<std::string>* out) override {
    if (HResult h = Fault()) return h;
    out->clear();
    for (const Field& f : fields) out->push_back(f.name);
    return hr::Ok;
  }
  HResult Info(const std::string& name, NamedInfo* info) override {
    Field* f = nullptr;
    if (HResult h = FindField(name, &f)) return h;
    NamedInfo i;
    i.type = f->type;
    if (f->type == "integer") {
      i.min = f->min;
      i.max = f->max;
    }
    i.labels = f->labels;
    i.unit = f->unit;
    i.selector = f->selector;
    i.access = f->access;
    *info = i;
    return hr::Ok;
  }
  HResult GetNamed(const std::string& name, std::string* text) override {
    Field* f = nullptr;
    if (HResult h = FindField(name, &f)) return h;
    uint8_t v = units[f->unit][f->selector].value.at(f->byte);
    if (f->type == "menu" && v < f->labels.size()) {
      *text = f->labels[v];
    } else if (f->type == "boolean") {
      *text = v != 0 ? "on" : "off";
    } else {
      *text = std::to_string(v);
    }
    return hr::Ok;
  }
  HResult SetNamed(const std::string& name, const NamedInfo&, const std::string& text) override {
    Field* f = nullptr;
    if (HResult h = FindField(name, &f)) return h;
    writes.push_back(f->name + "=" + text);
    if (failWrites != 0) return failWrites;
    if ((f->access & 2) == 0) return hr::AccessDenied;
    int64_t v = -1;
    if (f->type == "menu") {
      for (size_t k = 0; k < f->labels.size(); ++k) {
        if (EqualNoCase(f->labels[k], text)) v = static_cast<int64_t>(k);
      }
      if (v < 0 && acceptOutside) v = 0xEE;
    } else if (f->type == "boolean") {
      v = text == "on" ? 1 : text == "off" ? 0 : -1;
    } else {
      char* end = nullptr;
      v = std::strtoll(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0') v = -1;
      if (!acceptOutside && (v < f->min || v > f->max)) v = -1;
    }
    if (v < 0 || v > 255) return hr::InvalidArg;
    if (!ignoreWrites) units[f->unit][f->selector].value.at(f->byte) = static_cast<uint8_t>(v);
    return hr::Ok;
  }
  std::string LastMessage() override { return message; }

 private:
  HResult Fault() const { return unplugged ? kUnplugged : failAll; }
  HResult Find(const std::string& unit, uint32_t sel, Control** c) {
    if (HResult h = Fault()) return h;
    auto u = units.find(unit);
    if (u == units.end()) return xu::code::kSetNotFound;
    auto it = u->second.find(sel);
    if (it == u->second.end()) return xu::code::kNotFound;
    *c = &it->second;
    return hr::Ok;
  }
  HResult FindField(const std::string& name, Field** f) {
    if (HResult h = Fault()) return h;
    for (Field& field : fields) {
      if (field.name == name) {
        *f = &field;
        return hr::Ok;
      }
    }
    return xu::code::kNotFound;
  }
};

}  // namespace lumora::xutool
