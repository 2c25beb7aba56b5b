// The rig's own kernel-streaming definitions (sim/ks_layout.h) checked against
// the SDK's, in every Windows build (i686 and x86_64).
#include <windows.h>
#include <strmif.h>
#include <ks.h>
#include <ksmedia.h>

#include "com/sdk_layout_check.h"
#include "sim/ks_layout.h"

namespace lumora::sim::ks {
namespace {

LUMORA_SAME_VALUE(kTypeGet, KSPROPERTY_TYPE_GET);
LUMORA_SAME_VALUE(kTypeSet, KSPROPERTY_TYPE_SET);
LUMORA_SAME_VALUE(kTypeBasicSupport, KSPROPERTY_TYPE_BASICSUPPORT);
LUMORA_SAME_VALUE(kTypeSetSupport, KSPROPERTY_TYPE_SETSUPPORT);
LUMORA_SAME_VALUE(kTypeDefaultValues, KSPROPERTY_TYPE_DEFAULTVALUES);
LUMORA_SAME_VALUE(kTypeTopology, KSPROPERTY_TYPE_TOPOLOGY);
LUMORA_SAME_VALUE(kMemberValues, KSPROPERTY_MEMBER_VALUES);
LUMORA_SAME_VALUE(kMemberFlagDefault, KSPROPERTY_MEMBER_FLAG_DEFAULT);
LUMORA_SAME_VALUE(kExtensionUnitInfo, KSPROPERTY_EXTENSION_UNIT_INFO);
LUMORA_SAME_GUID(kNodeTypeDevSpecific, STATIC_KSNODETYPE_DEV_SPECIFIC);
LUMORA_SAME_GUID(kNodeTypeCameraTerminal, STATIC_KSNODETYPE_VIDEO_CAMERA_TERMINAL);
LUMORA_SAME_GUID(kNodeTypeVideoProcessing, STATIC_KSNODETYPE_VIDEO_PROCESSING);
LUMORA_SAME_VALUE(kSupportGet, KSPROPERTY_SUPPORT_GET);
LUMORA_SAME_VALUE(kSupportSet, KSPROPERTY_SUPPORT_SET);
LUMORA_SAME_VALUE(kFlagsAuto, KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO);
LUMORA_SAME_VALUE(kFlagsAuto, KSPROPERTY_CAMERACONTROL_FLAGS_AUTO);
LUMORA_SAME_VALUE(kFlagsManual, KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL);
LUMORA_SAME_VALUE(kFlagsManual, KSPROPERTY_CAMERACONTROL_FLAGS_MANUAL);
LUMORA_SAME_VALUE(kVideoControlFlipHorizontal, KS_VideoControlFlag_FlipHorizontal);
LUMORA_SAME_VALUE(kVideoControlFlipVertical, KS_VideoControlFlag_FlipVertical);
LUMORA_SAME_VALUE(kVideoControlExternalTriggerEnable, KS_VideoControlFlag_ExternalTriggerEnable);
LUMORA_SAME_VALUE(kVideoControlTrigger, KS_VideoControlFlag_Trigger);
LUMORA_SAME_VALUE(kMemberRanges, KSPROPERTY_MEMBER_RANGES);
LUMORA_SAME_VALUE(kMemberSteppedRanges, KSPROPERTY_MEMBER_STEPPEDRANGES);
LUMORA_SAME_GUID(kSetVideoProcAmp, STATIC_PROPSETID_VIDCAP_VIDEOPROCAMP);
LUMORA_SAME_GUID(kSetCameraControl, STATIC_PROPSETID_VIDCAP_CAMERACONTROL);

LUMORA_SAME_SIZE(Property, KSPROPERTY);
LUMORA_SAME_FIELD(Property, set, KSPROPERTY, Set);
LUMORA_SAME_FIELD(Property, id, KSPROPERTY, Id);
LUMORA_SAME_FIELD(Property, flags, KSPROPERTY, Flags);

LUMORA_SAME_SIZE(NodeProperty, KSP_NODE);
LUMORA_SAME_FIELD(NodeProperty, nodeId, KSP_NODE, NodeId);
LUMORA_SAME_FIELD(NodeProperty, reserved, KSP_NODE, Reserved);

LUMORA_SAME_SIZE(ControlS, KSPROPERTY_VIDEOPROCAMP_S);
LUMORA_SAME_FIELD(ControlS, value, KSPROPERTY_VIDEOPROCAMP_S, Value);
LUMORA_SAME_FIELD(ControlS, flags, KSPROPERTY_VIDEOPROCAMP_S, Flags);
LUMORA_SAME_FIELD(ControlS, capabilities, KSPROPERTY_VIDEOPROCAMP_S, Capabilities);
LUMORA_SAME_SIZE(ControlS, KSPROPERTY_CAMERACONTROL_S);
LUMORA_SAME_FIELD(ControlS, value, KSPROPERTY_CAMERACONTROL_S, Value);
LUMORA_SAME_FIELD(ControlS, flags, KSPROPERTY_CAMERACONTROL_S, Flags);
LUMORA_SAME_FIELD(ControlS, capabilities, KSPROPERTY_CAMERACONTROL_S, Capabilities);

LUMORA_SAME_SIZE(PropertyDescription, KSPROPERTY_DESCRIPTION);
LUMORA_SAME_FIELD(PropertyDescription, accessFlags, KSPROPERTY_DESCRIPTION, AccessFlags);
LUMORA_SAME_FIELD(PropertyDescription, descriptionSize, KSPROPERTY_DESCRIPTION, DescriptionSize);
LUMORA_SAME_FIELD(PropertyDescription, propTypeSet, KSPROPERTY_DESCRIPTION, PropTypeSet);
LUMORA_SAME_FIELD(PropertyDescription, membersListCount, KSPROPERTY_DESCRIPTION, MembersListCount);
LUMORA_SAME_FIELD(PropertyDescription, reserved, KSPROPERTY_DESCRIPTION, Reserved);

LUMORA_SAME_SIZE(MembersHeader, KSPROPERTY_MEMBERSHEADER);
LUMORA_SAME_FIELD(MembersHeader, membersFlags, KSPROPERTY_MEMBERSHEADER, MembersFlags);
LUMORA_SAME_FIELD(MembersHeader, membersSize, KSPROPERTY_MEMBERSHEADER, MembersSize);
LUMORA_SAME_FIELD(MembersHeader, membersCount, KSPROPERTY_MEMBERSHEADER, MembersCount);
LUMORA_SAME_FIELD(MembersHeader, flags, KSPROPERTY_MEMBERSHEADER, Flags);

LUMORA_SAME_SIZE(SteppingLong, KSPROPERTY_STEPPING_LONG);
LUMORA_SAME_FIELD(SteppingLong, steppingDelta, KSPROPERTY_STEPPING_LONG, SteppingDelta);
LUMORA_SAME_FIELD(SteppingLong, reserved, KSPROPERTY_STEPPING_LONG, Reserved);
LUMORA_SAME_FIELD(SteppingLong, signedMinimum, KSPROPERTY_STEPPING_LONG, Bounds.SignedMinimum);
LUMORA_SAME_FIELD(SteppingLong, signedMaximum, KSPROPERTY_STEPPING_LONG, Bounds.SignedMaximum);

// A stepped-range answer is the three structures back to back.
static_assert(offsetof(SteppedRange, members) == sizeof(KSPROPERTY_DESCRIPTION) &&
                  offsetof(SteppedRange, stepping) ==
                      sizeof(KSPROPERTY_DESCRIPTION) + sizeof(KSPROPERTY_MEMBERSHEADER) &&
                  sizeof(SteppedRange) ==
                      offsetof(SteppedRange, stepping) + sizeof(KSPROPERTY_STEPPING_LONG),
              "description, members header and stepping range back to back");

}  // namespace
}  // namespace lumora::sim::ks
