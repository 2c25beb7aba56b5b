// The catalogue of the simulated device rig: the capture devices that the
// rig's system device enumerator lists, each with the simulated camera behind
// it, and a small text format that keeps the cameras' values across
// processes (for tools that run one process per command).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/types.h"
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
  // The extension units of the camera's model ("logitech", "razer",
  // "unknown"; empty: none), see MakeDeviceCamera.
  std::string xuModel;
  // The camera behind the device. Shared: every bind within a process hands
  // out a filter over this same object.
  std::shared_ptr<SimulatedCamera> camera;
  // Whether the device is plugged in (listed by the enumerator), and the
  // number of plug changes it has seen (see the plug file below).
  bool plugged = true;
  uint32_t plugGeneration = 0;
  // The number of resumes from sleep it has seen (see the plug file).
  uint32_t resumeGeneration = 0;
};

// Builds the devices of a preset: "default", "none", "ten" or "twelve" (that
// many plain cameras, all listed), "international" (two plain cameras
// whose names are not ASCII, one with a character outside the Basic
// Multilingual Plane), or "xu" (three cameras with extension units, see
// sim/rig_xu_cameras.cpp). Unknown names answer false and leave *devices empty.
// In "default", the generic camera "USB Video Device" (VID_0C45&PID_6340)
// drops a manual value written while its control is automatic.
bool MakeRigDevices(const std::string& preset, std::vector<RigDevice>* devices);

// The preset named by LUMORA_SIM_DEVICES; "default" when it is unset or empty.
std::string RigPresetFromEnvironment();

// Faults injected into the devices' controls (ControlFaults), as
// LUMORA_SIM_FAULTS gives them: entries "DEVICE:CONTROL:FAULT" separated by
// commas, where DEVICE is the device's place in the rig's list (from 1; the
// tool's own list leaves out devices it cannot use), CONTROL
// "procamp/ID", "camera/ID" or "private/ID" (an id of the device's private
// set), and FAULT "ignore-writes", "zero-step", "default-outside",
// "fail-reads", "wide-range", "keep-outside", "silent-reads" (a read that
// succeeds without writing its outputs) or "fail-writes" (see ControlFaults).
// Extension units: CONTROL "xu/UNIT.SELECTOR" (UNIT the unit's bUnitID) with
// FAULT "stall", "timeout", "unsupported-id", "unsupported-set",
// "length-changes" or "short-reply" (see XuFaults), and CONTROL "xu/UNIT"
// with FAULT "no-set-list" (the unit's node does not list its GUID). All or
// nothing: a malformed entry, or one naming a device or control that does not exist,
// changes nothing and answers false. An empty text answers true.
bool ApplyRigFaults(const std::string& text, const std::vector<RigDevice>& devices);

// The value of LUMORA_SIM_FAULTS; empty when it is unset.
std::string RigFaultsFromEnvironment();

// The camera of a device whose VID/PID table entry names this private set:
// the family preset whose driver answers it (for 63B8CCB6, the SAA8116
// preset). A plain camera for the null GUID or an unknown set.
std::shared_ptr<SimulatedCamera> MakeRigCamera(const Guid& privateSet);

// A new camera of a device's model: MakeRigCamera's, with the extension
// units its xuModel names. The cameras of the "xu" preset.
std::shared_ptr<SimulatedCamera> MakeDeviceCamera(const RigDevice& device);
std::vector<RigDevice> ExtensionUnitDevices();

// --- plugging ---------------------------------------------------------------
//
// The plug file, written by "scripts/sim-rig plug|unplug" and only read by
// the rig, says which devices are unplugged. One line per device that was
// ever unplugged: its state, the number of plug changes so far, and its key
// (a serial or a display name, matched without regard to case; a serial
// that several devices share names all of them):
//
//   lumora-sim-plug 1
//   unplugged 1 2a4c6e8
//   plugged 2 @device:pnp:\\?\usb#vid_0471&pid_0308#...\global
//   resumed 3 2a4c6e8
//
// A "resumed" line counts the resumes from sleep of a device (written by
// "scripts/sim-rig resume"): like many real cameras it lost power and is
// back with its default values, without ever leaving the device list.
struct PlugEntry {
  bool plugged = true;
  bool resume = false;  // a "resumed" line: generation counts resumes
  uint32_t generation = 0;
  std::string key;
};

// Parses a plug file; false (and *entries untouched) for a malformed text.
bool ParsePlugState(const std::string& text, std::vector<PlugEntry>* entries);

// Brings the devices to the plug file's state. A device whose generation
// differs from its entry's takes the entry's state and generation; its old
// camera is cut off (it answers every call as a removed device does) and,
// when the device is plugged again, a fresh camera with default values
// takes its place, as a real camera forgets its settings without power.
// A device whose resume count differs from its "resumed" entry's keeps its
// camera (still connected, its faults kept), whose values go back to the
// defaults. Answers true when any device changed.
bool ApplyPlugState(const std::vector<PlugEntry>& entries, std::vector<RigDevice>* devices);

// --- saved state -----------------------------------------------------------
//
// The standard controls (value and flags), the video-control mode and every
// private property value of each device, keyed by display name:
//
//   lumora-sim-state 1
//   device @device:pnp:\\?\usb#vid_0471&pid_0308#...\global
//   plug 2                    (the device's plug generation, when not 0)
//   resume 1                  (the device's resume count, when not 0)
//   procamp 0 128 2
//   camera 4 -6 1
//   videomode 0
//   private 35dbc300-f98f-11d2-afd0-00104b13eaf2 1 3
//   end
std::string FormatRigState(const std::vector<RigDevice>& devices);

// Applies a saved state to the devices. All or nothing: a text that is
// malformed, truncated (no "end"), names an unknown device, control, set or
// property, or holds a value outside a control's range changes nothing and
// answers false. The values of a device saved under another plug generation
// or resume count than the device has now are left out: they belong to a
// camera that has since been unplugged or lost power.
bool ApplyRigState(const std::string& text, const std::vector<RigDevice>& devices);

// File forms of the two above. Loading a missing or bad file answers false
// and changes nothing. Saving writes a neighbouring temporary file first and
// then replaces the target, so a reader never sees half a file.
bool LoadRigStateFile(const std::string& path, const std::vector<RigDevice>& devices);
// *written (when given) receives the text written.
bool SaveRigStateFile(const std::string& path, const std::vector<RigDevice>& devices,
                      std::string* written = nullptr);

// A small text file read whole (at most 1 MiB); false when it cannot be read.
bool ReadSmallFile(const std::string& path, std::string* text);

}  // namespace lumora::sim
