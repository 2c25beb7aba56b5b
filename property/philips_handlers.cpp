#include "property/philips_handlers.h"

#include <iterator>

namespace lumora {

namespace {

using namespace rules;

// Private values sit at offset 28; every write passes the whole block.
constexpr ValuePlacement kPhilipsPlacement{PropertyData::kPrivateValueOffset, PropertyBlock::kSize};

// Saa8112PropertyHandler: property, QueryRange, GetValue after the read,
// SetValue before the write.
// clang-format off
const SpecialCase kSaa8112Cases[] = {
    {VCP_WhiteBalanceMode, Fixed(0, 4, 4),    Cap(4),         Cap(4)},
    {VCP_WhiteBalRed,      Fixed(0, 127, 63), Cap(127),       Cap(127)},
    {VCP_WhiteBalBlue,     Fixed(0, 127, 63), Cap(127),       Cap(127)},
    {VCP_FlickerFree,      Fixed(0, 1, 0),    IfZero(0, 1),   IfZero(0, 255)},
    {VCP_FlipHorizontal,   Fixed(0, 1, 0),    IfZero(0, 1),   IfZero(0, 255)},
    {VCP_FPS,              Fixed(0, 5, 0),    Cap(5),         Cap(5)},
    {VCP_Exposure,         Fixed(0, 10, 0),   Cap(10),        Cap(10)},
    {VCP_Gain,             Fixed(0, 63, 33),  Cap(63),        Cap(63)},
    {VCP_AutoExposure,     Fixed(0, 1, 0),    IfZero(1, 0),   IfEqual(1, 0, 255)},
    {VCP_Setting,          Fixed(0, 2, 0),    Keep(),         Cap(2)},
};
// clang-format on

// Saa8116PropertyHandler, same columns.
// clang-format off
const SpecialCase kSaa8116Cases[] = {
    {VCP_WhiteBalanceMode, Fixed(0, 4, 4),          Cap(4),       Cap(4)},
    {VCP_WhiteBalRed,      FromDriverDefault(127),  Keep(),       Cap(255)},
    {VCP_WhiteBalBlue,     FromDriverDefault(127),  Keep(),       Cap(255)},
    {VCP_FlickerFree,      Fixed(0, 1, 0),          IfZero(0, 1), IfZero(0, 255)},
    {VCP_Flicker50_60,     Fixed(0, 1, 0),          IfZero(0, 1), IfZero(0, 255)},
    {VCP_FlipHorizontal,   Fixed(0, 1, 0),          IfZero(0, 1), IfZero(0, 255)},
    {VCP_FlipVertical,     Fixed(0, 1, 0),          IfZero(0, 1), IfZero(0, 255)},
    {VCP_AutoAll,          Fixed(0, 1, 0),          IfZero(0, 1), IfZero(0, 255)},
    {VCP_FPS,              Fixed(0, 6, 0),          Cap(6),       Cap(6)},
    {VCP_Exposure,         FromDriver(),            Cap(10),      Cap(10)},
    {VCP_Gain,             FromDriver(),            Cap(63),      Cap(63)},
    {VCP_AutoExposure,     Fixed(0, 1, 0),          IfZero(1, 0), IfEqual(1, 0, 255)},
    {VCP_LED,              Fixed(16, 18, 16),       Keep(),       Within(16, 18)},
    {VCP_Setting,          Fixed(0, 2, 0),          Keep(),       Cap(2)},
};
// clang-format on

const HandlerProfile kSaa8112Profile{&catalogue::kFamilyCodes[catalogue::kFamilySaa8112],
                                     kSaa8112Cases, std::size(kSaa8112Cases), kPhilipsPlacement};
const HandlerProfile kSaa8116Profile{&catalogue::kFamilyCodes[catalogue::kFamilySaa8116],
                                     kSaa8116Cases, std::size(kSaa8116Cases), kPhilipsPlacement};

}  // namespace

Saa8112PropertyHandler::Saa8112PropertyHandler(CaptureFilter* filter, const Guid& privateSet,
                                               const Guid& second, const Guid& third, Clock& clock)
    : PhilipsPropertyHandler(filter, privateSet, second, third, clock, kSaa8112Profile) {}

Saa8116PropertyHandler::Saa8116PropertyHandler(CaptureFilter* filter, const Guid& privateSet,
                                               const Guid& second, const Guid& third, Clock& clock)
    : PhilipsPropertyHandler(filter, privateSet, second, third, clock, kSaa8116Profile) {}

// --- raw access ---------------------------------------------------------------

PhilipsPropertyHandler::~PhilipsPropertyHandler() {
  if (RawAccessEnabled() != 0 && HasKsControl()) {
    if (hr::Succeeded(SendLock(0))) SetRawAccessEnabled(0);
  }
}

HResult PhilipsPropertyHandler::SendBlock(PropertyBlock& block) {
  uint32_t returned = 0;
  return ksControl()->KsProperty(block.bytes(), PropertyBlock::kSize, block.bytes(),
                                 PropertyBlock::kSize, &returned);
}

HResult PhilipsPropertyHandler::SendLock(int32_t key) {
  PropertyRequest block;
  block.SetSet(kNullGuid);
  block.SetId(kRawLockId);
  block.SetFlags(kKsSet);
  block.SetLong(kRawValueOffset, key);
  return SendBlock(block);
}

HResult PhilipsPropertyHandler::EnableRawAccess(int32_t enable) {
  if (!HasKsControl()) return hr::NoInterface;
  HResult h = SendLock(enable != 0 ? kRawAccessUnlockValue : 0);
  if (hr::Failed(h)) return hr::Fail;
  SetRawAccessEnabled(enable);
  return h;
}

HResult PhilipsPropertyHandler::RawTransfer(PropertyCode code, uint32_t flags, int32_t* value) {
  if (!HasKsControl()) return hr::NoInterface;
  if (RawAccessEnabled() == 0) return hr::AccessDenied;
  PropertyRequest block;
  if (!Resolve(code, &block)) return hr::InvalidArg;
  block.SetLong(kRawValueOffset, static_cast<int32_t>(block.Id()));
  block.SetId(kRawSelectId);
  block.SetFlags(kKsSet);
  if (hr::Failed(SendBlock(block))) return hr::Fail;

  // The same block again: only set, id and flags are rewritten; the rest
  // stays as the driver left it.
  Resolve(code, &block);
  block.SetId(kRawDataId);
  block.SetFlags(flags);
  if (flags == kKsSet) block.SetLong(kRawValueOffset, *value & 0xFF);
  HResult h = SendBlock(block);
  if (hr::Failed(h)) return hr::Fail;
  if (flags == kKsGet) *value = block.Long(kRawValueOffset);
  return h;
}

HResult PhilipsPropertyHandler::ReadRaw(PropertyCode code, int32_t* value) {
  int32_t v = 0;
  HResult h = RawTransfer(code, kKsGet, &v);
  if (hr::Succeeded(h)) *value = v;
  return h;
}

HResult PhilipsPropertyHandler::WriteRaw(PropertyCode code, int32_t value) {
  return RawTransfer(code, kKsSet, &value);
}

}  // namespace lumora
