// The simulated camera's side of the Philips raw register protocol.
#include <cstring>

#include "sim/simulated_camera.h"

namespace lumora::sim {

bool SimulatedCamera::AnswerRawAccess(const Request& r, const uint8_t* property, uint8_t* data,
                                      uint32_t dataLength, uint32_t* bytesReturned, HResult* h) {
  RawAccessModel& model = rawAccess;
  // The index or value the request carries (its length is checked first).
  auto propertyLong = [&](uint32_t offset) {
    int32_t v;
    std::memcpy(&v, property + offset, sizeof v);
    return v;
  };
  const bool isSet = r.flags == ks::kTypeSet;
  const bool isGet = r.flags == ks::kTypeGet;
  const bool dataRequest = r.id == raw::kDataId && (isGet || isSet);
  if (r.set.IsNull() && r.id == raw::kLockId) {
    if (!isSet || r.propertyLength < raw::kValueOffset + 4) {
      *h = hr::InvalidArg;
    } else if (propertyLong(raw::kValueOffset) == 0) {
      model.unlocked = false;
      *h = hr::Ok;
    } else if (propertyLong(raw::kValueOffset) == model.unlockValue) {
      model.unlocked = true;
      *h = hr::Ok;
    } else {
      *h = hr::AccessDenied;
    }
    return true;
  }
  if (!model.unlocked) {
    // Locked: only a register access to the remembered selection is refused.
    if (dataRequest && model.hasSelection && model.selectedSet == r.set) {
      *h = hr::AccessDenied;
      return true;
    }
    return false;
  }
  if (r.id == raw::kSelectId && isSet) {
    if (r.propertyLength < raw::kValueOffset + 4) {
      *h = hr::InvalidArg;
      return true;
    }
    model.hasSelection = true;
    model.selectedSet = r.set;
    model.selectedIndex = propertyLong(raw::kValueOffset);
    *h = hr::Ok;
    return true;
  }
  if (!dataRequest) return false;
  if (!model.hasSelection || model.selectedSet != r.set) {
    *h = kNotFound;
    return true;
  }
  if (data == nullptr || dataLength < raw::kValueOffset + 4) {
    *h = hr::InvalidArg;
    return true;
  }
  int32_t& reg = model.registers[r.set][model.selectedIndex];
  if (isGet) {
    std::memcpy(data + raw::kValueOffset, &reg, 4);
    *bytesReturned = dataLength;
  } else {
    std::memcpy(&reg, data + raw::kValueOffset, 4);
  }
  *h = hr::Ok;
  return true;
}

}  // namespace lumora::sim
