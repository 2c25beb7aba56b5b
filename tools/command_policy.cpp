#include "tools/command_policy.h"

#include "property/catalogue.h"

namespace lumora::cli {

bool IsAction(int32_t property) { return property == VCP_SWTrigger || property == VCP_Setting; }

namespace {

// Adds the step that resets property; false when it cannot be reset.
bool PlanOne(ProfileTarget& target, int32_t property, std::vector<ResetStep>* steps) {
  if (IsAction(property) || (target.Support(property) & VCS_set) == 0) return false;
  if ((target.ModeSupport(property) & kModeAuto) != 0) {
    steps->push_back({property, true, 0});
    return true;
  }
  int32_t value = 0;
  if (hr::Failed(target.Default(property, &value))) return false;
  steps->push_back({property, false, value});
  return true;
}

}  // namespace

bool PlanReset(ProfileTarget& target, const std::vector<int32_t>& named,
               std::vector<ResetStep>* steps, int32_t* refused) {
  steps->clear();
  if (named.empty()) {
    for (int32_t p = VCP_FirstElement; p <= VCP_LastElement; ++p) PlanOne(target, p, steps);
  }
  for (int32_t p : named) {
    if (!PlanOne(target, p, steps)) {
      *refused = p;
      return false;
    }
  }
  return true;
}

std::vector<ProfileEntry> SavedEntries(ProfileTarget& target) {
  std::vector<ProfileEntry> entries;
  for (int32_t p = VCP_FirstElement; p <= VCP_LastElement; ++p) {
    if (IsAction(p) || target.Support(p) != VCS_both) continue;
    int32_t mode = 0;
    if ((target.ModeSupport(p) & kModeAuto) != 0 && hr::Succeeded(target.GetMode(p, &mode)) &&
        mode == kModeAuto) {
      entries.push_back({p, 0, 0, EntryMode::kAuto});
      continue;
    }
    int32_t value = 0;
    if (hr::Failed(target.Get(p, &value))) continue;
    entries.push_back({p, value, 0});
  }
  return LoadOrder(entries);
}

HResult WriteManual(ProfileTarget& target, int32_t property, int32_t value, bool* modes) {
  int32_t mode = 0;
  *modes = (target.ModeSupport(property) & kModeManual) != 0;
  HResult result = hr::Ok;
  if (*modes && hr::Succeeded(target.GetMode(property, &mode)) && mode == kModeAuto) {
    result = target.SetMode(property, kModeManual);
  }
  if (hr::Succeeded(result)) result = target.Set(property, value);
  return result;
}

}  // namespace lumora::cli
