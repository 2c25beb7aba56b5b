// Property codes and the 296-byte kernel-streaming request and data blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/types.h"
#include "property/catalogue.h"
#include "xu/ks_layout.h"

namespace lumora {

// Internal property code: 0-99 video proc-amp ids, 100-199 the video-control
// pseudo set, 200-299 camera-control ids, 300-499 null set slots, 500-699 the
// private set (ids 0-199), 700 and above the null set id 0. Negative codes
// mean "not available".
using PropertyCode = int32_t;

// A handler's translation table, indexed by VidCapProperty value 0..32: a
// column of the catalogue's family matrix (property/catalogue.json).
using CodeTable = std::array<PropertyCode, kCatalogueSize>;

constexpr PropertyCode kPrivateBase = 500;
constexpr PropertyCode kPrivateEnd = 700;  // first code past the private set
constexpr PropertyCode kRawCodeLimit = 1000;

// KSPROPERTY flags: the library's one kernel-streaming layout is xu/ks_layout.h.
constexpr uint32_t kKsGet = xu::kTypeGet;
constexpr uint32_t kKsSet = xu::kTypeSet;
constexpr uint32_t kKsBasicSupport = xu::kTypeBasicSupport;

// KSPROPERTY_SUPPORT_GET / _SET as returned by IKsPropertySet::QuerySupported.
constexpr uint32_t kKsSupportGet = 1;
constexpr uint32_t kKsSupportSet = 2;

// A zero-filled 296-byte block with little-endian field access. Used as the
// property argument (PropertyRequest) and as the data buffer (PropertyData)
// of KsProperty calls. Lives on the stack of each operation.
class PropertyBlock {
 public:
  static constexpr uint32_t kSize = 296;

  PropertyBlock() { Zero(); }
  void Zero() { std::memset(bytes_, 0, sizeof bytes_); }

  uint8_t* bytes() { return bytes_; }
  const uint8_t* bytes() const { return bytes_; }

  int32_t Long(uint32_t offset) const {
    int32_t v;
    std::memcpy(&v, bytes_ + offset, sizeof v);
    return v;
  }
  void SetLong(uint32_t offset, int32_t v) { std::memcpy(bytes_ + offset, &v, sizeof v); }
  uint32_t ULong(uint32_t offset) const { return static_cast<uint32_t>(Long(offset)); }
  void SetULong(uint32_t offset, uint32_t v) { std::memcpy(bytes_ + offset, &v, sizeof v); }

 private:
  alignas(8) uint8_t bytes_[kSize];
};

// The request view of a block: a KSPROPERTY header (xu::KsIdentifier), then
// the body (a KSP_NODE's node id, or a standard control's value).
class PropertyRequest : public PropertyBlock {
 public:
  static constexpr uint32_t kSetOffset = offsetof(xu::KsIdentifier, set);
  static constexpr uint32_t kIdOffset = offsetof(xu::KsIdentifier, id);
  static constexpr uint32_t kFlagsOffset = offsetof(xu::KsIdentifier, flags);
  // First byte after the 24-byte KSPROPERTY header.
  static constexpr uint32_t kBodyOffset = sizeof(xu::KsIdentifier);

  Guid Set() const {
    Guid g;
    std::memcpy(&g, bytes() + kSetOffset, sizeof g);
    return g;
  }
  void SetSet(const Guid& g) { std::memcpy(bytes() + kSetOffset, &g, sizeof g); }
  uint32_t Id() const { return ULong(kIdOffset); }
  void SetId(uint32_t id) { SetULong(kIdOffset, id); }
  uint32_t Flags() const { return ULong(kFlagsOffset); }
  void SetFlags(uint32_t f) { SetULong(kFlagsOffset, f); }
};

// The data view: standard layouts keep the value at offset 24.
class PropertyData : public PropertyBlock {
 public:
  static constexpr uint32_t kStandardValueOffset = 24;
  static constexpr uint32_t kPrivateValueOffset = 28;
};

// The 72-byte buffer of a kernel-streaming range query: KSPROPERTY_DESCRIPTION,
// KSPROPERTY_MEMBERSHEADER (their layouts in xu/ks_layout.h) and one
// KSPROPERTY_STEPPING_LONG (SteppingDelta, Reserved, SignedMinimum, SignedMaximum).
struct RangeDescription {
  using Description = xu::KsPropertyDescription;
  using Members = xu::KsPropertyMembersHeader;
  static constexpr uint32_t kAccessFlags = offsetof(Description, accessFlags);
  static constexpr uint32_t kDescriptionSize = offsetof(Description, descriptionSize);
  static constexpr uint32_t kMembersListCount = offsetof(Description, membersListCount);
  static constexpr uint32_t kMembersFlags =
      xu::kMembersHeaderOffset + offsetof(Members, membersFlags);
  static constexpr uint32_t kMembersSize =
      xu::kMembersHeaderOffset + offsetof(Members, membersSize);
  static constexpr uint32_t kMembersCount =
      xu::kMembersHeaderOffset + offsetof(Members, membersCount);
  static constexpr uint32_t kSteppingDelta = xu::kMembersOffset;
  static constexpr uint32_t kMinimum = xu::kMembersOffset + 8;
  static constexpr uint32_t kMaximum = xu::kMembersOffset + 12;
  static constexpr uint32_t kSize = xu::kMembersOffset + 16;

  // KSPROPERTY_MEMBER_RANGES / KSPROPERTY_MEMBER_STEPPEDRANGES.
  static constexpr uint32_t kMemberRanges = xu::kMemberRanges;
  static constexpr uint32_t kMemberSteppedRanges = xu::kMemberSteppedRanges;
};

}  // namespace lumora
