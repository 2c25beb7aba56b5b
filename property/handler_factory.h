// The choice of property handler by internal chipset value.
#pragma once

#include <cstdint>
#include <memory>

#include "property/capture_platform.h"
#include "property/property_handler.h"
#include "base/types.h"

namespace lumora {

// Constructs the handler for an internal chipset value:
//   1    Saa8112PropertyHandler
//   2, 3 Saa8116PropertyHandler
//   4    CreaLiveUltraPropertyHandler
//   5    LogiFusionPropertyHandler
//   else StandardPropertyHandler
// with the filter (borrowed, may be null), the private set, GUID_NULL as the
// second and third GUIDs, and the clock (borrowed; must outlive the handler).
// Answers null only when memory runs out; never throws.
std::unique_ptr<PropertyHandler> CreatePropertyHandler(int32_t chipset, CaptureFilter* filter,
                                                       const Guid& privateSet, Clock& clock);

}  // namespace lumora
