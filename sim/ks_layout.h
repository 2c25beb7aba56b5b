// The kernel-streaming structures and values a camera driver receives and
// answers, as the platform documents them (ks.h, ksmedia.h, strmif.h). The rig
// keeps its own copy on purpose: it decodes the library's requests with these,
// never with the library's constants, so a wrong offset or flag in the library
// fails the rig's tests. The Windows build ties every one of them to the SDK's
// definitions (sim/com/ks_layout_check.cpp).
//
// All fields are little-endian; buffers are read and written with memcpy,
// never through a cast, since a caller's buffer need not be aligned.
#pragma once

#include <cstdint>

#include "base/types.h"

namespace lumora::sim::ks {

// KSPROPERTY (KSIDENTIFIER): the header of every property request. Its union
// with a LONGLONG aligns it, and every structure that holds it, to 8 bytes.
struct alignas(8) Property {
  Guid set;
  uint32_t id = 0;
  uint32_t flags = 0;
};

// KSP_NODE: a request addressed to a node of the filter's topology.
struct NodeProperty {
  Property property;
  uint32_t nodeId = 0;
  uint32_t reserved = 0;
};

// KSPROPERTY_TYPE_* request flags.
constexpr uint32_t kTypeGet = 0x1;
constexpr uint32_t kTypeSet = 0x2;
constexpr uint32_t kTypeSetSupport = 0x100;
constexpr uint32_t kTypeBasicSupport = 0x200;
constexpr uint32_t kTypeDefaultValues = 0x10000;
constexpr uint32_t kTypeTopology = 0x10000000;

// KSPROPERTY_SUPPORT_* (IKsPropertySet::QuerySupported).
constexpr uint32_t kSupportGet = 1;
constexpr uint32_t kSupportSet = 2;

// KSPROPERTY_VIDEOPROCAMP_S and KSPROPERTY_CAMERACONTROL_S: a standard
// control's request and data buffer (40 bytes, the last 4 padding).
struct ControlS {
  Property property;
  int32_t value = 0;
  uint32_t flags = 0;
  uint32_t capabilities = 0;
};

// KSPROPERTY_VIDEOPROCAMP_FLAGS_* / KSPROPERTY_CAMERACONTROL_FLAGS_*.
constexpr int32_t kFlagsAuto = 0x1;
constexpr int32_t kFlagsManual = 0x2;

// The answer to a basic-support request with room for a range:
// KSPROPERTY_DESCRIPTION, one KSPROPERTY_MEMBERSHEADER and one
// KSPROPERTY_STEPPING_LONG.
struct PropertyDescription {
  uint32_t accessFlags = 0;
  uint32_t descriptionSize = 0;
  Property propTypeSet;  // KSIDENTIFIER
  uint32_t membersListCount = 0;
  uint32_t reserved = 0;
};
struct MembersHeader {
  uint32_t membersFlags = 0;
  uint32_t membersSize = 0;
  uint32_t membersCount = 0;
  uint32_t flags = 0;
};
struct SteppingLong {
  uint32_t steppingDelta = 0;
  uint32_t reserved = 0;
  int32_t signedMinimum = 0;  // KSPROPERTY_BOUNDS_LONG
  int32_t signedMaximum = 0;
};
struct SteppedRange {
  PropertyDescription description;
  MembersHeader members;
  SteppingLong stepping;
};

// KSPROPERTY_MEMBER_* (MembersHeader::membersFlags).
constexpr uint32_t kMemberRanges = 1;
constexpr uint32_t kMemberSteppedRanges = 2;
constexpr uint32_t kMemberValues = 3;
// KSPROPERTY_MEMBER_FLAG_DEFAULT (MembersHeader::flags of a DEFAULTVALUES answer).
constexpr uint32_t kMemberFlagDefault = 1;

// Extension units. Property id 0 of a unit's set is
// KSPROPERTY_EXTENSION_UNIT_INFO (GET only); ids 1..31 are its controls. The
// unit's node has the type KSNODETYPE_DEV_SPECIFIC, and every request on it
// is a KSP_NODE with the TOPOLOGY flag.
constexpr uint32_t kExtensionUnitInfo = 0;
constexpr Guid kNodeTypeDevSpecific = Guid::Parse("941C7AC0-C559-11D0-8A2B-00A0C9255AC1");
// Other node types of a UVC camera's topology.
constexpr Guid kNodeTypeCameraTerminal = Guid::Parse("DFF229E6-F70F-11D0-B917-00A0C9223196");
constexpr Guid kNodeTypeVideoProcessing = Guid::Parse("DFF229E5-F70F-11D0-B917-00A0C9223196");

// KS_VideoControlFlag_* (the IAMVideoControl mode bits).
constexpr int32_t kVideoControlFlipHorizontal = 0x1;
constexpr int32_t kVideoControlFlipVertical = 0x2;
constexpr int32_t kVideoControlExternalTriggerEnable = 0x4;
constexpr int32_t kVideoControlTrigger = 0x8;

// PROPSETID_VIDCAP_VIDEOPROCAMP and PROPSETID_VIDCAP_CAMERACONTROL.
constexpr Guid kSetVideoProcAmp = Guid::Parse("C6E13360-30AC-11D0-A18C-00A0C9118956");
constexpr Guid kSetCameraControl = Guid::Parse("C6E13370-30AC-11D0-A18C-00A0C9118956");

}  // namespace lumora::sim::ks
