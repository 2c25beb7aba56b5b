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

const HandlerProfile kCreaLiveUltraProfile{
    &catalogue::kFamilyCodes[catalogue::kFamilyCreaLiveUltra], kCreaLiveUltraCases,
    std::size(kCreaLiveUltraCases), kCreativePlacement};
const HandlerProfile kLogiFusionProfile{&catalogue::kFamilyCodes[catalogue::kFamilyLogiFusion],
                                        kLogiFusionCases, std::size(kLogiFusionCases),
                                        kLogitechPlacement};

}  // namespace

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
