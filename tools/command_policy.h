// What the lumora tool's writing commands decide, apart from how they reach
// the camera and what they print (portable; the camera is a ProfileTarget):
// which properties "reset" touches and how, what "save" stores, and the
// switch to manual before "set" writes a value.
#pragma once

#include <cstdint>
#include <vector>

#include "base/types.h"
#include "tools/profile.h"
#include "tools/profile_load.h"

namespace lumora::cli {

// Trigger and setting-selector writes are actions rather than settings: a
// profile does not replay them, and reset leaves them alone.
bool IsAction(int32_t property);

// One write of a reset: the automatic mode where the control offers it,
// else the control's default value.
struct ResetStep {
  int32_t property = 0;
  bool automatic = false;
  int32_t value = 0;  // the default (not automatic)
};

// The writes of "reset CAM [PROP...]", decided before anything is written.
// Without named properties: every catalogue property that can be reset, in
// catalogue order (the others are passed over). With named properties (in
// the order given, each once): all of them, or, when one cannot be reset
// (an action, not settable, no automatic mode and no default), false with
// *refused set to the first such property.
bool PlanReset(ProfileTarget& target, const std::vector<int32_t>& named,
               std::vector<ResetStep>* steps, int32_t* refused);

// What "save" stores, in LoadOrder: every property that can be both read and
// set and is no action, as "auto" where the control is automatic, else its
// value; a property whose value cannot be read is left out.
std::vector<ProfileEntry> SavedEntries(ProfileTarget& target);

// The manual write of "set CAM PROP VALUE": many cameras ignore a manual
// value written while the control is automatic, so a control in automatic
// mode is switched to manual first. *modes tells whether the control offers
// a manual mode. The first failure is the answer.
HResult WriteManual(ProfileTarget& target, int32_t property, int32_t value, bool* modes);

}  // namespace lumora::cli
