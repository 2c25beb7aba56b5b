// A small stand-in for the in-box UVC driver's extension-unit replies, as
// the platform documents them: the zero-length read answers
// ERROR_MORE_DATA with the length, BASICSUPPORT comes in stages (ULONG
// access flags, description with DescriptionSize, full reply with a RANGES
// members header and resolution, minimum, maximum), DEFAULTVALUES the same
// way with a VALUES/DEFAULT header, property 0 is the unit information, and
// a set a node does not hold answers ERROR_SET_NOT_FOUND. Faults are set
// per control. Every request is logged. The reply layout is written here
// from the documentation (KSPROPERTY_DESCRIPTION 40 bytes, then the
// 16-byte KSPROPERTY_MEMBERSHEADER), not taken from the library.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "xu/replies.h"
#include "xu/transport.h"

namespace lumora::xu::testing {

struct FakeControl {
  Bytes current, minimum, maximum, resolution, defaultValue;
  uint32_t access = kTypeGet | kTypeSet;
  // Faults.
  HResult failAll = hr::Ok;                 // every request on the control fails
  HResult failRanges = hr::Ok;              // BASICSUPPORT fails
  std::optional<uint32_t> descriptionSize;  // a lying DescriptionSize
  bool wholeReplyOnly = false;          // smaller buffers get ERROR_MORE_DATA and the reply's size
  size_t cutFullReply = 0;              // bytes cut from full description replies
  std::optional<uint32_t> lengthLater;  // the length once the first length query is answered
  size_t shortRead = 0;                 // bytes missing from every GET reply
};

// A control ranging over every byte value: minimum 00.., maximum ff..,
// resolution 01.., default 02...
inline FakeControl MakeControl(Bytes current, uint32_t access = kTypeGet | kTypeSet) {
  FakeControl c;
  c.minimum = Bytes(current.size(), 0x00);
  c.maximum = Bytes(current.size(), 0xff);
  c.resolution = Bytes(current.size(), 0x01);
  c.defaultValue = Bytes(current.size(), 0x02);
  c.current = std::move(current);
  c.access = access;
  return c;
}

struct FakeUnit {
  Guid guid;
  uint8_t unitId = 0;
  std::map<uint32_t, FakeControl> controls;
  bool listsSets = false;  // answers a null-set SETSUPPORT request
};

struct LoggedRequest {
  uint32_t flags, node, id, size;
};

constexpr size_t kDescriptionBytes = 40;
constexpr size_t kHeaderAt = 40;
constexpr size_t kBodyAt = 56;

class FakeDriver : public XuTransport {
 public:
  std::map<uint32_t, FakeUnit> nodes;
  HResult absentSelector = code::kNotFound;  // either documented "unsupported" code
  HResult setSupportAnswer = code::kSetNotFound;
  std::vector<LoggedRequest> log;
  std::map<std::pair<uint32_t, uint32_t>, int> lengthQueries;

  HResult ExtensionNodes(std::vector<uint32_t>* out) override {
    out->clear();
    for (auto& n : nodes) out->push_back(n.first);
    return hr::Ok;
  }

  size_t Count(uint32_t flags) const {
    return static_cast<size_t>(std::count_if(
        log.begin(), log.end(), [&](const LoggedRequest& r) { return r.flags == flags; }));
  }

  TransportReply NodeProperty(uint32_t flags, uint32_t node, const Guid& set, uint32_t id,
                              void* data, uint32_t size) override {
    log.push_back({flags, node, id, size});
    auto n = nodes.find(node);
    if (n == nodes.end()) return {code::kNotFound, 0};
    FakeUnit& unit = n->second;
    auto* out = static_cast<uint8_t*>(data);
    if (flags == kTypeSetSupport && set.IsNull()) {
      if (!unit.listsSets) return {setSupportAnswer, 0};
      return Copy(GuidBytes(unit.guid), out, size);
    }
    if (set != unit.guid) return {code::kSetNotFound, 0};
    if (id == kUnitInfoId) {
      if (flags != kTypeGet) return {code::kNotFound, 0};
      Bytes info = GuidBytes(unit.guid);
      uint8_t count = 0;
      for (auto& c : unit.controls) count = std::max<uint8_t>(count, static_cast<uint8_t>(c.first));
      info.push_back(count);
      info.push_back(1);  // bNrInPins
      info.push_back(1);  // baSourceID[0]
      return Copy(info, out, size);
    }
    auto c = unit.controls.find(id);
    if (c == unit.controls.end()) return {absentSelector, 0};
    FakeControl& fc = c->second;
    if (hr::Failed(fc.failAll)) return {fc.failAll, 0};
    uint32_t length = static_cast<uint32_t>(fc.current.size());
    switch (flags) {
      case kTypeGet: {
        if (size == 0) {
          // The length changes right after the first length query.
          if (lengthQueries[{node, id}]++ == 0 && fc.lengthLater) {
            fc.current.resize(*fc.lengthLater);
          }
          return {code::kMoreData, length};
        }
        if (size < length) return {code::kMoreData, length};
        uint32_t given = static_cast<uint32_t>(length - std::min<size_t>(fc.shortRead, length));
        std::memcpy(out, fc.current.data(), given);
        return {hr::Ok, given};
      }
      case kTypeSet:
        if (!(fc.access & kTypeSet)) return {code::kNotFound, 0};
        if (size != length) return {hr::InvalidArg, 0};
        std::memcpy(fc.current.data(), out, size);
        return {hr::Ok, size};
      case kTypeBasicSupport:
        if (hr::Failed(fc.failRanges)) return {fc.failRanges, 0};
        return Description(fc, kMemberRanges, 0, fc.resolution, fc.minimum, fc.maximum, out, size);
      case kTypeDefaultValues:
        return Description(fc, kMemberValues, kMemberFlagDefault, fc.defaultValue, {}, {}, out,
                           size);
      default: return {code::kNotFound, 0};
    }
  }

  static Bytes GuidBytes(const Guid& g) {
    Bytes b(16);
    GuidToDescriptorBytes(g, b.data());
    return b;
  }

 private:
  static TransportReply Copy(const Bytes& reply, uint8_t* out, uint32_t size) {
    auto length = static_cast<uint32_t>(reply.size());
    if (size < length) return {code::kMoreData, length};
    std::memcpy(out, reply.data(), length);
    return {hr::Ok, length};
  }

  static TransportReply Description(const FakeControl& fc, uint32_t membersFlags, uint32_t flags,
                                    const Bytes& a, const Bytes& b, const Bytes& c, uint8_t* out,
                                    uint32_t size) {
    Bytes reply(kBodyAt, 0);
    WriteU32(reply.data(), fc.access);
    WriteU32(reply.data() + 32, 1);  // MembersListCount
    WriteU32(reply.data() + kHeaderAt, membersFlags);
    WriteU32(reply.data() + kHeaderAt + 4, static_cast<uint32_t>(a.size() + b.size() + c.size()));
    WriteU32(reply.data() + kHeaderAt + 8, 1);
    WriteU32(reply.data() + kHeaderAt + 12, flags);
    for (const Bytes* part : {&a, &b, &c}) reply.insert(reply.end(), part->begin(), part->end());
    WriteU32(reply.data() + 4, fc.descriptionSize.value_or(static_cast<uint32_t>(reply.size())));
    if (fc.wholeReplyOnly && size < reply.size()) {
      return {code::kMoreData, static_cast<uint32_t>(reply.size())};
    }
    if (size == sizeof(uint32_t)) {
      WriteU32(out, fc.access);
      return {hr::Ok, 4};
    }
    if (size < kDescriptionBytes) return {code::kMoreData, static_cast<uint32_t>(reply.size())};
    uint32_t given = std::min<uint32_t>(size, static_cast<uint32_t>(reply.size()));
    if (size > kDescriptionBytes)
      given = static_cast<uint32_t>(given - std::min<size_t>(fc.cutFullReply, given));
    std::memcpy(out, reply.data(), given);
    return {hr::Ok, given};
  }
};

}  // namespace lumora::xu::testing
