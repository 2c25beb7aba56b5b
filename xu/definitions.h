// Named extension-unit controls from definition files (JSON, the format of
// docs/xu-definitions.md): a control named by its unit's GUID and selector,
// and the fields inside it. Shipped files and a user's own folder load the
// same way, later ones overriding earlier ones control by control; a file
// with an error is refused whole with one line naming file, line and
// problem, and the other files still load.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/types.h"

namespace lumora::xu {

enum class FieldType { kInteger, kBoolean, kMenu, kRaw };

// The text of a field type in definition files: "integer", "boolean",
// "menu", "raw".
const char* FieldTypeName(FieldType type);

struct MenuEntry {
  std::string label;
  uint64_t value = 0;  // the field's bits (a byte string reads little-endian)
};

enum class RangeFrom {
  kWidth,       // every value the field's bits can hold
  kDevice,      // the field's bits in the control's minimum and maximum
  kDefinition,  // "min" and "max" of the definition
};

struct FieldDefinition {
  std::string name;
  FieldType type = FieldType::kInteger;
  uint32_t byte = 0;  // offset of the field's first byte in the control
  uint32_t bit = 0;   // offset of its lowest bit in that byte (0..7)
  uint32_t bits = 8;  // width; 1..64, a multiple of 8 for raw fields
  bool isSigned = false;
  RangeFrom range = RangeFrom::kWidth;
  int64_t min = 0, max = 0;  // for RangeFrom::kDefinition
  std::vector<MenuEntry> menu;
  std::string units;  // free text, for example "0.05 Hz"
  std::string source;

  // Bit position just past the field, counted from bit 0 of byte 0.
  uint64_t EndBit() const { return uint64_t{byte} * 8 + bit + bits; }
};

// What a control is, in the words of the property catalogue: a setting the
// camera keeps (profiles save and restore it), an action that a write does
// once (relative moves, one-shot commands: profiles and checks leave it
// alone, and a field write starts from zero bytes instead of the control's
// current value), or a value the camera only reports.
enum class ControlKind { kSetting, kAction, kReadOnly };

// "setting", "action", "readonly".
const char* ControlKindName(ControlKind kind);

struct ControlDefinition {
  Guid unit;
  uint32_t selector = 0;
  std::string name;
  std::optional<uint32_t> length;  // the length the source gives
  ControlKind kind = ControlKind::kSetting;
  std::vector<FieldDefinition> fields;
  std::string source;
  std::string file;  // where it was defined, for messages
  int line = 0;
};

struct UnitDefinition {
  Guid guid;
  std::string name;
  std::string source;
};

class Definitions {
 public:
  // Parses one file's text; on an error nothing of it is kept and one line
  // "FILE:LINE: PROBLEM" is added to errors(). Returns whether it loaded.
  bool AddText(const std::string& file, const std::string& text);
  // Loads every *.json file of a folder in name order; a missing folder is
  // no error, an unreadable file is one.
  void AddFolder(const std::string& folder);

  const std::vector<std::string>& errors() const { return errors_; }
  const std::vector<UnitDefinition>& units() const { return units_; }
  const std::vector<ControlDefinition>& controls() const { return controls_; }

  const UnitDefinition* FindUnit(const Guid& guid) const;
  const ControlDefinition* FindControl(const Guid& unit, uint32_t selector) const;
  // Controls with a field of this name (compared without regard to ASCII
  // case), with the field's index; a name may exist in several units.
  std::vector<std::pair<const ControlDefinition*, size_t>> FindField(const std::string& name) const;
  // The GUIDs of every defined unit, for node discovery.
  std::vector<Guid> Guids() const;

 private:
  std::vector<UnitDefinition> units_;
  std::vector<ControlDefinition> controls_;
  std::vector<std::string> errors_;
};


// Parses a GUID as users write it: 36 characters, optionally in braces,
// either case; the null GUID is refused.
bool ParseGuidText(const std::string& text, Guid* guid);

// The folders definitions are searched in, in loading order: the shipped
// folder, then the user's own (either may be empty and is then skipped).
Definitions LoadDefinitions(const std::vector<std::string>& folders);

}  // namespace lumora::xu
