// The property catalogue that clients ask for, the support answer and the
// chipset families the library tells apart. The numeric values belong to the
// published interface. The rows are described once, in property/catalogue.json;
// the build writes the enums and tables below from it
// (property/catalogue_generated.h), as it writes the public header's and the
// IDL's enums.
#pragma once

#include <array>
#include <cstdint>

namespace lumora {
namespace catalogue {

// What a write to a property does (catalogue.json explains each).
enum class Kind : uint8_t { kSetting, kAuto, kAction, kTrigger, kReadonly };

// Units of a property's value on its standard route.
enum class Units : uint8_t { kNone, kLog2Seconds };

// Where a property is reachable: the plain API's range and value calls, the
// settings block.
enum Reach : uint8_t { kReachValue = 1, kReachBlock = 2 };

struct Row {
  const char* name;   // published name without VCP_, nullptr for none
  const char* label;  // report label, 18 characters
  Kind kind;
  bool kept;  // profiles store it and reset restores it
  uint8_t reach;
  int32_t route;  // the standard route as a property code, -1 for none
  Units units;
  const char* title;  // in words, for windows; nullptr for a row without a name
};

struct NamedValue {
  const char* name;
  int32_t value;
};

}  // namespace catalogue
}  // namespace lumora

#include "property/catalogue_generated.h"

namespace lumora {

// Internal chipset value that detection produces for the SAA8116 family and
// its relatives; it has no public name and reads as CSX_SAA8116.
constexpr int32_t kChipsetSaa8116Family = 2;

// Public KnownChipsetCat value of an internal chipset value.
constexpr KnownChipsetCat PublicChipset(int32_t internal) {
  switch (internal) {
    case 1: return CSX_SAA8112;
    case 2:
    case 3: return CSX_SAA8116;
    case 4: return CSX_CREALIVEULTRA;
    case 5: return CSX_LOGIFUSION;
    default: return CSX_Unknown;
  }
}

// Catalogue name of a property value 0..31 without the VCP_ prefix (the first
// name where a value has aliases: "Iris" for 30), or nullptr.
const char* PropertyName(int32_t property);
// What a person reads for a named property in a window ("White balance
// red" for WhiteBalRed); nullptr where PropertyName is.
const char* PropertyTitle(int32_t property);

// Catalogue value of a name with or without the VCP_ prefix, compared without
// regard to case (aliases included); -1 when unknown.
int32_t PropertyFromName(const char* name);

// Name of a public chipset value as reports show it: "SAA8112", "SAA8116",
// "CREALIVEULTRA", "LOGIFUSION", otherwise "unknown".
const char* ChipsetName(int32_t publicChipset);

namespace catalogue {

// The row of a catalogue value 0..kCatalogueSize-1, or nullptr.
const Row* Find(int32_t property);

// The property's kind; a value outside the catalogue is a setting.
Kind KindOf(int32_t property);

// False for the properties profiles do not store and reset leaves alone
// (actions, a trigger that fires once); true outside the catalogue.
bool IsKept(int32_t property);

// True when the property takes its standard route on cameras of this public
// chipset and that route counts in the given units.
bool HasStandardUnits(int32_t publicChipset, int32_t property, Units units);

// Where a property sits on cameras of a public chipset, as a settings page
// groups it: the image controls (the video proc-amp and video-control
// routes), the camera controls (the camera-control route) and the vendor's
// own (a private set). kNone for a property without a route there.
enum class Group : uint8_t { kNone, kImage, kCamera, kVendor };
Group GroupOf(int32_t publicChipset, int32_t property);

}  // namespace catalogue
}  // namespace lumora
