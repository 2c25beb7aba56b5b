// The simulated camera's extension units: its topology and the node
// requests of the in-box UVC driver (see sim/extension_units.h), decoded and
// answered with the rig's own structures (sim/ks_layout.h).
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "sim/simulated_camera.h"

namespace lumora::sim {

namespace {

using Bytes = std::vector<uint8_t>;

// Copies a reply into the caller's buffer: a buffer too small for it gets
// ERROR_MORE_DATA with the reply's size.
HResult Reply(const Bytes& reply, uint8_t* data, uint32_t dataLength, uint32_t* bytesReturned) {
  const auto size = static_cast<uint32_t>(reply.size());
  *bytesReturned = size;
  if (dataLength < size || (size > 0 && data == nullptr)) return kMoreData;
  if (size > 0) std::memcpy(data, reply.data(), size);
  return hr::Ok;
}

Bytes GuidBytes(const Guid& guid) {
  // A GUID in memory (Data1 to Data3 little-endian) is the descriptor's
  // 16 bytes of guidExtensionCode.
  Bytes out(16);
  uint8_t* p = out.data();
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(guid.data1 >> (8 * i));
  for (int i = 0; i < 2; ++i) p[4 + i] = static_cast<uint8_t>(guid.data2 >> (8 * i));
  for (int i = 0; i < 2; ++i) p[6 + i] = static_cast<uint8_t>(guid.data3 >> (8 * i));
  std::memcpy(p + 8, guid.data4, 8);
  return out;
}

// A BASICSUPPORT or DEFAULTVALUES answer in its stages: a ULONG buffer
// receives the AccessFlags (BASICSUPPORT only), a description's buffer the
// description, a larger one the description, one members header and the
// members.
HResult Described(uint32_t access, const ks::MembersHeader& header, const Bytes& members,
                  bool flagsStage, uint8_t* data, uint32_t dataLength, uint32_t* bytesReturned) {
  ks::PropertyDescription description;
  description.accessFlags = access;
  description.descriptionSize =
      static_cast<uint32_t>(sizeof description + sizeof header + members.size());
  description.membersListCount = 1;
  if (data == nullptr || dataLength == 0) {
    *bytesReturned = description.descriptionSize;
    return kMoreData;
  }
  if (flagsStage && dataLength >= sizeof access && dataLength < sizeof description) {
    std::memcpy(data, &access, sizeof access);
    *bytesReturned = sizeof access;
    return hr::Ok;
  }
  if (dataLength < sizeof description) return hr::InvalidArg;
  if (dataLength < description.descriptionSize) {
    std::memcpy(data, &description, sizeof description);
    *bytesReturned = sizeof description;
    return hr::Ok;
  }
  Bytes reply(description.descriptionSize);
  std::memcpy(reply.data(), &description, sizeof description);
  std::memcpy(reply.data() + sizeof description, &header, sizeof header);
  std::copy(members.begin(), members.end(), reply.begin() + sizeof description + sizeof header);
  return Reply(reply, data, dataLength, bytesReturned);
}

}  // namespace

XuControl MakeXuControl(uint32_t length, uint8_t value, uint8_t info) {
  XuControl c;
  c.current.assign(length, value);
  c.defaultValue = c.current;
  c.minimum.assign(length, 0x00);
  c.maximum.assign(length, 0xff);
  c.resolution.assign(length, 0x01);
  c.info = info;
  return c;
}

XuUnit& SimulatedCamera::AddExtensionUnit(const Guid& guid, uint8_t unitId) {
  if (nodeTypes.empty()) {
    // A UVC camera's first nodes: its camera terminal and processing unit.
    nodeTypes = {ks::kNodeTypeCameraTerminal, ks::kNodeTypeVideoProcessing};
  }
  const auto node = static_cast<uint32_t>(nodeTypes.size());
  nodeTypes.push_back(ks::kNodeTypeDevSpecific);
  XuUnit& unit = extensionUnits[node];
  unit.guid = guid;
  unit.unitId = unitId;
  unit.sourceId = 2;  // the processing unit
  return unit;
}

XuControl* SimulatedCamera::FindXuControl(uint8_t unitId, uint32_t selector) {
  for (auto& [node, unit] : extensionUnits) {
    if (unit.unitId != unitId) continue;
    auto it = unit.controls.find(selector);
    return it == unit.controls.end() ? nullptr : &it->second;
  }
  return nullptr;
}

HResult SimulatedCamera::NodeCount(uint32_t* count) {
  Request r;
  r.op = Op::Topology;
  HResult h;
  if (Faulted(r, &h)) return h;
  *count = static_cast<uint32_t>(nodeTypes.size());
  return hr::Ok;
}

HResult SimulatedCamera::NodeType(uint32_t nodeId, Guid* type) {
  Request r;
  r.op = Op::Topology;
  r.id = nodeId;
  HResult h;
  if (Faulted(r, &h)) return h;
  if (nodeId >= nodeTypes.size()) return hr::InvalidArg;
  *type = nodeTypes[nodeId];
  return hr::Ok;
}

HResult SimulatedCamera::AnswerNode(const Request& r, const uint8_t* property, uint8_t* data,
                                    uint32_t dataLength, uint32_t* bytesReturned) {
  ks::NodeProperty request;
  if (r.propertyLength < sizeof request) return hr::InvalidArg;
  std::memcpy(&request, property, sizeof request);
  auto node = extensionUnits.find(request.nodeId);
  if (node == extensionUnits.end()) return kSetNotFound;
  XuUnit& unit = node->second;
  const uint32_t type = r.flags & ~ks::kTypeTopology;

  if (type == ks::kTypeSetSupport) {
    if (r.set.IsNull()) {
      return unit.listsSets ? Reply(GuidBytes(unit.guid), data, dataLength, bytesReturned)
                            : kSetNotFound;
    }
    return r.set == unit.guid ? hr::Ok : kSetNotFound;
  }
  if (r.set != unit.guid) return kSetNotFound;

  if (r.id == ks::kExtensionUnitInfo) {
    if (type != ks::kTypeGet) return hr::InvalidArg;
    Bytes info = GuidBytes(unit.guid);
    uint32_t last = 0;
    for (const auto& entry : unit.controls) last = std::max(last, entry.first);
    info.push_back(static_cast<uint8_t>(last));  // bNumControls
    info.push_back(1);                           // bNrInPins
    info.push_back(unit.sourceId);               // baSourceID[0]
    return Reply(info, data, dataLength, bytesReturned);
  }

  auto found = unit.controls.find(r.id);
  if (found == unit.controls.end()) return unit.absentCode;
  XuControl& c = found->second;
  if (c.faults.unsupportedId) return kNotFound;
  if (c.faults.unsupportedSet) return kSetNotFound;
  if (c.faults.stall) return kGenFailure;
  if (c.faults.timeout) return kSemTimeout;
  const auto length = static_cast<uint32_t>(c.current.size());

  switch (type) {
    case ks::kTypeGet: {
      if (data == nullptr || dataLength == 0) {
        const bool longer = c.faults.lengthChanges && (c.lengthQueries++ % 2) == 1;
        *bytesReturned = length + (longer ? 1 : 0);
        return kMoreData;
      }
      if (!(c.info & kInfoGet)) return hr::InvalidArg;
      if (dataLength < length) {
        *bytesReturned = length;
        return kMoreData;
      }
      const uint32_t given = c.faults.shortReply && length > 0 ? length - 1 : length;
      std::memcpy(data, c.current.data(), given);
      *bytesReturned = given;
      return hr::Ok;
    }
    case ks::kTypeSet: {
      if (!(c.info & kInfoSet) || data == nullptr || dataLength != length) return hr::InvalidArg;
      std::memcpy(c.current.data(), data, length);
      *bytesReturned = 0;
      return hr::Ok;
    }
    case ks::kTypeBasicSupport: {
      uint32_t access = 0;
      if (c.info & kInfoGet) access |= ks::kTypeGet;
      if (c.info & kInfoSet) access |= ks::kTypeSet;
      ks::MembersHeader header;
      header.membersFlags = ks::kMemberRanges;
      header.membersSize = 3 * length;
      header.membersCount = 1;
      Bytes members = c.resolution;  // RES, MIN, MAX
      members.insert(members.end(), c.minimum.begin(), c.minimum.end());
      members.insert(members.end(), c.maximum.begin(), c.maximum.end());
      return Described(access, header, members, true, data, dataLength, bytesReturned);
    }
    case ks::kTypeDefaultValues: {
      if (!c.hasDefault) return kNotFound;
      ks::MembersHeader header;
      header.membersFlags = ks::kMemberValues;
      header.membersSize = length;
      header.membersCount = 1;
      header.flags = ks::kMemberFlagDefault;
      return Described(0, header, c.defaultValue, false, data, dataLength, bytesReturned);
    }
    default: return hr::InvalidArg;
  }
}

}  // namespace lumora::sim
