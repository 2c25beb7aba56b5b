// The ordered, verified load of a camera profile.
#include "tools/profile_load.h"

#include <cstdio>

#include "base/text.h"
#include "property/catalogue.h"
#include "xu/definitions.h"

namespace lumora::cli {

namespace {

constexpr HResult kDeviceNotConnected = static_cast<HResult>(0x8007048Fu);
constexpr HResult kDeviceRemoved = static_cast<HResult>(0x80070651u);
constexpr HResult kGenFailure = static_cast<HResult>(0x8007001Fu);
constexpr HResult kFileNotFound = static_cast<HResult>(0x80070002u);

const char* Name(int32_t property) {
  const char* name = PropertyName(property);
  return name != nullptr ? name : "?";
}

// The reason an entry cannot be written, or an empty text when it can.
std::string Refusal(ProfileTarget& target, const ProfileEntry& e) {
  int32_t support = target.Support(e.property);
  if (support == VCS_no) return "not supported by this camera";
  if ((support & VCS_set) == 0) return "cannot be set on this camera";
  if (e.mode != EntryMode::kValue) {
    int32_t wanted = e.mode == EntryMode::kAuto ? VCM_Auto : VCM_Manual;
    if ((target.ModeSupport(e.property) & wanted) == 0) {
      return e.mode == EntryMode::kAuto ? "has no automatic mode on this camera"
                                        : "has no manual mode on this camera";
    }
    return std::string();
  }
  int32_t min = 0, max = 0;
  if (target.Range(e.property, &min, &max) && min <= max && (e.value < min || e.value > max)) {
    return std::to_string(e.value) + " is outside the range " + std::to_string(min) + ".." +
           std::to_string(max);
  }
  return std::string();
}

HResult Write(ProfileTarget& target, const ProfileEntry& e) {
  switch (e.mode) {
    case EntryMode::kAuto: return target.SetMode(e.property, VCM_Auto);
    case EntryMode::kManual: return target.SetMode(e.property, VCM_Manual);
    case EntryMode::kValue: break;
  }
  return target.Set(e.property, e.value);
}

// Reads a written property back and judges it.
void Verify(ProfileTarget& target, PropertyOutcome* o) {
  const ProfileEntry& e = o->entry;
  o->result = LoadResult::kApplied;
  bool hasModes = target.ModeSupport(e.property) != 0;
  int32_t mode = 0;
  if (hasModes && hr::Succeeded(target.GetMode(e.property, &mode)) &&
      (mode == VCM_Auto || mode == VCM_Manual)) {
    o->actualMode = mode;
  }
  int32_t value = 0;
  if ((target.Support(e.property) & VCS_get) != 0 &&
      hr::Succeeded(target.Get(e.property, &value))) {
    o->verified = true;
    o->actual = value;
  }
  switch (e.mode) {
    case EntryMode::kAuto:
      if (o->actualMode == VCM_Manual) o->result = LoadResult::kChanged;
      break;
    case EntryMode::kManual:
      if (o->actualMode == VCM_Auto) o->result = LoadResult::kChanged;
      break;
    case EntryMode::kValue:
      if ((o->verified && value != e.value) || o->actualMode == VCM_Auto) {
        o->result = LoadResult::kChanged;
      }
      break;
  }
}

}  // namespace

std::string HexCode(HResult hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX",
                static_cast<unsigned long>(static_cast<uint32_t>(hr)));
  return text;
}

bool IsDeviceGone(HResult hr) {
  return hr == kDeviceNotConnected || hr == kDeviceRemoved || hr == kGenFailure ||
         hr == kFileNotFound;
}

bool IsXuDeviceGone(HResult hr) { return IsDeviceGone(hr) && hr != kGenFailure; }

size_t LoadOutcome::Count(LoadResult result) const {
  size_t n = 0;
  for (const PropertyOutcome& p : properties) n += p.result == result ? 1 : 0;
  for (const NamedOutcome& p : named) n += p.result == result ? 1 : 0;
  return n;
}

size_t LoadOutcome::WriteFailures() const {
  size_t n = 0;
  for (const PropertyOutcome& p : properties) {
    n += p.result == LoadResult::kRefused && p.error != 0 ? 1 : 0;
  }
  for (const NamedOutcome& p : named) {
    n += p.result == LoadResult::kRefused && p.error != 0 ? 1 : 0;
  }
  return n;
}

LoadOutcome LoadProfile(ProfileTarget& target, const std::vector<ProfileEntry>& entries) {
  LoadOutcome outcome;
  for (const ProfileEntry& e : LoadOrder(entries)) {
    PropertyOutcome o;
    o.entry = e;
    outcome.properties.push_back(o);
  }
  // Decide everything before the first write.
  for (PropertyOutcome& o : outcome.properties) {
    o.reason = Refusal(target, o.entry);
    if (!o.reason.empty()) o.result = LoadResult::kRefused;
  }
  for (PropertyOutcome& o : outcome.properties) {
    if (o.result == LoadResult::kRefused) continue;
    HResult hr = Write(target, o.entry);
    if (IsDeviceGone(hr)) {
      outcome.vanished = true;
      outcome.vanishError = hr;
      return outcome;
    }
    if (hr::Failed(hr)) {
      o.result = LoadResult::kRefused;
      o.error = hr;
      o.reason = "the camera refused the write (" + HexCode(hr) + ")";
      continue;
    }
    o.result = LoadResult::kApplied;  // verified below
  }
  for (PropertyOutcome& o : outcome.properties) {
    if (o.result == LoadResult::kApplied) Verify(target, &o);
  }
  return outcome;
}

namespace {

// Decides, writes and reads back one named entry; false when the camera is
// gone (*o is then not reached).
bool LoadNamed(xutool::XuSource* source, NamedOutcome* o, LoadOutcome* outcome) {
  const NamedEntry& e = o->entry;
  std::string name;
  HResult h = source != nullptr ? xutool::FindNamed(*source, e.name, &name) : hr::False;
  if (h != hr::Ok && !IsXuDeviceGone(h)) {
    o->result = LoadResult::kRefused;
    std::string why = h == hr::False ? xutool::WhyNotNamed(*source, e.name) : std::string();
    o->reason = h != hr::False ? xutool::Failure("listing the named controls", h, *source)
                : why.empty()  ? "this camera has no extension-unit control of this name"
                               : why;
    return true;
  }
  xutool::NamedInfo info;
  if (h == hr::Ok) h = source->Info(name, &info);
  if (IsXuDeviceGone(h)) {
    outcome->vanished = true;
    outcome->vanishError = h;
    return false;
  }
  std::string normal;
  xutool::Answer decided;
  if (hr::Failed(h)) {
    decided = xutool::Answer::Failed(xutool::Failure("reading its facts", h, *source));
  } else if (!info.CanSet()) {
    decided = xutool::Answer::Failed("cannot be set on this camera");
  } else {
    decided = xutool::CheckValue(name, info, e.value, &normal);
  }
  if (!decided.ok()) {
    o->result = LoadResult::kRefused;
    o->reason = decided.message;
    return true;
  }
  h = source->SetNamed(name, info, normal);
  if (IsXuDeviceGone(h)) {
    outcome->vanished = true;
    outcome->vanishError = h;
    return false;
  }
  if (hr::Failed(h)) {
    o->result = LoadResult::kRefused;
    o->error = h;
    o->reason = xutool::Failure("the camera refused the write", h, *source);
    return true;
  }
  o->result = LoadResult::kApplied;
  if (info.CanGet() && hr::Succeeded(source->GetNamed(name, &o->actual))) {
    o->verified = true;
    if (!EqualNoCase(o->actual, normal)) o->result = LoadResult::kChanged;
  }
  return true;
}

}  // namespace

LoadOutcome LoadProfile(ProfileTarget& target, const Profile& profile) {
  LoadOutcome outcome = LoadProfile(target, profile.entries);
  for (const NamedEntry& e : profile.named) {
    NamedOutcome o;
    o.entry = e;
    outcome.named.push_back(o);
  }
  if (outcome.vanished) return outcome;
  for (NamedOutcome& o : outcome.named) {
    if (!LoadNamed(target.Xu(), &o, &outcome)) break;
  }
  return outcome;
}

std::vector<NamedEntry> SavedNamed(xutool::XuSource& source) {
  std::vector<NamedEntry> saved;
  for (const xutool::NamedListing& n : xutool::CollectNamed(source)) {
    if (n.info.CanGet() && n.info.CanSet() && n.valueOk) saved.push_back({n.name, n.value, 0});
  }
  return saved;
}

std::string OutcomeLine(const NamedOutcome& o) {
  std::string what = o.entry.name + " = " + o.entry.value;
  switch (o.result) {
    case LoadResult::kApplied: return "applied  " + what;
    case LoadResult::kChanged:
      return "changed  " + what + ": the camera holds " + (o.verified ? o.actual : "another value");
    case LoadResult::kRefused: return "refused  " + what + ": " + o.reason;
    case LoadResult::kNotReached: break;
  }
  return "missed   " + what + ": the camera vanished first";
}

std::string OutcomeLine(const PropertyOutcome& o) {
  std::string what = std::string(Name(o.entry.property)) + " = " + EntryValueText(o.entry);
  switch (o.result) {
    case LoadResult::kApplied: return "applied  " + what;
    case LoadResult::kChanged: {
      std::string holds;
      if (o.entry.mode == EntryMode::kValue && o.verified && o.actual != o.entry.value) {
        holds = std::to_string(o.actual);
      }
      if (o.actualMode != 0 && (o.entry.mode != EntryMode::kValue || o.actualMode == VCM_Auto)) {
        const char* mode = o.actualMode == VCM_Auto ? "auto" : "manual";
        holds = holds.empty() ? mode : holds + " (" + mode + ")";
      }
      return "changed  " + what + ": the camera holds " + (holds.empty() ? "another value" : holds);
    }
    case LoadResult::kRefused: return "refused  " + what + ": " + o.reason;
    case LoadResult::kNotReached: break;
  }
  return "missed   " + what + ": the camera vanished first";
}

std::string OutcomeSummary(const LoadOutcome& outcome) {
  std::string text = std::to_string(outcome.Count(LoadResult::kApplied)) + " applied, " +
                     std::to_string(outcome.Count(LoadResult::kChanged)) +
                     " changed by the camera, " +
                     std::to_string(outcome.Count(LoadResult::kRefused)) + " refused";
  size_t missed = outcome.Count(LoadResult::kNotReached);
  if (missed > 0) text += ", " + std::to_string(missed) + " not reached";
  return text;
}

}  // namespace lumora::cli
