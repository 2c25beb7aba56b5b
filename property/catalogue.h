// The property catalogue that clients ask for, the support answer and the
// chipset families the library tells apart. The numeric values belong to the
// published interface.
#pragma once

#include <cstdint>

namespace lumora {

enum VidCapProperty : int32_t {
  VCP_Brightness = 0,
  VCP_FirstElement = 0,
  VCP_Contrast = 1,
  VCP_Hue = 2,
  VCP_Saturation = 3,
  VCP_Sharpness = 4,
  VCP_Gamma = 5,
  VCP_ColorEnable = 6,
  VCP_WhiteBalance = 7,
  VCP_BacklightCompensation = 8,
  VCP_WhiteBalanceMode = 9,
  VCP_WhiteBalRed = 10,
  VCP_WhiteBalBlue = 11,
  VCP_FlickerFree = 12,
  VCP_Flicker50_60 = 13,
  VCP_FPS = 14,
  VCP_Exposure = 15,
  VCP_Gain = 16,
  VCP_FlipHorizontal = 17,
  VCP_FlipVertical = 18,
  VCP_AutoExposure = 19,
  VCP_AutoAll = 20,
  VCP_LastSetting = 20,
  VCP_ActualFrameRate = 21,
  VCP_LED = 22,
  VCP_Setting = 23,
  VCP_ExtTrigger = 24,
  VCP_SWTrigger = 25,
  VCP_Pan = 26,
  VCP_Tilt = 27,
  VCP_Roll = 28,
  VCP_Zoom = 29,
  VCP_Iris = 30,
  VCP_CamExposure = 30,
  VCP_Focus = 31,
  VCP_LastElement = 31,
};

// Number of entries of every handler's code table: the named values 0 to 31
// and the unnamed value 32.
constexpr int32_t kCatalogueSize = 33;

enum VidCapPropertySupport : int32_t {
  VCS_no = 0,
  VCS_get = 1,
  VCS_set = 2,
  VCS_both = 3,
};

// Automatic and manual mode of a standard control; the values are the
// driver's own flag bits (VideoProcAmp_Flags_Auto / _Manual, and the same
// bits of CameraControl_Flags).
enum VidCapPropertyMode : int32_t {
  VCM_Auto = 1,
  VCM_Manual = 2,
};

enum KnownChipsetCat : int32_t {
  CSX_Unknown = 0,
  CSX_SAA8112 = 1,
  CSX_SAA8116 = 3,
  CSX_CREALIVEULTRA = 4,
  CSX_LOGIFUSION = 5,
};

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
