// The library's kernel-streaming constants and layouts (xu/ks_layout.h and the
// block views of property/property_blocks.h built on it) checked against the
// SDK's own definitions, in every Windows build (i686 and x86_64). A wrong
// offset or flag in the library fails to compile here.
#include <windows.h>
#include <strmif.h>
#include <ks.h>
#include <ksmedia.h>

#include "com/sdk_layout_check.h"
#include "property/capture_platform.h"
#include "property/property_blocks.h"
#include "property/property_handler.h"
#include "xu/ks_layout.h"

namespace lumora {
namespace {

// Request flags, support bits and members-list kinds.
LUMORA_SAME_VALUE(xu::kTypeGet, KSPROPERTY_TYPE_GET);
LUMORA_SAME_VALUE(xu::kTypeSet, KSPROPERTY_TYPE_SET);
LUMORA_SAME_VALUE(xu::kTypeSetSupport, KSPROPERTY_TYPE_SETSUPPORT);
LUMORA_SAME_VALUE(xu::kTypeBasicSupport, KSPROPERTY_TYPE_BASICSUPPORT);
LUMORA_SAME_VALUE(xu::kTypeDefaultValues, KSPROPERTY_TYPE_DEFAULTVALUES);
LUMORA_SAME_VALUE(xu::kTypeTopology, KSPROPERTY_TYPE_TOPOLOGY);
LUMORA_SAME_VALUE(kKsSupportGet, KSPROPERTY_SUPPORT_GET);
LUMORA_SAME_VALUE(kKsSupportSet, KSPROPERTY_SUPPORT_SET);
LUMORA_SAME_VALUE(xu::kMemberRanges, KSPROPERTY_MEMBER_RANGES);
LUMORA_SAME_VALUE(xu::kMemberSteppedRanges, KSPROPERTY_MEMBER_STEPPEDRANGES);
LUMORA_SAME_VALUE(xu::kMemberValues, KSPROPERTY_MEMBER_VALUES);
LUMORA_SAME_VALUE(xu::kMemberFlagDefault, KSPROPERTY_MEMBER_FLAG_DEFAULT);
LUMORA_SAME_VALUE(xu::kUnitInfoId, KSPROPERTY_EXTENSION_UNIT_INFO);

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

// Property-set ids and the extension unit's node type.
LUMORA_SAME_GUID(kSetVideoProcAmp, STATIC_PROPSETID_VIDCAP_VIDEOPROCAMP);
LUMORA_SAME_GUID(kSetCameraControl, STATIC_PROPSETID_VIDCAP_CAMERACONTROL);
LUMORA_SAME_GUID(kSetVideoControl, STATIC_PROPSETID_VIDCAP_VIDEOCONTROL);
LUMORA_SAME_GUID(xu::kNodeTypeDevSpecific, STATIC_KSNODETYPE_DEV_SPECIFIC);

// The request header (KSPROPERTY) and a node request (KSP_NODE).
LUMORA_SAME_SIZE(xu::KsIdentifier, KSPROPERTY);
LUMORA_SAME_FIELD(xu::KsIdentifier, set, KSPROPERTY, Set);
LUMORA_SAME_FIELD(xu::KsIdentifier, id, KSPROPERTY, Id);
LUMORA_SAME_FIELD(xu::KsIdentifier, flags, KSPROPERTY, Flags);
LUMORA_SAME_SIZE(xu::KspNode, KSP_NODE);
LUMORA_SAME_FIELD(xu::KspNode, nodeId, KSP_NODE, NodeId);
LUMORA_SAME_FIELD(xu::KspNode, reserved, KSP_NODE, Reserved);
LUMORA_SAME_OFFSET(PropertyRequest::kBodyOffset, 0, KSP_NODE, NodeId);

// The description and members header of a BASICSUPPORT or DEFAULTVALUES reply.
LUMORA_SAME_SIZE(xu::KsPropertyDescription, KSPROPERTY_DESCRIPTION);
LUMORA_SAME_FIELD(xu::KsPropertyDescription, accessFlags, KSPROPERTY_DESCRIPTION, AccessFlags);
LUMORA_SAME_FIELD(xu::KsPropertyDescription, descriptionSize, KSPROPERTY_DESCRIPTION,
                  DescriptionSize);
LUMORA_SAME_FIELD(xu::KsPropertyDescription, propTypeSet, KSPROPERTY_DESCRIPTION, PropTypeSet);
LUMORA_SAME_FIELD(xu::KsPropertyDescription, membersListCount, KSPROPERTY_DESCRIPTION,
                  MembersListCount);
LUMORA_SAME_FIELD(xu::KsPropertyDescription, reserved, KSPROPERTY_DESCRIPTION, Reserved);
LUMORA_SAME_SIZE(xu::KsPropertyMembersHeader, KSPROPERTY_MEMBERSHEADER);
LUMORA_SAME_FIELD(xu::KsPropertyMembersHeader, membersFlags, KSPROPERTY_MEMBERSHEADER,
                  MembersFlags);
LUMORA_SAME_FIELD(xu::KsPropertyMembersHeader, membersSize, KSPROPERTY_MEMBERSHEADER, MembersSize);
LUMORA_SAME_FIELD(xu::KsPropertyMembersHeader, membersCount, KSPROPERTY_MEMBERSHEADER,
                  MembersCount);
LUMORA_SAME_FIELD(xu::KsPropertyMembersHeader, flags, KSPROPERTY_MEMBERSHEADER, Flags);

// The offsets the extension-unit replies are parsed at: the members header
// right after the description, the members right after the header.
LUMORA_SAME_VALUE(xu::kDescriptionSize, sizeof(KSPROPERTY_DESCRIPTION));
LUMORA_SAME_VALUE(xu::kMembersHeaderOffset, sizeof(KSPROPERTY_DESCRIPTION));
LUMORA_SAME_VALUE(xu::kMembersOffset,
                  sizeof(KSPROPERTY_DESCRIPTION) + sizeof(KSPROPERTY_MEMBERSHEADER));
// A node request starts with its property header, where
// IKsControl::KsProperty reads it.
LUMORA_SAME_FIELD(xu::KspNode, property, KSP_NODE, Property);
// The unit information reply's GUID is a GUID's 16 bytes.
LUMORA_SAME_SIZE(Guid, GUID);

// The blocks' own offsets: the value of a standard control's data, and the
// stepping range that ends the range answer.
LUMORA_SAME_OFFSET(PropertyData::kStandardValueOffset, 0, KSPROPERTY_VIDEOPROCAMP_S, Value);
LUMORA_SAME_OFFSET(PropertyData::kStandardValueOffset, 0, KSPROPERTY_CAMERACONTROL_S, Value);
constexpr size_t kSteppingAt = sizeof(KSPROPERTY_DESCRIPTION) + sizeof(KSPROPERTY_MEMBERSHEADER);
LUMORA_SAME_OFFSET(RangeDescription::kSteppingDelta, kSteppingAt, KSPROPERTY_STEPPING_LONG,
                   SteppingDelta);
LUMORA_SAME_OFFSET(RangeDescription::kMinimum, kSteppingAt, KSPROPERTY_STEPPING_LONG,
                   Bounds.SignedMinimum);
LUMORA_SAME_OFFSET(RangeDescription::kMaximum, kSteppingAt, KSPROPERTY_STEPPING_LONG,
                   Bounds.SignedMaximum);
LUMORA_SAME_VALUE(RangeDescription::kSize, kSteppingAt + sizeof(KSPROPERTY_STEPPING_LONG));

}  // namespace
}  // namespace lumora
