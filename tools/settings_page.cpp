// What the Lumora Settings window decides (portable).
#include "tools/settings_page.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/text.h"
#include "tools/profile_load.h"

namespace lumora::settings {

SliderScale::SliderScale(int32_t min, int32_t max, int32_t step)
    : min_(min), max_(std::max(min, max)), step_(step > 0 ? step : 1) {
  const int64_t span = static_cast<int64_t>(max_) - min_;
  int64_t positions = span / step_;
  // The maximum is a position of its own where the steps fall short of it.
  if (positions * step_ < span) ++positions;
  positions_ = static_cast<int32_t>(std::min<int64_t>(positions, INT32_MAX));
}

int32_t SliderScale::ValueAt(int32_t position) const {
  position = std::clamp(position, 0, positions_);
  const int64_t value = static_cast<int64_t>(min_) + static_cast<int64_t>(position) * step_;
  return static_cast<int32_t>(std::min<int64_t>(value, max_));
}

int32_t SliderScale::PositionOf(int32_t value) const {
  if (value <= min_) return 0;
  if (value >= max_) return positions_;
  const int64_t offset = static_cast<int64_t>(value) - min_;
  int64_t position = (offset + step_ / 2) / step_;
  // Past the last full step only the maximum remains: the nearer of the two.
  if (position >= positions_) {
    const int64_t lastStep = static_cast<int64_t>(positions_ - 1) * step_;
    const int64_t span = static_cast<int64_t>(max_) - min_;
    position = offset - lastStep < span - offset ? positions_ - 1 : positions_;
  }
  return static_cast<int32_t>(position);
}

RowStyle StyleOf(int32_t min, int32_t max) {
  return min == 0 && max == 1 ? RowStyle::kSwitch : RowStyle::kSlider;
}

bool ShowsRow(int32_t property, int32_t support) {
  const catalogue::Kind kind = catalogue::KindOf(property);
  if (kind != catalogue::Kind::kSetting && kind != catalogue::Kind::kAuto) return false;
  return catalogue::Find(property) != nullptr && (support & VCS_both) == VCS_both;
}

const char* GroupCaption(Group group) {
  switch (group) {
    case Group::kImage: return "Image";
    case Group::kCamera: return "Camera";
    case Group::kVendor: return "Vendor controls";
    case Group::kExtension: return "Extension units";
  }
  return "";
}

Group GroupOf(catalogue::Group group) {
  switch (group) {
    case catalogue::Group::kCamera: return Group::kCamera;
    case catalogue::Group::kVendor: return Group::kVendor;
    default: return Group::kImage;
  }
}

std::string FailureText(const std::string& control, const std::string& action, HResult hr) {
  std::string reason;
  if (hr == hr::InvalidArg) {
    reason = "the camera does not take this value";
  } else if (cli::IsDeviceGone(hr)) {
    reason = "the camera failed the request";
  } else if (hr == hr::NotImpl || hr == hr::NoInterface) {
    reason = "the camera does not offer this";
  } else {
    reason = "the request failed";
  }
  return control + ": cannot " + action + ": " + reason + " (" + cli::HexCode(hr) + ")";
}

std::string UnpluggedText(const std::string& camera) {
  return camera + " is unplugged; its settings come back when it returns.";
}

std::string ReturnedText(const std::string& camera) { return camera + " is back."; }

std::string KeptProfileName(const cli::CameraIdentity& camera) {
  std::string name;
  for (char c : camera.name) {
    const unsigned char u = static_cast<unsigned char>(c);
    // Characters that no file name may hold on Windows, and control codes.
    const bool bad = u < 0x20 || std::string("<>:\"/\\|?*").find(c) != std::string::npos;
    name += bad ? '_' : c;
  }
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  if (name.empty()) name = "Camera";
  std::string tag;
  for (char c : camera.serial) {
    if (std::isalnum(static_cast<unsigned char>(c))) tag += c;
  }
  if (tag.empty() || tag == "0") {
    // The device path's hash (compared without case, as paths are).
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(HashNoCase(camera.devicePath)));
    tag = text;
  }
  return name + " " + tag + ".profile";
}

std::vector<std::string> WatchInstallArguments(const std::vector<std::string>& profiles) {
  if (profiles.empty()) return {"watch", "--uninstall"};
  std::vector<std::string> args = {"watch", "--install", "--guard"};
  args.insert(args.end(), profiles.begin(), profiles.end());
  return args;
}

std::vector<std::string> WatchRunArguments(const std::vector<std::string>& profiles) {
  std::vector<std::string> args = {"watch", "--guard"};
  args.insert(args.end(), profiles.begin(), profiles.end());
  return args;
}

}  // namespace lumora::settings
