#include "sim/rig_devices.h"

#include <cstdio>
#include <cstdlib>

#include "sim/families.h"

namespace lumora::sim {

namespace {

// The default devices in enumeration order. Display names are written as
// they appear on a real system; vidPid and serial are what the device path
// yields. The set is the one the VID/PID table names for the device.
struct DeviceRow {
  const char* displayName;
  const char* friendlyName;  // null: the bag has no "FriendlyName"
  const char* vidPid;
  const char* serial;
  Guid privateSet;  // the null GUID: no private set
};

constexpr DeviceRow kDefaultDevices[] = {
    {R"(@device:pnp:\\?\usb#vid_0471&pid_0308#5&1a2b3c4&0&1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Philips Vesta Pro Camera", "VID_0471&PID_0308", "0", kSetSaa8112},
    {R"(@device:pnp:\\?\usb#vid_0471&pid_0311&mi_00#7&2a4c6e8&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Philips ToUcam Pro Camera", "VID_0471&PID_0311", "2a4c6e8", kSetSaa8116},
    {R"(@device:pnp:\\?\usb#vid_0471&pid_0311&mi_00#7&3b5d7f9&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Philips ToUcam Pro Camera", "VID_0471&PID_0311", "3b5d7f9", kSetSaa8116},
    {R"(@device:pnp:\\?\usb#vid_0471&pid_0329&mi_00#7&1f1f0d8&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Philips SPC 900NC PC Camera", "VID_0471&PID_0329", "1f1f0d8", kSetSaa8116Alias},
    {R"(@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\{4A2E8B5C-0F1D-4E3A-9B6C-7D5E2F1A3C90})",
     "Video for Windows Capture", "", "", kNullGuid},
    {R"(@device:pnp:\\?\usb#vid_046d&pid_08b2#5&2b1ac4a&0&1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Logitech QuickCam Pro 4000", "VID_046D&PID_08B2", "0", kSetSaa8116Logitech},
    {R"(@device:pnp:\\?\usb#vid_046d&pid_08c2&mi_00#7&9c3d2e1&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Logitech QuickCam Fusion", "VID_046D&PID_08C2", "9c3d2e1", kSetLogiFusion},
    {R"(@device:pnp:\\?\usb#vid_0ac8&pid_301b#5&3e7a9b2&0&4#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     nullptr, "VID_0AC8&PID_301B", "0", kNullGuid},
    {R"(@device:pnp:\\?\usb#vid_041e&pid_4011#5&1c8e4f0&0&2#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Creative WebCam Pro eX", "VID_041E&PID_4011", "0", kSetSaa8116Creative},
    {R"(@device:pnp:\\?\usb#vid_041e&pid_403c&mi_00#7&5f2a8c3&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Creative Live! Cam Ultra", "VID_041E&PID_403C", "5f2a8c3", kSetCreaLiveUltra},
    {R"(@device:pnp:\\?\usb#vid_0c45&pid_6340#6&12d4b1a&2&3#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "USB Video Device", "VID_0C45&PID_6340", "2", kNullGuid},
};

constexpr const char* kKeepsAutoValueDevice = "VID_0C45&PID_6340";

RigDevice FromRow(const DeviceRow& row) {
  RigDevice d;
  d.displayName = row.displayName;
  d.hasFriendlyName = row.friendlyName != nullptr;
  d.friendlyName = row.friendlyName != nullptr ? row.friendlyName : "";
  d.vidPid = row.vidPid;
  d.serial = row.serial;
  d.privateSet = row.privateSet;
  d.camera = MakeRigCamera(d.privateSet);
  return d;
}

// Twelve plain cameras of one model, told apart by name and serial.
// `count` plain cameras with distinct serials.
std::vector<RigDevice> PlainDevices(int count) {
  std::vector<RigDevice> out;
  for (int n = 1; n <= count; ++n) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "%x", 0x4c1e200 + n);
    RigDevice d;
    d.displayName = std::string(R"(@device:pnp:\\?\usb#vid_0c45&pid_6340&mi_00#7&)") + serial +
                    "&0&0000#" + kCaptureInterfaceClass + R"(\global)";
    d.friendlyName = "Simulated Camera " + std::to_string(n);
    d.vidPid = "VID_0C45&PID_6340";
    d.serial = serial;
    d.camera = MakeRigCamera(Guid{});
    out.push_back(std::move(d));
  }
  return out;
}

// Plain cameras with names from other scripts, as drivers of localised
// systems report them (UTF-8 here).
std::vector<RigDevice> InternationalDevices() {
  static const struct {
    const char* name;
    const char* serial;
  } kRows[] = {
      {"Caméra intégrée «Ünïcødé» 日本語", "8d1e0a1"},
      {"Webcam \xF0\x9F\x93\xB7 Ελληνικά", "8d1e0a2"},
  };
  std::vector<RigDevice> out;
  for (const auto& row : kRows) {
    RigDevice d;
    d.displayName = std::string(R"(@device:pnp:\\?\usb#vid_0c45&pid_6366&mi_00#7&)") + row.serial +
                    "&0&0000#" + kCaptureInterfaceClass + R"(\global)";
    d.friendlyName = row.name;
    d.vidPid = "VID_0C45&PID_6366";
    d.serial = row.serial;
    d.camera = MakeRigCamera(Guid{});
    out.push_back(std::move(d));
  }
  return out;
}

}  // namespace

std::shared_ptr<SimulatedCamera> MakeRigCamera(const Guid& privateSet) {
  // The driver of the VID_0471&PID_0329 camera answers the SAA8116 set; its
  // own 63B8CCB6 set is only the name the VID/PID table gives it.
  static const struct {
    Guid set;
    Family family;
  } kFamilies[] = {
      {kSetSaa8112, Family::Saa8112},
      {kSetSaa8116, Family::Saa8116},
      {kSetSaa8116Alias, Family::Saa8116},
      {kSetSaa8116Creative, Family::Saa8116Creative},
      {kSetSaa8116Logitech, Family::Saa8116Logitech},
      {kSetCreaLiveUltra, Family::CreaLiveUltra},
      {kSetLogiFusion, Family::LogiFusion},
  };
  std::shared_ptr<SimulatedCamera> cam = SimulatedCamera::Create();
  for (const auto& row : kFamilies) {
    if (row.set == privateSet) cam = MakeFamilyCamera(row.family);
  }
  // Like real drivers, the rig's cameras refuse values outside their ranges.
  cam->privateRangeChecks = true;
  return cam;
}

bool MakeRigDevices(const std::string& preset, std::vector<RigDevice>* devices) {
  devices->clear();
  if (preset == "default") {
    for (const DeviceRow& row : kDefaultDevices) devices->push_back(FromRow(row));
    // The generic UVC camera behaves like many real ones: a manual value
    // written while its control is automatic is dropped.
    for (RigDevice& d : *devices) {
      if (d.vidPid == kKeepsAutoValueDevice) d.camera->keepsAutoValueOnManualWrite = true;
    }
    return true;
  }
  if (preset == "none") return true;
  if (preset == "twelve" || preset == "ten") {
    *devices = PlainDevices(preset == "ten" ? 10 : 12);
    return true;
  }
  if (preset == "xu") {
    *devices = ExtensionUnitDevices();
    return true;
  }
  if (preset == "international") {
    *devices = InternationalDevices();
    return true;
  }
  return false;
}

std::string RigPresetFromEnvironment() {
  const char* value = std::getenv("LUMORA_SIM_DEVICES");
  return value != nullptr && *value != '\0' ? value : "default";
}

}  // namespace lumora::sim
