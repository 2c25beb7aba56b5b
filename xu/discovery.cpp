#include "xu/discovery.h"

#include <algorithm>

namespace lumora::xu {

namespace {

std::string ControlName(const Guid& unit, uint32_t selector) {
  return "control " + std::to_string(selector) + " of unit " + unit.ToString();
}

// The length query: a GET with no buffer.
LengthAnswer QueryLength(Requester& rq, uint32_t node, const Guid& unit, uint32_t id) {
  TransportReply r = rq.Request(kTypeGet, node, unit, id, nullptr, 0);
  return ParseLengthAnswer(r.result, r.bytesReturned);
}

// A description reply fetched in the documented stages: a ULONG (the
// AccessFlags; BASICSUPPORT only), the description (its DescriptionSize),
// then the whole reply. `reply` holds what the last stage returned.
struct Staged {
  std::optional<uint32_t> access;
  Bytes reply;
  std::string problem;
};

Staged FetchDescription(Requester& rq, uint32_t flags, uint32_t node, const Guid& unit,
                        uint32_t selector, const char* what) {
  Staged s;
  auto failed = [&](const std::string& why) {
    s.problem = std::string("the ") + what + " cannot be read: " + why;
    s.reply.clear();
    return s;
  };
  TransportReply r;
  if (flags == kTypeBasicSupport) {
    uint8_t access[4] = {};
    r = rq.Request(flags, node, unit, selector, access, sizeof access);
    // A driver that wants a larger buffer even for the flags is asked for
    // the description next.
    if (hr::Failed(r.result) && r.result != code::kMoreData) return failed(DescribeCode(r.result));
    if (hr::Succeeded(r.result)) {
      s.access = ParseAccessFlags(access, std::min<size_t>(r.bytesReturned, sizeof access));
    }
  }
  uint8_t head[kDescriptionSize] = {};
  r = rq.Request(flags, node, unit, selector, head, sizeof head);
  uint32_t size = 0;
  if (r.result == code::kMoreData && r.bytesReturned > sizeof head) {
    size = r.bytesReturned;  // the whole reply's size, told instead of the description
  } else if (hr::Failed(r.result)) {
    return failed(DescribeCode(r.result));
  } else if (r.bytesReturned < sizeof head) {
    return failed("the driver gives no description");
  } else {
    if (!s.access) s.access = ParseAccessFlags(head, sizeof head);
    size = ReadU32(head + 4);
    if (size <= sizeof head) {
      s.reply.assign(head, head + sizeof head);
      return s;
    }
  }
  if (size > kMembersOffset + 3 * static_cast<size_t>(kMaxControlLength)) {
    return failed("the driver claims a reply of " + std::to_string(size) + " bytes");
  }
  s.reply.assign(size, 0);
  r = rq.Request(flags, node, unit, selector, s.reply.data(), size);
  if (hr::Failed(r.result)) return failed(DescribeCode(r.result));
  s.reply.resize(std::min<size_t>(r.bytesReturned, size));
  if (!s.access) s.access = ParseAccessFlags(s.reply.data(), s.reply.size());
  return s;
}

// A node answers a unit's GUID when its unit-info request succeeds or asks
// for a buffer.
bool Answers(Requester& rq, uint32_t node, const Guid& unit) {
  TransportReply r = rq.Request(kTypeGet, node, unit, kUnitInfoId, nullptr, 0);
  return r.result == code::kMoreData || hr::Succeeded(r.result);
}

// A variable-length GET: the length query, then the read.
bool ReadVariable(Requester& rq, uint32_t flags, uint32_t node, const Guid& set, uint32_t id,
                  Bytes* out, std::string* problem) {
  TransportReply r = rq.Request(flags, node, set, id, nullptr, 0);
  if (hr::Succeeded(r.result) && r.bytesReturned == 0) {
    out->clear();
    return true;
  }
  if (r.result != code::kMoreData) {
    *problem = DescribeCode(r.result);
    return false;
  }
  if (r.bytesReturned == 0 || r.bytesReturned > kMaxControlLength) {
    *problem = "the driver asks for a buffer of " + std::to_string(r.bytesReturned) + " bytes";
    return false;
  }
  out->assign(r.bytesReturned, 0);
  r = rq.Request(flags, node, set, id, out->data(), static_cast<uint32_t>(out->size()));
  if (hr::Failed(r.result)) {
    *problem = DescribeCode(r.result);
    return false;
  }
  out->resize(std::min<size_t>(r.bytesReturned, out->size()));
  return true;
}

void ReadUnitInfo(Requester& rq, UnitFacts* unit) {
  Bytes reply;
  std::string problem;
  if (!ReadVariable(rq, kTypeGet, unit->nodeId, *unit->guid, kUnitInfoId, &reply, &problem)) {
    unit->problems.push_back("the unit information cannot be read: " + problem);
    return;
  }
  unit->info = ParseUnitInfo(reply.data(), reply.size());
  if (!unit->info) {
    unit->problems.push_back("the unit information holds only " + std::to_string(reply.size()) +
                             " bytes");
    return;
  }
  if (!unit->info->problem.empty()) unit->problems.push_back(unit->info->problem);
  if (unit->info->guid != *unit->guid) {
    unit->problems.push_back("the unit information names unit " + unit->info->guid.ToString());
  }
}

}  // namespace

TransportReply Requester::Request(uint32_t flags, uint32_t node, const Guid& set, uint32_t id,
                                  void* data, uint32_t size) {
  TransportReply r = transport_.NodeProperty(flags, node, set, id, data, size);
  for (int i = 0; i < retries_ && r.result == code::kNotReady; ++i) {
    r = transport_.NodeProperty(flags, node, set, id, data, size);
  }
  return r;
}

std::optional<ControlFacts> DescribeControl(Requester& rq, uint32_t node, const Guid& unit,
                                            uint32_t selector, bool readValues) {
  ControlFacts c;
  c.selector = selector;
  LengthAnswer len = QueryLength(rq, node, unit, selector);
  if (len.unsupported) return std::nullopt;
  c.length = len.length;
  if (!len.length) c.problems.push_back(len.problem);

  Staged basic = FetchDescription(rq, kTypeBasicSupport, node, unit, selector, "ranges");
  c.access = basic.access;
  if (!basic.problem.empty()) {
    c.problems.push_back(basic.problem);
  } else if (c.length) {
    RangeReply ranges = ParseBasicSupport(basic.reply.data(), basic.reply.size(), *c.length);
    if (!c.access) c.access = ranges.access;
    if (ranges.minimum) {
      c.resolution = ranges.resolution;
      c.minimum = ranges.minimum;
      c.maximum = ranges.maximum;
    } else {
      c.problems.push_back(ranges.problem);
    }
  }
  if (!readValues || !c.length) return c;

  Staged def = FetchDescription(rq, kTypeDefaultValues, node, unit, selector, "default");
  if (!def.problem.empty()) {
    c.problems.push_back(def.problem);
  } else {
    DefaultReply d = ParseDefaultValues(def.reply.data(), def.reply.size(), *c.length);
    if (d.value) {
      c.defaultValue = d.value;
    } else {
      c.problems.push_back(d.problem);
    }
  }

  if (!c.CanGet()) return c;
  Bytes current;
  Status s = ReadControl(rq.transport(), node, unit, selector, *c.length, &current);
  if (!s.ok()) {
    // A control whose length changed since the length query: take the new
    // length and read once more.
    LengthAnswer again = QueryLength(rq, node, unit, selector);
    if (again.length && *again.length != *c.length) {
      c.problems.push_back("the control's length changed from " + std::to_string(*c.length) +
                           " to " + std::to_string(*again.length) + " bytes");
      c.length = again.length;
      c.minimum.reset();
      c.maximum.reset();
      c.resolution.reset();
      c.defaultValue.reset();
      s = ReadControl(rq.transport(), node, unit, selector, *c.length, &current);
    }
  }
  if (s.ok()) {
    c.current = std::move(current);
  } else {
    c.problems.push_back(s.message);
  }
  return c;
}

std::vector<ControlFacts> ScanControls(Requester& rq, uint32_t node, const Guid& unit,
                                       const DiscoveryOptions& options) {
  std::vector<ControlFacts> controls;
  for (uint32_t selector = kFirstSelector; selector <= kLastSelector; ++selector) {
    auto c = DescribeControl(rq, node, unit, selector, options.readValues);
    if (c) controls.push_back(std::move(*c));
  }
  return controls;
}

UnitFacts DescribeNode(Requester& rq, uint32_t node, const DiscoveryOptions& options) {
  UnitFacts u;
  u.nodeId = node;
  for (const Guid& g : options.candidates) {
    if (!g.IsNull() && Answers(rq, node, g)) {
      u.guid = g;
      u.guidSource = GuidSource::kCandidate;
      break;
    }
  }
  if (!u.guid) {
    Bytes reply;
    std::string problem;
    if (ReadVariable(rq, kTypeSetSupport, node, kNullGuid, 0, &reply, &problem)) {
      std::vector<Guid> sets = ParseSetList(reply.data(), reply.size());
      sets.erase(std::remove(sets.begin(), sets.end(), kNullGuid), sets.end());
      for (const Guid& g : sets) {
        if (Answers(rq, node, g)) {
          u.guid = g;
          break;
        }
      }
      if (!u.guid && !sets.empty()) u.guid = sets.front();
      if (u.guid) u.guidSource = GuidSource::kSetSupport;
    }
    if (!u.guid) {
      u.problems.push_back(problem.empty()
                               ? std::string("the node names no property set")
                               : "the node does not list its property sets: " + problem);
      return u;
    }
  }
  ReadUnitInfo(rq, &u);
  u.controls = ScanControls(rq, node, *u.guid, options);
  return u;
}

Status DiscoverUnits(XuTransport& transport, const DiscoveryOptions& options,
                     std::vector<UnitFacts>* units) {
  units->clear();
  std::vector<uint32_t> nodes;
  HResult h = transport.ExtensionNodes(&nodes);
  if (hr::Failed(h)) {
    return Status::Error(h, "the extension units cannot be listed: " + DescribeCode(h));
  }
  Requester rq(transport, options.notReadyRetries);
  for (uint32_t node : nodes) units->push_back(DescribeNode(rq, node, options));
  return Status::Ok();
}

std::optional<uint32_t> FindNode(XuTransport& transport, const Guid& unit) {
  std::vector<uint32_t> nodes;
  if (unit.IsNull() || hr::Failed(transport.ExtensionNodes(&nodes))) return std::nullopt;
  Requester rq(transport, 0);
  for (uint32_t node : nodes) {
    if (Answers(rq, node, unit)) return node;
  }
  return std::nullopt;
}

Status ReadControl(XuTransport& transport, uint32_t node, const Guid& unit, uint32_t selector,
                   uint32_t length, Bytes* value) {
  if (length == 0 || length > kMaxControlLength) {
    return Status::Error(hr::InvalidArg, ControlName(unit, selector) + " has no known length");
  }
  Bytes buffer(length, 0);
  TransportReply r = transport.NodeProperty(kTypeGet, node, unit, selector, buffer.data(), length);
  if (IsUnsupported(r.result)) {
    return Status::Error(r.result, "unit " + unit.ToString() + " has no control " +
                                       std::to_string(selector) + ": " + DescribeCode(r.result));
  }
  if (hr::Failed(r.result)) {
    return Status::Error(
        r.result, "reading " + ControlName(unit, selector) + " failed: " + DescribeCode(r.result));
  }
  if (r.bytesReturned != length) {
    return Status::Error(hr::Fail, "reading " + ControlName(unit, selector) + " returned " +
                                       std::to_string(r.bytesReturned) + " of " +
                                       std::to_string(length) + " bytes");
  }
  *value = std::move(buffer);
  return Status::Ok();
}

Status WriteControl(XuTransport& transport, uint32_t node, const Guid& unit,
                    const ControlFacts& facts, const Bytes& value) {
  const std::string name = ControlName(unit, facts.selector);
  if (!facts.length) {
    return Status::Error(hr::InvalidArg, name + " has no known length: nothing written");
  }
  if (value.size() != *facts.length) {
    return Status::Error(hr::InvalidArg, name + " takes " + std::to_string(*facts.length) +
                                             " bytes, not " + std::to_string(value.size()) +
                                             ": nothing written");
  }
  if (!facts.CanSet()) {
    return Status::Error(hr::AccessDenied, name + " is read-only: nothing written");
  }
  Bytes buffer = value;
  TransportReply r = transport.NodeProperty(kTypeSet, node, unit, facts.selector, buffer.data(),
                                            static_cast<uint32_t>(buffer.size()));
  if (IsUnsupported(r.result)) {
    return Status::Error(r.result, "unit " + unit.ToString() + " has no control " +
                                       std::to_string(facts.selector) + ": " +
                                       DescribeCode(r.result));
  }
  if (hr::Failed(r.result)) {
    return Status::Error(r.result, "writing " + name + " failed: " + DescribeCode(r.result));
  }
  return Status::Ok();
}

}  // namespace lumora::xu
