#include "xu/replies.h"

#include <algorithm>
#include <cstring>

namespace lumora::xu {

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void WriteU32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

namespace {

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

KsIdentifier ReadIdentifier(const uint8_t* p) {
  KsIdentifier id;
  id.set = GuidFromDescriptorBytes(p);
  id.id = ReadU32(p + 16);
  id.flags = ReadU32(p + 20);
  return id;
}

KsPropertyMembersHeader ReadMembersHeader(const uint8_t* p) {
  KsPropertyMembersHeader h;
  h.membersFlags = ReadU32(p);
  h.membersSize = ReadU32(p + 4);
  h.membersCount = ReadU32(p + 8);
  h.flags = ReadU32(p + 12);
  return h;
}

// The part of a description reply that may be read: the bytes returned, cut
// to DescriptionSize when that is smaller.
size_t UsableSize(const KsPropertyDescription& d, size_t size) {
  return std::min<size_t>(size, d.descriptionSize);
}

// The members list of a description reply: its header and the bytes after
// it that the reply holds; null with a problem when there is none.
const uint8_t* Members(const uint8_t* reply, size_t size, const char* what,
                       KsPropertyDescription* description, KsPropertyMembersHeader* header,
                       size_t* body, std::string* problem) {
  auto d = ParseDescription(reply, size);
  if (!d) {
    *problem = std::string("the ") + what + " reply is shorter than its description (" +
               std::to_string(size) + " bytes)";
    return nullptr;
  }
  size_t usable = UsableSize(*d, size);
  if (d->membersListCount == 0 || usable < kMembersOffset) {
    *problem = std::string("the driver gives no ") + what + " for this control";
    return nullptr;
  }
  *description = *d;
  *header = ReadMembersHeader(reply + kMembersHeaderOffset);
  *body = usable - kMembersOffset;
  return reply + kMembersOffset;
}

}  // namespace

int HexDigitValue(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}

std::string HexText(const Bytes& value) {
  static const char kHex[] = "0123456789abcdef";
  std::string s;
  s.reserve(2 * value.size());
  for (uint8_t b : value) {
    s.push_back(kHex[b >> 4]);
    s.push_back(kHex[b & 0xF]);
  }
  return s;
}

bool ParseHexText(const std::string& text, Bytes* value) {
  if (text.empty() || text.size() % 2 != 0) return false;
  Bytes bytes(text.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    int hi = HexDigitValue(text[2 * i]), lo = HexDigitValue(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  *value = std::move(bytes);
  return true;
}

std::string CodeText(HResult hr) {
  static const char kHex[] = "0123456789ABCDEF";
  auto v = static_cast<uint32_t>(hr);
  std::string s = "0x";
  for (int i = 7; i >= 0; --i) s.push_back(kHex[(v >> (4 * i)) & 0xF]);
  return s;
}

const char* CodeMeaning(HResult hr) {
  switch (static_cast<uint32_t>(hr)) {
    case 0x80070492u: return "the extension unit's property set is not on this node";
    case 0x80070490u: return "the extension unit has no such control";
    case 0x8007001Fu: return "the device failed the request";
    case 0x80070079u: return "the device did not answer in time";
    case 0x80070015u: return "the device is not ready";
    case 0x800700EAu: return "the reply is longer than the buffer";
    case 0x80070005u: return "access denied";
    case 0x80070057u: return "the driver refused the request's parameters";
    case 0x80004001u: return "the driver does not implement this request";
    case 0x8007048Fu: return "the device is not connected";
    default: return "";
  }
}

std::string DescribeCode(HResult hr) {
  std::string text = CodeText(hr);
  const char* meaning = CodeMeaning(hr);
  if (*meaning != '\0') text += std::string(" (") + meaning + ")";
  return text;
}

bool IsUnsupported(HResult hr) { return hr == code::kSetNotFound || hr == code::kNotFound; }

Guid GuidFromDescriptorBytes(const uint8_t bytes[16]) {
  Guid g;
  g.data1 = ReadU32(bytes);
  g.data2 = ReadU16(bytes + 4);
  g.data3 = ReadU16(bytes + 6);
  std::memcpy(g.data4, bytes + 8, 8);
  return g;
}

void GuidToDescriptorBytes(const Guid& guid, uint8_t bytes[16]) {
  WriteU32(bytes, guid.data1);
  bytes[4] = static_cast<uint8_t>(guid.data2);
  bytes[5] = static_cast<uint8_t>(guid.data2 >> 8);
  bytes[6] = static_cast<uint8_t>(guid.data3);
  bytes[7] = static_cast<uint8_t>(guid.data3 >> 8);
  std::memcpy(bytes + 8, guid.data4, 8);
}

LengthAnswer ParseLengthAnswer(HResult result, uint32_t bytesReturned) {
  LengthAnswer a;
  a.result = result;
  if (result == code::kMoreData || (hr::Succeeded(result) && bytesReturned > 0)) {
    if (bytesReturned == 0) {
      a.problem = "the driver answered the length query without a length";
    } else if (bytesReturned > kMaxControlLength) {
      a.problem =
          "the driver reported an impossible length of " + std::to_string(bytesReturned) + " bytes";
    } else {
      a.length = bytesReturned;
    }
    return a;
  }
  if (hr::Succeeded(result)) {
    a.problem = "the driver answered the length query without a length";
    return a;
  }
  a.unsupported = IsUnsupported(result);
  a.problem = "the length cannot be read: " + DescribeCode(result);
  return a;
}

std::optional<uint32_t> ParseAccessFlags(const uint8_t* reply, size_t size) {
  if (reply == nullptr || size < sizeof(uint32_t)) return std::nullopt;
  return ReadU32(reply);
}

std::optional<KsPropertyDescription> ParseDescription(const uint8_t* reply, size_t size) {
  if (reply == nullptr || size < kDescriptionSize) return std::nullopt;
  KsPropertyDescription d;
  d.accessFlags = ReadU32(reply);
  d.descriptionSize = ReadU32(reply + 4);
  d.propTypeSet = ReadIdentifier(reply + 8);
  d.membersListCount = ReadU32(reply + 32);
  d.reserved = ReadU32(reply + 36);
  return d;
}

RangeReply ParseBasicSupport(const uint8_t* reply, size_t size, uint32_t controlLength) {
  RangeReply r;
  r.access = ParseAccessFlags(reply, size);
  KsPropertyDescription d;
  KsPropertyMembersHeader h;
  size_t body = 0;
  const uint8_t* p = Members(reply, size, "range", &d, &h, &body, &r.problem);
  if (p == nullptr) return r;
  if (h.membersFlags != kMemberRanges) {
    r.problem =
        "the range reply has members of type " + std::to_string(h.membersFlags) + ", not ranges";
    return r;
  }
  if (controlLength == 0) {
    r.problem = "the control's length is not known";
    return r;
  }
  size_t needed = 3 * static_cast<size_t>(controlLength);
  // A reply sized exactly for other values tells that the control's length
  // changed since it was read.
  if (d.descriptionSize > kMembersOffset && (d.descriptionSize - kMembersOffset) % 3 == 0 &&
      d.descriptionSize - kMembersOffset != needed) {
    r.problem = "the range reply holds " +
                std::to_string((d.descriptionSize - kMembersOffset) / 3) + "-byte values, not " +
                std::to_string(controlLength) + " (the control's length changed)";
    return r;
  }
  if (body < needed) {
    r.problem = "the range reply holds " + std::to_string(body) + " of " + std::to_string(needed) +
                " bytes";
    return r;
  }
  r.resolution = Bytes(p, p + controlLength);
  r.minimum = Bytes(p + controlLength, p + 2 * controlLength);
  r.maximum = Bytes(p + 2 * controlLength, p + needed);
  return r;
}

DefaultReply ParseDefaultValues(const uint8_t* reply, size_t size, uint32_t controlLength) {
  DefaultReply r;
  KsPropertyDescription d;
  KsPropertyMembersHeader h;
  size_t body = 0;
  const uint8_t* p = Members(reply, size, "default", &d, &h, &body, &r.problem);
  if (p == nullptr) return r;
  if (h.membersFlags != kMemberValues || (h.flags & kMemberFlagDefault) == 0) {
    r.problem = "the default reply holds no default value";
    return r;
  }
  if (controlLength == 0 || body < controlLength) {
    r.problem = "the default reply holds " + std::to_string(body) + " of " +
                std::to_string(controlLength) + " bytes";
    return r;
  }
  r.value = Bytes(p, p + controlLength);
  return r;
}

std::optional<UnitInfo> ParseUnitInfo(const uint8_t* reply, size_t size) {
  if (reply == nullptr || size < 16) return std::nullopt;
  UnitInfo u;
  u.guid = GuidFromDescriptorBytes(reply);
  if (size > 16) u.numControls = reply[16];
  if (size > 17) {
    u.numInPins = reply[17];
    size_t have = size - 18;
    size_t pins = *u.numInPins;
    u.sourceIds.assign(reply + 18, reply + 18 + std::min(have, pins));
    if (have < pins) {
      u.problem = "the unit information names " + std::to_string(pins) + " sources but holds " +
                  std::to_string(have);
    }
  } else {
    u.problem = "the unit information holds only " + std::to_string(size) + " bytes";
  }
  return u;
}

std::vector<Guid> ParseSetList(const uint8_t* reply, size_t size) {
  std::vector<Guid> sets;
  if (reply == nullptr) return sets;
  for (size_t at = 0; at + 16 <= size; at += 16)
    sets.push_back(GuidFromDescriptorBytes(reply + at));
  return sets;
}

}  // namespace lumora::xu
