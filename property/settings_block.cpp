#include "property/settings_block.h"

#include "property/catalogue.h"

namespace lumora {

namespace {

uint32_t CoveredElements(uint32_t count) {
  return count < kSettingsBlockLimit ? count : kSettingsBlockLimit;
}

}  // namespace

float BlockProgress(uint32_t k, uint32_t count) {
  if (count == 0) return 0.0f;
  return 100.0f * static_cast<float>(k) / static_cast<float>(count);
}

void ReadSettingsBlock(SettingsAccess& access, int16_t* elements, uint32_t count) {
  access.Progress(0.0f);
  const uint32_t covered = CoveredElements(count);
  for (uint32_t k = 0; k < covered; ++k) {
    int32_t value = 0;
    HResult h = access.GetValue(static_cast<int32_t>(k), &value);
    elements[k] = hr::Succeeded(h) ? static_cast<int16_t>(static_cast<uint16_t>(value)) : 0;
    access.Progress(BlockProgress(k, count));
  }
  access.Progress(100.0f);
}

void WriteSettingsBlock(SettingsAccess& access, const int16_t* elements, uint32_t count) {
  access.Progress(0.0f);
  const uint32_t covered = CoveredElements(count);
  for (uint32_t k = 0; k < covered; ++k) {
    const int32_t property = static_cast<int32_t>(k);
    int32_t support = VCS_no;
    if (access.QuerySupport(property, &support) == hr::Ok && (support & VCS_set) != 0) {
      access.SetValue(property, static_cast<int32_t>(elements[k]));
    }
    access.Progress(BlockProgress(k, count));
  }
  access.Progress(100.0f);
}

}  // namespace lumora
