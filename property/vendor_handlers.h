// The handlers of two further camera families: Creative Live Ultra (standard
// controls only in its table; the private set through raw codes, value at
// offset 24, 36-byte writes) and Logitech Fusion (most non-standard
// properties in the private set, each value a bare 4-byte LONG). Raw access
// (slots 5 to 7) keeps the base answer E_NOINTERFACE.
#pragma once

#include "property/table_handler.h"

namespace lumora {

// Chipset CSX_CREALIVEULTRA (private set 5a403423-5667-4ec4-8573-7b88ccdc11cf).
class CreaLiveUltraPropertyHandler : public TablePropertyHandler {
 public:
  CreaLiveUltraPropertyHandler(CaptureFilter* filter, const Guid& privateSet, const Guid& second,
                               const Guid& third, Clock& clock);
};

// Chipset CSX_LOGIFUSION (private set 22ca01a0-cd31-11d0-8b18-00aa00cf90f9).
class LogiFusionPropertyHandler : public TablePropertyHandler {
 public:
  LogiFusionPropertyHandler(CaptureFilter* filter, const Guid& privateSet, const Guid& second,
                            const Guid& third, Clock& clock);
};

}  // namespace lumora
