// The library's kernel-streaming constants and block offsets checked against
// the SDK's own definitions, in every Windows build (i686 and x86_64). A
// wrong offset or flag in property/ fails to compile here.
#include <windows.h>
#include <strmif.h>
#include <ks.h>
#include <ksmedia.h>

#include <cstddef>

#include "property/capture_platform.h"
#include "property/property_blocks.h"
#include "property/property_handler.h"

namespace lumora {
namespace {

// Guid's own comparison is not a constant expression.
constexpr bool Same(const Guid& a, const Guid& b) {
  bool same = a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3;
  for (int i = 0; i < 8; ++i) same = same && a.data4[i] == b.data4[i];
  return same;
}

// Request flags, support bits and range member kinds.
static_assert(kKsGet == KSPROPERTY_TYPE_GET, "KSPROPERTY_TYPE_GET");
static_assert(kKsSet == KSPROPERTY_TYPE_SET, "KSPROPERTY_TYPE_SET");
static_assert(kKsBasicSupport == KSPROPERTY_TYPE_BASICSUPPORT, "KSPROPERTY_TYPE_BASICSUPPORT");
static_assert(kKsSupportGet == KSPROPERTY_SUPPORT_GET, "KSPROPERTY_SUPPORT_GET");
static_assert(kKsSupportSet == KSPROPERTY_SUPPORT_SET, "KSPROPERTY_SUPPORT_SET");
static_assert(RangeDescription::kMemberRanges == KSPROPERTY_MEMBER_RANGES,
              "KSPROPERTY_MEMBER_RANGES");
static_assert(RangeDescription::kMemberSteppedRanges == KSPROPERTY_MEMBER_STEPPEDRANGES,
              "KSPROPERTY_MEMBER_STEPPEDRANGES");

// Standard control modes and the video-control mode bits.
static_assert(kControlFlagsAuto == VideoProcAmp_Flags_Auto &&
                  kControlFlagsAuto == CameraControl_Flags_Auto &&
                  kControlFlagsAuto == KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO,
              "automatic mode flag");
static_assert(kControlFlagsManual == VideoProcAmp_Flags_Manual &&
                  kControlFlagsManual == CameraControl_Flags_Manual &&
                  kControlFlagsManual == KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL,
              "manual mode flag");
static_assert(kVideoControlFlipHorizontal == VideoControlFlag_FlipHorizontal &&
                  kVideoControlFlipVertical == VideoControlFlag_FlipVertical &&
                  kVideoControlExternalTriggerEnable == VideoControlFlag_ExternalTriggerEnable &&
                  kVideoControlTrigger == VideoControlFlag_Trigger,
              "VideoControlFlag_*");

// Property-set ids.
static_assert(Same(kSetVideoProcAmp, Guid{STATIC_PROPSETID_VIDCAP_VIDEOPROCAMP}),
              "PROPSETID_VIDCAP_VIDEOPROCAMP");
static_assert(Same(kSetCameraControl, Guid{STATIC_PROPSETID_VIDCAP_CAMERACONTROL}),
              "PROPSETID_VIDCAP_CAMERACONTROL");
static_assert(Same(kSetVideoControl, Guid{STATIC_PROPSETID_VIDCAP_VIDEOCONTROL}),
              "PROPSETID_VIDCAP_VIDEOCONTROL");

// The request block: a KSPROPERTY header, then the KSP_NODE node id.
static_assert(PropertyRequest::kSetOffset == offsetof(KSPROPERTY, Set), "KSPROPERTY.Set");
static_assert(PropertyRequest::kIdOffset == offsetof(KSPROPERTY, Id), "KSPROPERTY.Id");
static_assert(PropertyRequest::kFlagsOffset == offsetof(KSPROPERTY, Flags), "KSPROPERTY.Flags");
static_assert(PropertyRequest::kBodyOffset == sizeof(KSPROPERTY) &&
                  PropertyRequest::kBodyOffset == offsetof(KSP_NODE, NodeId),
              "KSP_NODE.NodeId follows the KSPROPERTY header");

// The data block of a standard control.
static_assert(PropertyData::kStandardValueOffset == offsetof(KSPROPERTY_VIDEOPROCAMP_S, Value) &&
                  PropertyData::kStandardValueOffset == offsetof(KSPROPERTY_CAMERACONTROL_S, Value),
              "KSPROPERTY_VIDEOPROCAMP_S.Value");

// The range answer: description, members header, one stepping range.
constexpr size_t kMembersAt = sizeof(KSPROPERTY_DESCRIPTION);
constexpr size_t kSteppingAt = kMembersAt + sizeof(KSPROPERTY_MEMBERSHEADER);
static_assert(RangeDescription::kAccessFlags == offsetof(KSPROPERTY_DESCRIPTION, AccessFlags),
              "KSPROPERTY_DESCRIPTION.AccessFlags");
static_assert(RangeDescription::kDescriptionSize ==
                  offsetof(KSPROPERTY_DESCRIPTION, DescriptionSize),
              "KSPROPERTY_DESCRIPTION.DescriptionSize");
static_assert(RangeDescription::kMembersListCount ==
                  offsetof(KSPROPERTY_DESCRIPTION, MembersListCount),
              "KSPROPERTY_DESCRIPTION.MembersListCount");
static_assert(RangeDescription::kMembersFlags ==
                  kMembersAt + offsetof(KSPROPERTY_MEMBERSHEADER, MembersFlags),
              "KSPROPERTY_MEMBERSHEADER.MembersFlags");
static_assert(RangeDescription::kMembersSize ==
                  kMembersAt + offsetof(KSPROPERTY_MEMBERSHEADER, MembersSize),
              "KSPROPERTY_MEMBERSHEADER.MembersSize");
static_assert(RangeDescription::kMembersCount ==
                  kMembersAt + offsetof(KSPROPERTY_MEMBERSHEADER, MembersCount),
              "KSPROPERTY_MEMBERSHEADER.MembersCount");
static_assert(RangeDescription::kSteppingDelta ==
                  kSteppingAt + offsetof(KSPROPERTY_STEPPING_LONG, SteppingDelta),
              "KSPROPERTY_STEPPING_LONG.SteppingDelta");
static_assert(RangeDescription::kMinimum ==
                  kSteppingAt + offsetof(KSPROPERTY_STEPPING_LONG, Bounds.SignedMinimum),
              "KSPROPERTY_STEPPING_LONG.Bounds.SignedMinimum");
static_assert(RangeDescription::kMaximum ==
                  kSteppingAt + offsetof(KSPROPERTY_STEPPING_LONG, Bounds.SignedMaximum),
              "KSPROPERTY_STEPPING_LONG.Bounds.SignedMaximum");
static_assert(RangeDescription::kSize == kSteppingAt + sizeof(KSPROPERTY_STEPPING_LONG),
              "the range answer's size");

}  // namespace
}  // namespace lumora
