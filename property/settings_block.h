// Block reads and writes of camera settings: an array of 16-bit integers in
// which element k stands for the property whose catalogue value is k.
//
// A block covers at most the properties 0 to 30 (kSettingsBlockLimit
// elements: the catalogue rows that a block reaches); VCP_Focus (31) is never
// part of one, and elements past the
// limit are left as they are. Progress is reported as 0 before the first
// element, 100·k/n (n the element count) after element k, and 100 at the end.
#pragma once

#include <cstdint>

#include "base/types.h"
#include "property/catalogue.h"

namespace lumora {

constexpr uint32_t kSettingsBlockLimit = catalogue::kBlockRows;

// What a block needs from the control it runs on: the control's own
// property members (so their rules apply, E_NOINTERFACE without a handler
// included) and its Progress event.
class SettingsAccess {
 public:
  virtual ~SettingsAccess() = default;
  virtual HResult QuerySupport(int32_t property, int32_t* support) = 0;
  virtual HResult GetValue(int32_t property, int32_t* value) = 0;
  virtual HResult SetValue(int32_t property, int32_t value) = 0;
  virtual void Progress(float percent) = 0;
};

// Progress after element k of a block of `count` elements, as a 32-bit float.
float BlockProgress(uint32_t k, uint32_t count);

// Reads each covered property into its element: the low 16 bits of the
// value when the read succeeded, 0 when it failed.
void ReadSettingsBlock(SettingsAccess& access, int16_t* elements, uint32_t count);

// Writes each covered element, sign-extended to 32 bits, to its property,
// but only when QuerySupport answers exactly S_OK with the write bit
// (VCS_set) set; other properties are skipped silently and write results are
// ignored. The array is not changed.
void WriteSettingsBlock(SettingsAccess& access, const int16_t* elements, uint32_t count);

}  // namespace lumora
