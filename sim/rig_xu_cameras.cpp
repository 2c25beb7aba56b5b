// The rig's cameras with extension units (the "xu" preset): the units sit on
// nodes whose ids differ from the units' own ids, as on real cameras.
//
//   "Logitech BRIO"   LED (User HW Control v1, unit 4, node 2), field of view
//                     (BRIO unit, unit 6, node 3), pan/tilt and focus motors
//                     (Motor Control v1, unit 9, node 4)
//   "Razer Kiyo Pro"  the command-style ISP unit (unit 3, node 2): an 8-byte
//                     command on selector 1, its 8-byte result on selector 2
//                     (read-only)
//   "USB Camera"      a unit no definition knows (unit 5, node 2), which lists
//                     its set in answer to a null-set SETSUPPORT request:
//                     selectors 1 (2 bytes), 2 (46 bytes, no default), a gap,
//                     4 (4 bytes, read-only)
// Lengths, selectors and meanings of the known units are those the public
// sources give (see xu/definitions/ for the sources).
#include "sim/rig_devices.h"

namespace lumora::sim {

namespace {

constexpr Guid kLogitechUserHw = Guid::Parse("63610682-5070-49AB-B8CC-B3855E8D221F");
constexpr Guid kLogitechMotor = Guid::Parse("63610682-5070-49AB-B8CC-B3855E8D2256");
constexpr Guid kLogitechBrio = Guid::Parse("49E40215-F434-47FE-B158-0E885023E51B");
constexpr Guid kRazerIsp = Guid::Parse("23E49ED0-1178-4F31-AE52-D2FB8A8D3B48");
// A vendor unit that no definition file names.
constexpr Guid kUnknownUnit = Guid::Parse("A7C3E1F0-5B2D-4E8A-9F61-3D0C2B4A5E97");

constexpr uint8_t kGetOnly = kInfoGet;

void AddLogitech(SimulatedCamera& cam) {
  XuUnit& led = cam.AddExtensionUnit(kLogitechUserHw, 4);
  // LED1: mode in byte 0 (0 off, 1 on, 2 blink, 3 auto), frequency in byte 2.
  XuControl& led1 = led.controls[1] = MakeXuControl(3, 0);
  led1.current = led1.defaultValue = {3, 0, 10};
  led1.maximum = {3, 0, 255};
  led1.minimum = {0, 0, 1};

  XuUnit& brio = cam.AddExtensionUnit(kLogitechBrio, 6);
  // Field of view: 0 = 90 degrees, 1 = 78, 2 = 65.
  XuControl& fov = brio.controls[5] = MakeXuControl(1, 0);
  fov.maximum = {2};

  XuUnit& motor = cam.AddExtensionUnit(kLogitechMotor, 9);
  motor.controls[1] = MakeXuControl(4, 0);  // pan/tilt relative, 1/64 degree
  motor.controls[2] = MakeXuControl(1, 0);  // reset
  XuControl& focus = motor.controls[3] = MakeXuControl(6, 0);
  focus.current[0] = focus.defaultValue[0] = 128;
}

void AddRazer(SimulatedCamera& cam) {
  XuUnit& isp = cam.AddExtensionUnit(kRazerIsp, 3);
  isp.controls[1] = MakeXuControl(8, 0);
  isp.controls[2] = MakeXuControl(8, 0, kGetOnly);
}

void AddUnknown(SimulatedCamera& cam) {
  XuUnit& unit = cam.AddExtensionUnit(kUnknownUnit, 5);
  unit.listsSets = true;
  unit.controls[1] = MakeXuControl(2, 0x10);
  XuControl& block = unit.controls[2] = MakeXuControl(46, 0);
  for (size_t i = 0; i < block.current.size(); ++i) block.current[i] = static_cast<uint8_t>(i);
  block.hasDefault = false;
  unit.controls[4] = MakeXuControl(4, 0x2a, kGetOnly);
}

struct XuRow {
  const char* model;
  void (*add)(SimulatedCamera&);
};
constexpr XuRow kModels[] = {
    {"logitech", AddLogitech},
    {"razer", AddRazer},
    {"unknown", AddUnknown},
};

}  // namespace

std::shared_ptr<SimulatedCamera> MakeDeviceCamera(const RigDevice& device) {
  std::shared_ptr<SimulatedCamera> cam = MakeRigCamera(device.privateSet);
  for (const XuRow& row : kModels) {
    if (device.xuModel == row.model) row.add(*cam);
  }
  return cam;
}

std::vector<RigDevice> ExtensionUnitDevices() {
  static const struct {
    const char* name;
    const char* vidPid;
    const char* serial;
    const char* model;
  } kRows[] = {
      {"Logitech BRIO", "VID_046D&PID_085E", "6a1b2c3", "logitech"},
      {"Razer Kiyo Pro", "VID_1532&PID_0E05", "6b2c3d4", "razer"},
      {"USB Camera", "VID_2BD9&PID_0011", "6c3d4e5", "unknown"},
  };
  std::vector<RigDevice> out;
  for (const auto& row : kRows) {
    RigDevice d;
    std::string vid = std::string(row.vidPid).substr(4, 4);
    std::string pid = std::string(row.vidPid).substr(13, 4);
    for (std::string* s : {&vid, &pid}) {
      for (char& ch : *s) ch = static_cast<char>(ch >= 'A' && ch <= 'F' ? ch - 'A' + 'a' : ch);
    }
    d.displayName = R"(@device:pnp:\\?\usb#vid_)" + vid + "&pid_" + pid + "&mi_00#7&" + row.serial +
                    "&0&0000#" + kCaptureInterfaceClass + R"(\global)";
    d.friendlyName = row.name;
    d.vidPid = row.vidPid;
    d.serial = row.serial;
    d.xuModel = row.model;
    d.camera = MakeDeviceCamera(d);
    out.push_back(std::move(d));
  }
  return out;
}

}  // namespace lumora::sim
