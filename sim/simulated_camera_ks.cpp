// The simulated camera's kernel-streaming property requests, decoded and
// answered with the platform's structures (sim/ks_layout.h).
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "sim/simulated_camera.h"

namespace lumora::sim {

namespace {

// Copies a field into a buffer at its offset in the structure.
template <class T>
void Put(uint8_t* buffer, size_t offset, const T& value) {
  std::memcpy(buffer + offset, &value, sizeof value);
}

// A standard control's answer: the fields of ks::ControlS, without its tail
// padding.
constexpr uint32_t kControlAnswerBytes = offsetof(ks::ControlS, capabilities) + sizeof(uint32_t);

}  // namespace

HResult SimulatedCamera::KsProperty(void* property, uint32_t propertyLength, void* data,
                                    uint32_t dataLength, uint32_t* bytesReturned) {
  ks::Property header;
  if (property != nullptr && propertyLength >= sizeof header) {
    std::memcpy(&header, property, sizeof header);
  }
  return KsRequest(header, property, propertyLength, data, dataLength, bytesReturned);
}

HResult SimulatedCamera::KsRequest(const ks::Property& header, const void* property,
                                   uint32_t propertyLength, void* data, uint32_t dataLength,
                                   uint32_t* bytesReturned) {
  Request r;
  r.op = Op::KsProperty;
  r.propertyLength = propertyLength;
  r.dataLength = dataLength;
  const uint8_t* p = static_cast<const uint8_t*>(property);
  // Copies of the buffers only for whoever reads them: the log and refuseKs.
  if (logRequests || refuseKs) {
    r.property.assign(p, p + propertyLength);
    if (data != nullptr) {
      const uint8_t* d = static_cast<const uint8_t*>(data);
      r.data.assign(d, d + dataLength);
    }
  }
  r.set = header.set;
  r.id = header.id;
  r.flags = header.flags;
  HResult h;
  if (Faulted(r, &h)) return h;
  if (propertyLength < sizeof(ks::Property) || bytesReturned == nullptr) return hr::InvalidArg;
  *bytesReturned = 0;
  uint8_t* out = static_cast<uint8_t*>(data);
  if (refuseKs) {
    HResult refused = refuseKs(r);
    if (hr::Failed(refused)) return refused;
  }
  if (rawAccess.supported && AnswerRawAccess(r, p, out, dataLength, bytesReturned, &h)) return h;

  h = kSetNotFound;
  if (r.flags & ks::kTypeTopology) {
    h = AnswerNode(r, p, out, dataLength, bytesReturned);
  } else if (r.set == ks::kSetVideoProcAmp || r.set == ks::kSetCameraControl) {
    auto& controls = Controls(r.set == ks::kSetCameraControl);
    auto it = controls.find(static_cast<int32_t>(r.id));
    if (it == controls.end()) {
      h = kNotFound;
    } else if (r.flags & ks::kTypeBasicSupport) {
      const uint32_t access = ks::kTypeGet | ks::kTypeSet;
      if (dataLength < sizeof access) return hr::InvalidArg;
      Put(out, 0, access);
      *bytesReturned = sizeof access;
      h = hr::Ok;
    } else if ((r.flags & ks::kTypeGet) && dataLength >= kControlAnswerBytes) {
      Put(out, offsetof(ks::ControlS, value), it->second.value);
      Put(out, offsetof(ks::ControlS, flags), it->second.flags);
      Put(out, offsetof(ks::ControlS, capabilities), it->second.capsFlags);
      *bytesReturned = kControlAnswerBytes;
      AutoStep(it->second);
      h = hr::Ok;
    } else if ((r.flags & ks::kTypeSet) &&
               dataLength >= offsetof(ks::ControlS, value) + sizeof(int32_t)) {
      std::memcpy(&it->second.value, out + offsetof(ks::ControlS, value), sizeof(int32_t));
      h = hr::Ok;
    } else {
      h = hr::InvalidArg;
    }
  } else if (PrivateSet* priv = FindPrivateSet(r.set)) {
    h = AnswerPrivate(*priv, r.id, r.flags, out, dataLength, bytesReturned);
  }
  const bool isSet = (r.flags & ks::kTypeSet) != 0;
  if (hr::Succeeded(h) && ksBytesReturnedOverride >= 0 && !isSet) {
    *bytesReturned = static_cast<uint32_t>(ksBytesReturnedOverride);
  }
  if (hr::Succeeded(h) && isSet && !(r.flags & ks::kTypeBasicSupport) && onWrite) onWrite();
  return h;
}

HResult SimulatedCamera::AnswerPrivate(PrivateSet& set, uint32_t id, uint32_t flags, uint8_t* data,
                                       uint32_t dataLength, uint32_t* bytesReturned) {
  auto it = set.properties.find(id);
  if (it == set.properties.end()) return kNotFound;
  sim::PrivateProperty& prop = it->second;
  auto listed = set.faults.find(id);
  const ControlFaults faults = listed == set.faults.end() ? ControlFaults{} : listed->second;
  if (flags & ks::kTypeBasicSupport) {
    if (dataLength == sizeof prop.access) {
      Put(data, 0, prop.access);
      *bytesReturned = sizeof prop.access;
      return hr::Ok;
    }
    ks::SteppedRange range;
    if (dataLength < sizeof range) return hr::InvalidArg;
    range.description.accessFlags = prop.access;
    range.description.descriptionSize = sizeof range;
    range.description.membersListCount = 1;
    range.members.membersFlags = prop.membersFlags;
    range.members.membersSize = sizeof range.stepping;
    range.members.membersCount = 1;
    range.stepping.steppingDelta = static_cast<uint32_t>(faults.zeroStep ? 0 : prop.step);
    range.stepping.signedMinimum = prop.min;
    range.stepping.signedMaximum = ReportedMax(prop.min, prop.max, faults);
    Put(data, 0, range);
    *bytesReturned = sizeof range;
    return hr::Ok;
  }
  if (flags & ks::kTypeGet) {
    if (!(prop.access & ks::kTypeGet)) return hr::InvalidArg;
    if (faults.failReads) return kGenFailure;
    if (dataLength < set.valueOffset + 4) return hr::InvalidArg;
    if (!faults.silentReads) std::memcpy(data + set.valueOffset, &prop.value, 4);
    *bytesReturned = std::min(set.getBytes, dataLength);
    return hr::Ok;
  }
  if (flags & ks::kTypeSet) {
    if (!(prop.access & ks::kTypeSet)) return hr::InvalidArg;
    if (dataLength < set.valueOffset + 4) return hr::InvalidArg;
    int32_t value;
    std::memcpy(&value, data + set.valueOffset, 4);
    const int32_t reportedMax = ReportedMax(prop.min, prop.max, faults);
    if (privateRangeChecks && (value < prop.min || (value > reportedMax && !faults.keepOutside))) {
      return hr::InvalidArg;
    }
    if (faults.failWrites) return kGenFailure;
    if (faults.ignoreWrites) return hr::Ok;
    prop.value = faults.wideRange ? std::min(value, prop.max) : value;
    return hr::Ok;
  }
  return hr::InvalidArg;
}

}  // namespace lumora::sim
