#include "property/catalogue.h"

#include <string_view>

#include "base/text.h"

namespace lumora {

const char* PropertyName(int32_t property) {
  if (property < 0 || property >= catalogue::kNamed) return nullptr;
  return catalogue::kRows[property].name;
}

const char* PropertyTitle(int32_t property) {
  if (property < 0 || property >= catalogue::kNamed) return nullptr;
  return catalogue::kRows[property].title;
}

int32_t PropertyFromName(const char* name) {
  if (name == nullptr) return -1;
  std::string_view text(name);
  if (text.size() > 4 && EqualNoCase(text.substr(0, 4), "VCP_")) text.remove_prefix(4);
  for (const catalogue::NamedValue& n : catalogue::kNames) {
    if (EqualNoCase(n.name, text)) return n.value;
  }
  return -1;
}

const char* ChipsetName(int32_t publicChipset) {
  for (const catalogue::NamedValue& c : catalogue::kChipsetNames) {
    if (c.value == publicChipset) return c.name;
  }
  return catalogue::kChipsetNames[0].name;
}

namespace catalogue {

const Row* Find(int32_t property) {
  return property >= 0 && property < kCatalogueSize ? &kRows[property] : nullptr;
}

Kind KindOf(int32_t property) {
  const Row* row = Find(property);
  return row != nullptr ? row->kind : Kind::kSetting;
}

bool IsKept(int32_t property) {
  const Row* row = Find(property);
  return row == nullptr || row->kept;
}

bool HasStandardUnits(int32_t publicChipset, int32_t property, Units units) {
  const Row* row = Find(property);
  if (row == nullptr || row->units != units) return false;
  for (int32_t f = 0; f < kFamilies; ++f) {
    if (kFamilyChipsets[f] == publicChipset) {
      return kFamilyCodes[f][static_cast<size_t>(property)] == row->route;
    }
  }
  return false;
}

Group GroupOf(int32_t publicChipset, int32_t property) {
  if (Find(property) == nullptr) return Group::kNone;
  int32_t family = kFamilyStandard;
  for (int32_t f = 0; f < kFamilies; ++f) {
    if (kFamilyChipsets[f] == publicChipset) family = f;
  }
  // The route ranges of catalogue_gen.py: procamp from 0, videocontrol from
  // 100, camera from 200, the private sets from 500.
  const int32_t code = kFamilyCodes[family][static_cast<size_t>(property)];
  if (code < 0) return Group::kNone;
  if (code < 200) return Group::kImage;
  if (code < 300) return Group::kCamera;
  return Group::kVendor;
}

}  // namespace catalogue
}  // namespace lumora
