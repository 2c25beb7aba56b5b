// The library's kernel-streaming request and reply layouts, written from the
// platform's documentation as portable definitions: extension-unit access
// uses them, and the block views of property/property_blocks.h are built on
// them. dshow/ks_layout_check.cpp ties each one to the SDK's own.
// Replies are parsed from bytes (little-endian) at the offsets below, never
// by casting a driver's buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/types.h"

namespace lumora::xu {

// KSPROPERTY_TYPE_* request flags.
constexpr uint32_t kTypeGet = 0x00000001;
constexpr uint32_t kTypeSet = 0x00000002;
constexpr uint32_t kTypeSetSupport = 0x00000100;
constexpr uint32_t kTypeBasicSupport = 0x00000200;
constexpr uint32_t kTypeDefaultValues = 0x00010000;
constexpr uint32_t kTypeTopology = 0x10000000;

// KSPROPERTY_MEMBERSHEADER.MembersFlags and .Flags values.
constexpr uint32_t kMemberRanges = 1;
constexpr uint32_t kMemberSteppedRanges = 2;
constexpr uint32_t kMemberValues = 3;
constexpr uint32_t kMemberFlagDefault = 1;

// Property id 0 of an extension unit's set: KSPROPERTY_EXTENSION_UNIT_INFO
// (GET only). Ids 1..31 are the unit's control selectors.
constexpr uint32_t kUnitInfoId = 0;
constexpr uint32_t kFirstSelector = 1;
constexpr uint32_t kLastSelector = 31;

// KSNODETYPE_DEV_SPECIFIC: the node type of an extension unit.
constexpr Guid kNodeTypeDevSpecific = Guid::Parse("941C7AC0-C559-11D0-8A2B-00A0C9255AC1");

// KSIDENTIFIER / KSPROPERTY: Set, Id, Flags (24 bytes; 8-byte aligned on
// Windows through a LONGLONG member of its union, which changes no offset).
struct KsIdentifier {
  Guid set;
  uint32_t id = 0;
  uint32_t flags = 0;
};

// KSP_NODE: the property followed by the node id and a reserved zero.
struct KspNode {
  KsIdentifier property;
  uint32_t nodeId = 0;
  uint32_t reserved = 0;
};

// KSPROPERTY_DESCRIPTION: the first part of a BASICSUPPORT or DEFAULTVALUES
// reply. DescriptionSize is the size of the whole reply.
struct KsPropertyDescription {
  uint32_t accessFlags = 0;
  uint32_t descriptionSize = 0;
  KsIdentifier propTypeSet;
  uint32_t membersListCount = 0;
  uint32_t reserved = 0;
};

// KSPROPERTY_MEMBERSHEADER: follows the description for each members list.
struct KsPropertyMembersHeader {
  uint32_t membersFlags = 0;
  uint32_t membersSize = 0;
  uint32_t membersCount = 0;
  uint32_t flags = 0;
};

static_assert(sizeof(KsIdentifier) == 24, "KSIDENTIFIER is 24 bytes");
static_assert(sizeof(KspNode) == 32, "KSP_NODE is 32 bytes");
static_assert(offsetof(KspNode, nodeId) == 24, "KSP_NODE.NodeId follows the property");
static_assert(sizeof(KsPropertyDescription) == 40, "KSPROPERTY_DESCRIPTION is 40 bytes");
static_assert(offsetof(KsPropertyDescription, descriptionSize) == 4, "DescriptionSize offset");
static_assert(offsetof(KsPropertyDescription, membersListCount) == 32, "MembersListCount offset");
static_assert(sizeof(KsPropertyMembersHeader) == 16, "KSPROPERTY_MEMBERSHEADER is 16 bytes");

// Reply offsets: the members header follows the description, and the
// members follow the header.
constexpr size_t kDescriptionSize = sizeof(KsPropertyDescription);
constexpr size_t kMembersHeaderOffset = kDescriptionSize;
constexpr size_t kMembersOffset = kMembersHeaderOffset + sizeof(KsPropertyMembersHeader);

// UVC requests carry at most a 16-bit length (wLength).
constexpr uint32_t kMaxControlLength = 0xFFFF;

}  // namespace lumora::xu
