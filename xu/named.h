// Finding a camera's extension-unit controls by what users type: a unit's
// GUID and a selector for raw access, a field's name for named access; and
// the hex text of raw values ("0001000a00"). Every miss is an error naming
// what was not found.
#pragma once

#include <string>
#include <vector>

#include "xu/definitions.h"
#include "xu/discovery.h"

namespace lumora::xu {

// The camera's unit with this GUID and its control with this selector.
Status FindRawControl(const std::vector<UnitFacts>& units, const Guid& unit, uint32_t selector,
                      const UnitFacts** foundUnit, const ControlFacts** foundControl);

// Points into the units and definitions it was found in, which must outlive
// it.
struct NamedField {
  const UnitFacts* unit = nullptr;
  const ControlFacts* control = nullptr;
  const ControlDefinition* definition = nullptr;
  size_t field = 0;
};

// The field of this name (without regard to case) among the definitions
// whose unit and selector the camera has and whose layout fits the
// camera's control. A definition that does not fit is reported with its
// reason when no other one answers the name.
Status FindNamedField(const std::vector<UnitFacts>& units, const Definitions& definitions,
                      const std::string& name, NamedField* found);

}  // namespace lumora::xu
