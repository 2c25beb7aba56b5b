// Extension-unit controls as the lumora tool meets them (portable): the
// camera's units and controls through an XuSource (the tool implements it
// over the control object's extension-unit interface, tests over a fake),
// the listing of "lumora xu", raw get and set by GUID and selector with hex
// values, named controls by name, and their report lines. Every refusal is
// decided before anything is written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/types.h"
#include "xu/replies.h"

namespace lumora::xutool {

using xu::Bytes;

// The facts of a named control as the library gives them.
struct NamedInfo {
  std::string type;                 // "integer", "boolean", "menu" or "bytes"
  std::optional<int64_t> min, max;  // integer fields
  std::string defaultText;          // "" when the camera gives none
  std::string units;                // "0.05 Hz"
  std::vector<std::string> labels;  // menu fields
  std::string unit;                 // the unit's GUID as text
  uint32_t selector = 0;
  uint32_t access = 0;  // 1 read, 2 write, 3 both
  bool CanGet() const { return (access & 1) != 0; }
  bool CanSet() const { return (access & 2) != 0; }
};

// The calls of the library's extension-unit interface. Units are GUID
// strings as the library gives them; named values are texts: a decimal
// number, "on"/"off", a menu label, hex digits for raw fields.
class XuSource {
 public:
  virtual ~XuSource() = default;
  virtual HResult Units(std::vector<std::string>* units) = 0;
  // The definitions' name of a unit (selector 0) or a control; "" for none
  // (also by default).
  virtual HResult DefinedName(const std::string& unit, uint32_t selector, std::string* name) {
    (void)unit, (void)selector;
    name->clear();
    return hr::Ok;
  }
  // The node ids of units that name no GUID (none by default).
  virtual HResult UnnamedNodes(std::vector<uint32_t>* nodes) {
    nodes->clear();
    return hr::Ok;
  }
  virtual HResult Controls(const std::string& unit, std::vector<uint32_t>* selectors) = 0;
  virtual HResult Length(const std::string& unit, uint32_t selector, uint32_t* length) = 0;
  virtual HResult Access(const std::string& unit, uint32_t selector, uint32_t* access) = 0;
  enum class Fact { kMinimum, kMaximum, kResolution, kDefault, kValue };
  // Success with no value: the driver does not give this fact.
  virtual HResult Read(Fact fact, const std::string& unit, uint32_t selector,
                       std::optional<Bytes>* value) = 0;
  virtual HResult Write(const std::string& unit, uint32_t selector, const Bytes& value) = 0;
  virtual HResult Names(std::vector<std::string>* names) = 0;
  virtual HResult Info(const std::string& name, NamedInfo* info) = 0;
  virtual HResult GetNamed(const std::string& name, std::string* text) = 0;
  // `info` tells the value's type (how the text is handed on).
  virtual HResult SetNamed(const std::string& name, const NamedInfo& info,
                           const std::string& text) = 0;
  // The library's own words for the last failure; "" when it gave none.
  virtual std::string LastMessage() { return std::string(); }
};

// The outcome of a command step: a wrong command line (exit 2), a refusal
// or failure (exit 1) with one line of text, or success.
struct Answer {
  enum Kind { kOk, kUsage, kFailed } kind = kOk;
  std::string message;
  bool ok() const { return kind == kOk; }
  static Answer Usage(std::string m) { return {kUsage, std::move(m)}; }
  static Answer Failed(std::string m) { return {kFailed, std::move(m)}; }
};

// "reading LED Mode failed (0x8007001F (the device failed the request): the
// library's words)": the driver's code, its meaning and the library's text.
std::string Failure(const std::string& what, HResult code, XuSource& source);

// A HEX argument: two hex digits per byte, either case, an optional 0x in
// front, at least one byte and at most 65535; one line in *error otherwise.
bool ParseHexArgument(const std::string& text, Bytes* value, std::string* error);
// A SELECTOR argument: 1 to 31 in decimal.
bool ParseSelectorArgument(const std::string& text, uint32_t* selector, std::string* error);

// --- listing --------------------------------------------------------------

struct NamedListing {
  std::string name;
  NamedInfo info;
  bool valueOk = false;
  std::string value;
  std::string problem;  // why the value or facts are missing
};

struct ControlListing {
  uint32_t selector = 0;
  std::string name;  // the definitions' name, "" for none
  std::optional<uint32_t> length, access;
  std::optional<Bytes> minimum, maximum, resolution, defaultValue, current;
  std::vector<std::string> problems;
  std::vector<NamedListing> named;  // the named fields inside this control
};

struct UnitListing {
  std::string guid;
  std::string name;  // the definitions' name, "" for none
  std::vector<ControlListing> controls;
  std::string problem;
};

struct Inventory {
  std::vector<UnitListing> units;
  // Nodes of units that name no GUID: reached once the user gives the GUID.
  std::vector<uint32_t> unnamedNodes;
  std::vector<NamedListing> named;  // every named control, in the library's order
  std::string problem;              // the units could not be listed
};

// Everything "lumora xu CAM" shows; a fact that cannot be read is left out
// with the reason.
Inventory Collect(XuSource& source);
// The named controls alone (for report, save and check).
std::vector<NamedListing> CollectNamed(XuSource& source);

// The text of "lumora xu CAM"; lines end in LF.
std::string InventoryText(const Inventory& inventory);

// The report's line of a named control (no line break), in the layout of
// the property lines: name, access, range or labels, value, units, default.
std::string NamedReportLine(const NamedListing& named);

// --- raw access -------------------------------------------------------------

// The unit (as the camera names it) and the control a GUID and SELECTOR
// argument name; an error naming what the camera does not have.
Answer FindControl(XuSource& source, const std::string& guidText, const std::string& selectorText,
                   std::string* unit, uint32_t* selector);

// "lumora xu CAM get GUID SELECTOR": the control's bytes.
Answer RawGet(XuSource& source, const std::string& guidText, const std::string& selectorText,
              Bytes* value);

// "lumora xu CAM set GUID SELECTOR HEX": checks the text, the unit and
// selector, the length and the access before it writes; then reads back.
Answer RawSet(XuSource& source, const std::string& guidText, const std::string& selectorText,
              const std::string& hex, std::optional<Bytes>* readBack);

// --- named access -----------------------------------------------------------

// The library's spelling of a named control the camera has (without regard
// to case): hr::Ok; hr::False when it has none of that name; the failure of
// the list of names.
HResult FindNamed(XuSource& source, const std::string& name, std::string* spelled);

// Why the camera has no usable named control `name` when the library knows
// one (its control cannot be read or does not fit the definition): the
// library's reason; "" when no definition names it.
std::string WhyNotNamed(XuSource& source, const std::string& name);

// Whether a value text suits the control's facts, before anything is
// written: a menu label of the menu, on/off (true/false, 1/0) for a
// boolean, a whole number within the range for an integer, hex digits for
// raw. The value as it is handed on in *normal (a label in the menu's own
// spelling, "on"/"off", the number in decimal).
Answer CheckValue(const std::string& name, const NamedInfo& info, const std::string& text,
                  std::string* normal);

Answer NamedGet(XuSource& source, const std::string& name, std::string* value);
// Checks access and value, writes, and reads back into *readBack ("" when
// it cannot be read).
Answer NamedSet(XuSource& source, const std::string& name, const std::string& text,
                std::string* readBack);

}  // namespace lumora::xutool
