// The handlers of the Philips SAA8112 and SAA8116 camera chips and their
// relatives: the private property set through codes 500-699 with the value at
// offset 28, fixed ranges and value conversions, and raw indexed register
// access.
#pragma once

#include <cstdint>

#include "property/table_handler.h"

namespace lumora {

// Key written at offset 28 of the raw-access unlock request. The drivers'
// raw-access protocol expects one fixed non-zero integer there; its value is
// not published with the drivers, so this is our build-time choice (and the
// key the simulated camera accepts). Change it here for drivers that expect
// another key. Locking writes 0.
constexpr int32_t kRawAccessUnlockValue = 0x00008116;

// Raw-access requests: the lock/unlock request goes to id 2 of the null set;
// select and read/write use ids 0 and 1 of the code's set. The index or
// value travels at offset 28 of the one block used as property and data.
constexpr uint32_t kRawLockId = 2;
constexpr uint32_t kRawSelectId = 0;
constexpr uint32_t kRawDataId = 1;
constexpr uint32_t kRawValueOffset = 28;

// Raw indexed access (slots 5 to 7) and the relock at destruction, shared by
// both Philips handlers.
class PhilipsPropertyHandler : public TablePropertyHandler {
 public:
  // Relocks raw access when it was left unlocked (one lock request; a
  // failing request is ignored).
  ~PhilipsPropertyHandler() override;

  // Sends the unlock request (enable non-zero) or the lock request. The flag
  // is kept as given, not normalised; a refused request gives E_FAIL and
  // leaves the flag unchanged.
  HResult EnableRawAccess(int32_t enable) override;
  // Select, then read / write, the register that the code names: 500 + n is
  // index n of the private set, codes below 500 resolve into the standard
  // sets. No catalogue translation and no 1000 limit. Refused with
  // E_ACCESSDENIED until raw access is enabled; negative codes give
  // E_INVALIDARG. WriteRaw sends only the low 8 bits of the value.
  HResult ReadRaw(PropertyCode code, int32_t* value) override;
  HResult WriteRaw(PropertyCode code, int32_t value) override;

 protected:
  using TablePropertyHandler::TablePropertyHandler;

 private:
  // lock / unlock request with the given key at offset 28.
  HResult SendLock(int32_t key);
  // Select and data request; *value is the value to write (write) or
  // receives the register (read, on success only).
  HResult RawTransfer(PropertyCode code, uint32_t flags, int32_t* value);
  HResult SendBlock(PropertyBlock& block);
};

// Chipset CSX_SAA8112 (private set 35DBC300-F98F-11D2-AFD0-00104B13EAF2).
class Saa8112PropertyHandler : public PhilipsPropertyHandler {
 public:
  Saa8112PropertyHandler(CaptureFilter* filter, const Guid& privateSet, const Guid& second,
                         const Guid& third, Clock& clock);
};

// Chipset CSX_SAA8116 and the internal value 2 (the SAA8116 sets of Philips,
// Creative and Logitech cameras).
class Saa8116PropertyHandler : public PhilipsPropertyHandler {
 public:
  Saa8116PropertyHandler(CaptureFilter* filter, const Guid& privateSet, const Guid& second,
                         const Guid& third, Clock& clock);
};

}  // namespace lumora
