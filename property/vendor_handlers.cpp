#include "property/vendor_handlers.h"

#include <iterator>

namespace lumora {

namespace {

using namespace rules;

// Creative: private values at offset 24, writes pass 36 bytes (the
// KSPROPERTY header, the value, flags and capabilities).
constexpr ValuePlacement kCreativePlacement{PropertyData::kStandardValueOffset, 36};
// Logitech: the private value is a bare 4-byte LONG at the start of the data.
constexpr ValuePlacement kLogitechPlacement{0, 4};

// CreaLiveUltraPropertyHandler: property, QueryRange, GetValue after the
// read, SetValue before the write.
// clang-format off
const SpecialCase kCreaLiveUltraCases[] = {
    {VCP_FlipHorizontal, Fixed(0, 1, 0), IfZero(0, 1), IfZero(0, 1)},
    {VCP_FlipVertical,   Fixed(0, 1, 0), IfZero(0, 1), IfZero(0, 1)},
};
// clang-format on

// LogiFusionPropertyHandler, same columns.
// clang-format off
const SpecialCase kLogiFusionCases[] = {
    {VCP_ColorEnable,      Fixed(0, 1, 1), IfZero(1, 0),      IfZero(3, 0)},
    {VCP_WhiteBalanceMode, Fixed(3, 4, 4), IfZero(3, 4),      IfAtLeast(4, 1, 0)},
    {VCP_FlickerFree,      Fixed(0, 1, 0), IfZero(0, 1),      IfZero(0, 1)},
    {VCP_Flicker50_60,     Fixed(0, 1, 0), IfEqual(2, 1, 0),  IfZero(1, 2)},
    {VCP_FlipHorizontal,   Fixed(0, 1, 0), IfZero(0, 1),      IfZero(0, 1)},
    {VCP_FlipVertical,     Fixed(0, 1, 0), IfZero(0, 1),      IfZero(0, 1)},
    {VCP_AutoExposure,     Fixed(0, 1, 0), IfZero(0, 1),      IfZero(0, 1)},
    {VCP_Setting,          Fixed(2, 2, 2), Keep(),            Always(0)},
    {VCP_ExtTrigger,       Fixed(0, 0, 0), Always(1),         Always(0)},
    {VCP_SWTrigger,        Fixed(1, 1, 0), IfEqual(1, 1, 0),  IfZero(0, 1)},
};
// clang-format on

const HandlerProfile kCreaLiveUltraProfile{&CreaLiveUltraPropertyHandler::kCodeTable,
                                           kCreaLiveUltraCases, std::size(kCreaLiveUltraCases),
                                           kCreativePlacement};
const HandlerProfile kLogiFusionProfile{&LogiFusionPropertyHandler::kCodeTable, kLogiFusionCases,
                                        std::size(kLogiFusionCases), kLogitechPlacement};

}  // namespace

const CodeTable CreaLiveUltraPropertyHandler::kCodeTable = {
    0,    // 0  Brightness
    1,    // 1  Contrast
    2,    // 2  Hue
    3,    // 3  Saturation
    4,    // 4  Sharpness
    5,    // 5  Gamma
    6,    // 6  ColorEnable
    7,    // 7  WhiteBalance
    8,    // 8  BacklightCompensation
    -1,   // 9  WhiteBalanceMode
    -1,   // 10 WhiteBalRed
    -1,   // 11 WhiteBalBlue
    -1,   // 12 FlickerFree
    -1,   // 13 Flicker50_60
    -1,   // 14 FPS
    -1,   // 15 Exposure
    9,    // 16 Gain
    117,  // 17 FlipHorizontal
    118,  // 18 FlipVertical
    -1,   // 19 AutoExposure
    -1,   // 20 AutoAll
    121,  // 21 ActualFrameRate
    -1,   // 22 LED
    -1,   // 23 Setting
    -1,   // 24 ExtTrigger
    -1,   // 25 SWTrigger
    200,  // 26 Pan
    201,  // 27 Tilt
    202,  // 28 Roll
    203,  // 29 Zoom
    204,  // 30 Iris / CamExposure
    205,  // 31 Focus
    206,  // 32
};

const CodeTable LogiFusionPropertyHandler::kCodeTable = {
    0,    // 0  Brightness
    1,    // 1  Contrast
    2,    // 2  Hue
    3,    // 3  Saturation
    4,    // 4  Sharpness
    5,    // 5  Gamma
    602,  // 6  ColorEnable
    7,    // 7  WhiteBalance
    8,    // 8  BacklightCompensation
    515,  // 9  WhiteBalanceMode
    -1,   // 10 WhiteBalRed
    -1,   // 11 WhiteBalBlue
    556,  // 12 FlickerFree
    556,  // 13 Flicker50_60
    204,  // 14 FPS
    523,  // 15 Exposure
    528,  // 16 Gain
    505,  // 17 FlipHorizontal
    506,  // 18 FlipVertical
    532,  // 19 AutoExposure
    -1,   // 20 AutoAll
    -1,   // 21 ActualFrameRate
    -1,   // 22 LED
    531,  // 23 Setting
    502,  // 24 ExtTrigger
    502,  // 25 SWTrigger
    200,  // 26 Pan
    201,  // 27 Tilt
    202,  // 28 Roll
    203,  // 29 Zoom
    204,  // 30 Iris / CamExposure
    205,  // 31 Focus
    206,  // 32
};

CreaLiveUltraPropertyHandler::CreaLiveUltraPropertyHandler(CaptureFilter* filter,
                                                           const Guid& privateSet,
                                                           const Guid& second, const Guid& third,
                                                           Clock& clock)
    : TablePropertyHandler(filter, privateSet, second, third, clock, kCreaLiveUltraProfile) {}

LogiFusionPropertyHandler::LogiFusionPropertyHandler(CaptureFilter* filter, const Guid& privateSet,
                                                     const Guid& second, const Guid& third,
                                                     Clock& clock)
    : TablePropertyHandler(filter, privateSet, second, third, clock, kLogiFusionProfile) {}

}  // namespace lumora
