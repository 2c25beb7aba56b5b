// The rig's own kernel-streaming definitions (sim/ks_layout.h) checked against
// the SDK's, in every Windows build (i686 and x86_64).
#include <windows.h>
#include <strmif.h>
#include <ks.h>
#include <ksmedia.h>

#include <cstddef>

#include "sim/ks_layout.h"

namespace lumora::sim::ks {
namespace {

// Guid's own comparison is not a constant expression.
constexpr bool Same(const Guid& a, const Guid& b) {
  bool same = a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3;
  for (int i = 0; i < 8; ++i) same = same && a.data4[i] == b.data4[i];
  return same;
}

// Checks that a rig structure and its SDK counterpart have the same size.
#define LUMORA_SAME_SIZE(rig, sdk) static_assert(sizeof(rig) == sizeof(sdk), #sdk " size")
// Checks that a rig field sits where the SDK puts it.
#define LUMORA_SAME_FIELD(rig, field, sdk, sdkField) \
  static_assert(offsetof(rig, field) == offsetof(sdk, sdkField), #sdk "." #sdkField)

static_assert(kTypeGet == KSPROPERTY_TYPE_GET && kTypeSet == KSPROPERTY_TYPE_SET &&
                  kTypeBasicSupport == KSPROPERTY_TYPE_BASICSUPPORT,
              "KSPROPERTY_TYPE_*");
static_assert(kSupportGet == KSPROPERTY_SUPPORT_GET && kSupportSet == KSPROPERTY_SUPPORT_SET,
              "KSPROPERTY_SUPPORT_*");
static_assert(kFlagsAuto == KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO &&
                  kFlagsAuto == KSPROPERTY_CAMERACONTROL_FLAGS_AUTO &&
                  kFlagsManual == KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL &&
                  kFlagsManual == KSPROPERTY_CAMERACONTROL_FLAGS_MANUAL,
              "KSPROPERTY_*_FLAGS_*");
static_assert(kVideoControlFlipHorizontal == KS_VideoControlFlag_FlipHorizontal &&
                  kVideoControlFlipVertical == KS_VideoControlFlag_FlipVertical &&
                  kVideoControlExternalTriggerEnable == KS_VideoControlFlag_ExternalTriggerEnable &&
                  kVideoControlTrigger == KS_VideoControlFlag_Trigger,
              "KS_VideoControlFlag_*");
static_assert(kMemberRanges == KSPROPERTY_MEMBER_RANGES &&
                  kMemberSteppedRanges == KSPROPERTY_MEMBER_STEPPEDRANGES,
              "KSPROPERTY_MEMBER_*");
static_assert(Same(kSetVideoProcAmp, Guid{STATIC_PROPSETID_VIDCAP_VIDEOPROCAMP}),
              "PROPSETID_VIDCAP_VIDEOPROCAMP");
static_assert(Same(kSetCameraControl, Guid{STATIC_PROPSETID_VIDCAP_CAMERACONTROL}),
              "PROPSETID_VIDCAP_CAMERACONTROL");

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

#undef LUMORA_SAME_SIZE
#undef LUMORA_SAME_FIELD

}  // namespace
}  // namespace lumora::sim::ks
