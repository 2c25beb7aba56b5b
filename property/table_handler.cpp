#include "property/table_handler.h"

#include <algorithm>
#include <limits>

namespace lumora {

int32_t Conversion::Apply(int32_t v) const {
  switch (kind) {
    case kKeep: return v;
    case kCap: return v > a ? a : v;
    case kWithin: return std::min(std::max(v, a), b);
    case kIfZero: return v == 0 ? a : b;
    case kIfEqual: return v == a ? b : c;
    case kIfAtLeast: return v >= a ? b : c;
    case kAlways: return a;
  }
  return v;
}

TablePropertyHandler::TablePropertyHandler(CaptureFilter* filter, const Guid& privateSet,
                                           const Guid& second, const Guid& third, Clock& clock,
                                           const HandlerProfile& profile)
    : PropertyHandler(filter, clock), profile_(profile) {
  Init(privateSet, second, third);
}

const SpecialCase* TablePropertyHandler::FindCase(int32_t property) const {
  const SpecialCase* end = profile_.specialCases + profile_.specialCaseCount;
  const SpecialCase* found = std::find_if(
      profile_.specialCases, end, [&](const SpecialCase& c) { return c.property == property; });
  return found == end ? nullptr : found;
}

ValuePlacement TablePropertyHandler::Placement(PropertyCode code) const {
  return code >= kPrivateBase ? profile_.privatePlacement : kStandardPlacement;
}

HResult TablePropertyHandler::QuerySupport(int32_t property, int32_t* support) {
  *support = VCS_no;
  PropertyRequest request;
  if (!Resolve(Translate(codeTable(), property), &request)) return hr::Ok;
  return SupportPath(request, support);
}

HResult TablePropertyHandler::QueryRange(int32_t property, int32_t* min, int32_t* max,
                                         int32_t* steppingDelta, int32_t* defaultValue,
                                         int32_t* capsFlags) {
  PropertyRequest request;
  if (!Resolve(Translate(codeTable(), property), &request)) return hr::InvalidArg;
  const SpecialCase* special = FindCase(property);
  if (special != nullptr && special->range.kind == RangeRule::kFixed) {
    *min = special->range.min;
    *max = special->range.max;
    *steppingDelta = 1;
    *defaultValue = special->range.defaultValue;
    *capsFlags = 0;
    return hr::Ok;
  }
  HResult h = RangePath(request, min, max, steppingDelta, defaultValue, capsFlags);
  if (special != nullptr && special->range.kind == RangeRule::kDriverThenDefault) {
    *defaultValue = special->range.defaultValue;
  }
  return h;
}

HResult TablePropertyHandler::GetValue(int32_t property, int32_t* value) {
  PropertyCode code = Translate(codeTable(), property);
  PropertyRequest request;
  if (!Resolve(code, &request) || code >= profile_.valueCodeLimit) return hr::InvalidArg;
  PropertyData data;
  uint32_t returned = 0;
  HResult h = ReadValue(request, data, &returned);
  if (hr::Failed(h)) return h;
  int32_t v = data.Long(Placement(code).offset);
  if (const SpecialCase* special = FindCase(property)) v = special->get.Apply(v);
  *value = v;
  return h;
}

HResult TablePropertyHandler::SetValue(int32_t property, int32_t value) {
  PropertyCode code = Translate(codeTable(), property);
  PropertyRequest request;
  if (!Resolve(code, &request) || code >= profile_.valueCodeLimit) return hr::InvalidArg;
  PropertyData data;
  if (const SpecialCase* special = FindCase(property)) value = special->set.Apply(value);
  const ValuePlacement placement = Placement(code);
  data.SetLong(placement.offset, value);
  return WriteValue(request, data, placement.writeLength);
}

bool TablePropertyHandler::ResolveModal(int32_t property, PropertyRequest* request) const {
  if (property < 0 || property >= kCatalogueSize) return false;
  PropertyCode code = codeTable()[static_cast<size_t>(property)];
  if (code < 0) return false;
  Resolve(code, request);
  return IsStandardControl(request->Set());
}

HResult TablePropertyHandler::QueryModes(int32_t property, int32_t* modes) {
  PropertyRequest request;
  if (!ResolveModal(property, &request)) {
    *modes = 0;
    return hr::Ok;
  }
  return ModesPath(request, modes);
}

HResult TablePropertyHandler::CheckModes(const PropertyRequest& request, int32_t wanted) {
  int32_t modes = 0;
  HResult h = ModesPath(request, &modes);
  if (hr::Failed(h)) return h;
  if (modes == 0 || (modes & wanted) != wanted) return hr::NotImpl;
  return hr::Ok;
}

HResult TablePropertyHandler::GetMode(int32_t property, int32_t* mode) {
  PropertyRequest request;
  if (!ResolveModal(property, &request)) return hr::NotImpl;
  HResult h = CheckModes(request, 0);
  if (hr::Failed(h)) return h;
  return ReadModePath(request, mode);
}

HResult TablePropertyHandler::SetMode(int32_t property, int32_t mode) {
  if (mode != VCM_Auto && mode != VCM_Manual) return hr::InvalidArg;
  PropertyRequest request;
  if (!ResolveModal(property, &request)) return hr::NotImpl;
  HResult h = CheckModes(request, mode);
  if (hr::Failed(h)) return h;
  return WriteModePath(request, mode);
}

HResult TablePropertyHandler::QueryDefault(int32_t property, int32_t* value) {
  PropertyCode code = Translate(codeTable(), property);
  if (code < 0) return hr::NotImpl;
  PropertyRequest request;
  Resolve(code, &request);
  const SpecialCase* special = FindCase(property);
  const bool ownDefault = special != nullptr && special->range.kind != RangeRule::kDriver;
  if (!ownDefault && !IsStandardControl(request.Set())) return hr::NotImpl;
  int32_t min = 0, max = 0, steppingDelta = 0, defaultValue = 0, capsFlags = 0;
  HResult h = QueryRange(property, &min, &max, &steppingDelta, &defaultValue, &capsFlags);
  if (hr::Succeeded(h)) *value = defaultValue;
  return h;
}

// --- StandardPropertyHandler -------------------------------------------------

const CodeTable StandardPropertyHandler::kCodeTable =
    catalogue::kFamilyCodes[catalogue::kFamilyStandard];

namespace {
const HandlerProfile kStandardProfile{&StandardPropertyHandler::kCodeTable, nullptr, 0,
                                      kStandardPlacement, std::numeric_limits<PropertyCode>::max()};
}  // namespace

StandardPropertyHandler::StandardPropertyHandler(CaptureFilter* filter, const Guid& privateSet,
                                                 const Guid& second, const Guid& third,
                                                 Clock& clock)
    : TablePropertyHandler(filter, privateSet, second, third, clock, kStandardProfile) {}

}  // namespace lumora
