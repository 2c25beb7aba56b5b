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
constexpr uint32_t kTypeBasicSupport = 0x200;

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

// KS_VideoControlFlag_* (the IAMVideoControl mode bits).
constexpr int32_t kVideoControlFlipHorizontal = 0x1;
constexpr int32_t kVideoControlFlipVertical = 0x2;
constexpr int32_t kVideoControlExternalTriggerEnable = 0x4;
constexpr int32_t kVideoControlTrigger = 0x8;

// PROPSETID_VIDCAP_VIDEOPROCAMP and PROPSETID_VIDCAP_CAMERACONTROL.
constexpr Guid kSetVideoProcAmp = Guid::Parse("C6E13360-30AC-11D0-A18C-00A0C9118956");
constexpr Guid kSetCameraControl = Guid::Parse("C6E13370-30AC-11D0-A18C-00A0C9118956");

}  // namespace lumora::sim::ks
