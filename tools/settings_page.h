// What the Lumora Settings window decides, apart from drawing it (portable):
// how a slider's positions map to a control's values, which controls a
// person sees and in which group, the words of its status line, and where a
// kept camera's profile lives and how the watch is asked to keep it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/types.h"
#include "property/catalogue.h"
#include "tools/profile.h"

namespace lumora::settings {

// The values a control takes: min, min + step, ... up to max (max itself
// always, even where the steps do not reach it exactly). A step of 0 or less
// counts as 1; a range with max below min holds min alone.
class SliderScale {
 public:
  SliderScale(int32_t min, int32_t max, int32_t step);
  // Slider positions 0..Positions().
  int32_t Positions() const { return positions_; }
  int32_t ValueAt(int32_t position) const;
  // The nearest position of a value (clamped to the range).
  int32_t PositionOf(int32_t value) const;
  // The nearest value the control takes (clamped, on the step grid).
  int32_t Snap(int32_t value) const { return ValueAt(PositionOf(value)); }

 private:
  int32_t min_, max_, step_, positions_;
};

// How a row shows its control.
enum class RowStyle { kSlider, kSwitch, kMenu };

// A switch where the range is exactly 0..1, else a slider (menus come only
// from named extension-unit controls, which say so).
RowStyle StyleOf(int32_t min, int32_t max);

// Whether the settings page shows a catalogue property as a row of its own:
// a setting or an automatic switch (not an action, trigger or read-only
// report) that the camera can both read and set.
bool ShowsRow(int32_t property, int32_t support);

// The group captions, in the page's order; the extension-unit group last.
enum class Group { kImage, kCamera, kVendor, kExtension };
const char* GroupCaption(Group group);
Group GroupOf(catalogue::Group group);

// The status line after a failed write, read or mode switch of a control:
// "Brightness: the camera refused the value (0x8007001F)". `action` is what
// was tried ("set 17", "switch to automatic", "reset").
std::string FailureText(const std::string& control, const std::string& action, HResult hr);

// The message of an unplugged camera and of its return.
std::string UnpluggedText(const std::string& camera);
std::string ReturnedText(const std::string& camera);

// The file name (no folder) of a kept camera's profile: the camera's name
// made safe for a file name, then its serial where it has one, else a short
// hash of its device path: "Philips ToUcam Pro Camera 2a4c6e8.profile".
std::string KeptProfileName(const cli::CameraIdentity& camera);

// The lumora tool's arguments that keep the given profiles: the start-up
// entry with the guard ("watch --install --guard P..."), the watch itself
// ("watch --guard P..."), and with no profile left the removal of the
// start-up entry ("watch --uninstall").
std::vector<std::string> WatchInstallArguments(const std::vector<std::string>& profiles);
std::vector<std::string> WatchRunArguments(const std::vector<std::string>& profiles);

}  // namespace lumora::settings
