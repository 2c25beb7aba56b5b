#include "xu/named.h"

#include "xu/fields.h"

namespace lumora::xu {

Status FindRawControl(const std::vector<UnitFacts>& units, const Guid& unit, uint32_t selector,
                      const UnitFacts** foundUnit, const ControlFacts** foundControl) {
  for (const UnitFacts& u : units) {
    if (!u.guid || *u.guid != unit) continue;
    for (const ControlFacts& c : u.controls) {
      if (c.selector == selector) {
        *foundUnit = &u;
        *foundControl = &c;
        return Status::Ok();
      }
    }
    return Status::Error(code::kNotFound,
                         "unit " + unit.ToString() + " has no control " + std::to_string(selector));
  }
  return Status::Error(code::kSetNotFound, "this camera has no extension unit " + unit.ToString());
}

Status FindNamedField(const std::vector<UnitFacts>& units, const Definitions& definitions,
                      const std::string& name, NamedField* found) {
  std::string misfit;
  for (const auto& [definition, field] : definitions.FindField(name)) {
    const UnitFacts* unit = nullptr;
    const ControlFacts* control = nullptr;
    if (!FindRawControl(units, definition->unit, definition->selector, &unit, &control).ok()) {
      continue;
    }
    if (!control->length) {
      misfit = "\"" + name + "\": the length of " + "control " + std::to_string(control->selector) +
               " of unit " + definition->unit.ToString() + " cannot be read";
      continue;
    }
    std::string why = CheckAgainstDevice(*definition, *control->length);
    if (!why.empty()) {
      misfit = why;
      continue;
    }
    *found = NamedField{unit, control, definition, field};
    return Status::Ok();
  }
  if (!misfit.empty()) return Status::Error(hr::InvalidArg, misfit);
  return Status::Error(code::kNotFound,
                       "this camera has no extension-unit control named \"" + name + "\"");
}

}  // namespace lumora::xu
