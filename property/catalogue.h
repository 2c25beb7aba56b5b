// The property catalogue that clients ask for, the support answer and the
// chipset families the library tells apart. The numeric values belong to the
// published interface; the rows are in property/catalogue_list.h.
#pragma once

#include <cstdint>

#include "property/catalogue_list.h"

namespace lumora {

#define LUMORA_CATALOGUE_ROW(name, value) VCP_##name = value,
enum VidCapProperty : int32_t { LUMORA_VIDCAP_PROPERTIES(LUMORA_CATALOGUE_ROW) };
#undef LUMORA_CATALOGUE_ROW

// Number of entries of every handler's code table: the named values 0 to 31
// and the unnamed value 32.
constexpr int32_t kCatalogueSize = 33;

#define LUMORA_CATALOGUE_ROW(name, value) VCS_##name = value,
enum VidCapPropertySupport : int32_t { LUMORA_VIDCAP_SUPPORT(LUMORA_CATALOGUE_ROW) };
#undef LUMORA_CATALOGUE_ROW

// Automatic and manual mode of a standard control; the values are the
// driver's own flag bits (VideoProcAmp_Flags_Auto / _Manual, and the same
// bits of CameraControl_Flags).
#define LUMORA_CATALOGUE_ROW(name, header, value) VCM_##name = value,
enum VidCapPropertyMode : int32_t { LUMORA_VIDCAP_MODES(LUMORA_CATALOGUE_ROW) };
#undef LUMORA_CATALOGUE_ROW

#define LUMORA_CATALOGUE_ROW(name, value) CSX_##name = value,
enum KnownChipsetCat : int32_t { LUMORA_KNOWN_CHIPSETS(LUMORA_CATALOGUE_ROW) };
#undef LUMORA_CATALOGUE_ROW

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

// Catalogue value of a name with or without the VCP_ prefix, compared without
// regard to case (aliases included); -1 when unknown.
int32_t PropertyFromName(const char* name);

// Name of a public chipset value as reports show it: "SAA8112", "SAA8116",
// "CREALIVEULTRA", "LOGIFUSION", otherwise "unknown".
const char* ChipsetName(int32_t publicChipset);

}  // namespace lumora
