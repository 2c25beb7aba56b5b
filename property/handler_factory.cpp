#include "property/handler_factory.h"

#include <new>

#include "property/philips_handlers.h"
#include "property/vendor_handlers.h"

namespace lumora {

namespace {

template <class Handler>
std::unique_ptr<PropertyHandler> Make(CaptureFilter* filter, const Guid& privateSet, Clock& clock) {
  return std::unique_ptr<PropertyHandler>(
      new (std::nothrow) Handler(filter, privateSet, kNullGuid, kNullGuid, clock));
}

}  // namespace

std::unique_ptr<PropertyHandler> CreatePropertyHandler(int32_t chipset, CaptureFilter* filter,
                                                       const Guid& privateSet, Clock& clock) {
  switch (chipset) {
    case CSX_SAA8112: return Make<Saa8112PropertyHandler>(filter, privateSet, clock);
    case kChipsetSaa8116Family:
    case CSX_SAA8116: return Make<Saa8116PropertyHandler>(filter, privateSet, clock);
    case CSX_CREALIVEULTRA: return Make<CreaLiveUltraPropertyHandler>(filter, privateSet, clock);
    case CSX_LOGIFUSION: return Make<LogiFusionPropertyHandler>(filter, privateSet, clock);
    default: return Make<StandardPropertyHandler>(filter, privateSet, clock);
  }
}

}  // namespace lumora
