// The catalogue of the simulated device rig: the capture devices that the
// rig's system device enumerator lists, each with the simulated camera behind
// it, and a small text format that keeps the cameras' values across
// processes (for tools that run one process per command).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "property/types.h"
#include "sim/simulated_camera.h"

namespace lumora::sim {

// The interface class of capture device paths (KSCATEGORY_CAPTURE), as it
// appears in display names.
constexpr const char* kCaptureInterfaceClass = "{65e8773d-8f56-11d0-a3b9-00a0c9223196}";

struct RigDevice {
  // Moniker display name, e.g.
  // "@device:pnp:\\?\usb#vid_0471&pid_0329&mi_00#7&1f1f0d8&0&0000#{65e8...}\global".
  std::string displayName;
  // Property bag value "FriendlyName"; absent when hasFriendlyName is false.
  bool hasFriendlyName = true;
  std::string friendlyName;
  // What a reader of the device path takes from it: the upper-case
  // VID/PID token (at most 17 characters) and the serial token (the sixth
  // "#"/"&" token). Empty for an entry that is not plug-and-play.
  std::string vidPid;
  std::string serial;
  // The private property set that the VID/PID table names for this device;
  // null when the device has none.
  Guid privateSet;
  // The camera behind the device. Shared: every bind within a process hands
  // out a filter over this same object.
  std::shared_ptr<SimulatedCamera> camera;
};

// Builds the devices of a preset: "default", "none", "ten" or "twelve" (that
// many plain cameras, all listed). Unknown names answer false and leave
// *devices empty.
bool MakeRigDevices(const std::string& preset, std::vector<RigDevice>* devices);

// The preset named by LUMORA_SIM_DEVICES; "default" when it is unset or empty.
std::string RigPresetFromEnvironment();

// The camera of a device whose VID/PID table entry names this private set:
// the family preset whose driver answers it (for 63B8CCB6, the SAA8116
// preset). A plain camera for the null GUID or an unknown set.
std::shared_ptr<SimulatedCamera> MakeRigCamera(const Guid& privateSet);

// --- saved state -----------------------------------------------------------
//
// The standard controls (value and flags), the video-control mode and every
// private property value of each device, keyed by display name:
//
//   lumora-sim-state 1
//   device @device:pnp:\\?\usb#vid_0471&pid_0308#...\global
//   procamp 0 128 2
//   camera 4 -6 1
//   videomode 0
//   private 35dbc300-f98f-11d2-afd0-00104b13eaf2 1 3
//   end
std::string FormatRigState(const std::vector<RigDevice>& devices);

// Applies a saved state to the devices. All or nothing: a text that is
// malformed, truncated (no "end"), names an unknown device, control, set or
// property, or holds a value outside a control's range changes nothing and
// answers false.
bool ApplyRigState(const std::string& text, const std::vector<RigDevice>& devices);

// File forms of the two above. Loading a missing or bad file answers false
// and changes nothing. Saving writes a neighbouring temporary file first and
// then replaces the target, so a reader never sees half a file.
bool LoadRigStateFile(const std::string& path, const std::vector<RigDevice>& devices);
bool SaveRigStateFile(const std::string& path, const std::vector<RigDevice>& devices);

}  // namespace lumora::sim
