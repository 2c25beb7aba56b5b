// The simulated device rig's catalogue and its saved-state format.
#include "sim/rig_devices.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "enumeration/device_path.h"
#include "property/property_blocks.h"
#include "sim/families.h"

namespace lumora::sim {
namespace {

std::u16string Utf16(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

bool IsPnp(const RigDevice& d) { return d.displayName.find("@device:pnp:") != std::string::npos; }

std::vector<RigDevice> Devices(const std::string& preset) {
  std::vector<RigDevice> devices;
  EXPECT_TRUE(MakeRigDevices(preset, &devices)) << preset;
  return devices;
}

// The VID/PID and serial each catalogue entry states are what the
// descriptor's path splitting really takes from its display name.
TEST(RigCatalogue, StatedTokensAreWhatThePathYields) {
  for (const char* preset : {"default", "twelve"}) {
    for (const RigDevice& d : Devices(preset)) {
      SCOPED_TRACE(d.displayName);
      if (!IsPnp(d)) continue;
      DevicePathTokens t = SplitDevicePath(Utf16(d.displayName));
      ASSERT_TRUE(t.vidPid.has_value());
      ASSERT_TRUE(t.serial.has_value());
      EXPECT_EQ(*t.vidPid, Utf16(d.vidPid));
      EXPECT_EQ(*t.serial, Utf16(d.serial));
    }
  }
}

TEST(RigCatalogue, DefaultDevicesInOrder) {
  struct Expected {
    const char* friendlyName;  // "" for a device without one
    const char* vidPid;
    const char* serial;
    const char* privateSet;  // "" for none
    bool pnp;
  };
  const Expected expected[] = {
      {"Philips Vesta Pro Camera", "VID_0471&PID_0308", "0", "35dbc300-f98f-11d2-afd0-00104b13eaf2",
       true},
      {"Philips ToUcam Pro Camera", "VID_0471&PID_0311", "2a4c6e8",
       "1b3c6c20-cce8-11d3-a59b-00104b13eaf2", true},
      {"Philips ToUcam Pro Camera", "VID_0471&PID_0311", "3b5d7f9",
       "1b3c6c20-cce8-11d3-a59b-00104b13eaf2", true},
      {"Philips SPC 900NC PC Camera", "VID_0471&PID_0329", "1f1f0d8",
       "63b8ccb6-015f-4b1d-aad3-d4158aa1a9e3", true},
      {"Video for Windows Capture", "", "", "", false},
      {"Logitech QuickCam Pro 4000", "VID_046D&PID_08B2", "0",
       "f83865c0-92c3-11d3-b41e-0010dc973bdb", true},
      {"Logitech QuickCam Fusion", "VID_046D&PID_08C2", "9c3d2e1",
       "22ca01a0-cd31-11d0-8b18-00aa00cf90f9", true},
      {"", "VID_0AC8&PID_301B", "0", "", true},
      {"Creative WebCam Pro eX", "VID_041E&PID_4011", "0", "869e8c6f-0d84-420f-b44e-7bfbee74d6cf",
       true},
      {"Creative Live! Cam Ultra", "VID_041E&PID_403C", "5f2a8c3",
       "5a403423-5667-4ec4-8573-7b88ccdc11cf", true},
      {"USB Video Device", "VID_0C45&PID_6340", "2", "", true},
  };
  std::vector<RigDevice> devices = Devices("default");
  ASSERT_EQ(devices.size(), std::size(expected));
  for (size_t i = 0; i < devices.size(); ++i) {
    SCOPED_TRACE(i);
    const RigDevice& d = devices[i];
    const Expected& e = expected[i];
    EXPECT_EQ(d.hasFriendlyName, *e.friendlyName != '\0');
    EXPECT_EQ(d.friendlyName, e.friendlyName);
    EXPECT_EQ(d.vidPid, e.vidPid);
    EXPECT_EQ(d.serial, e.serial);
    EXPECT_EQ(d.privateSet.IsNull() ? "" : d.privateSet.ToString(), e.privateSet);
    EXPECT_EQ(IsPnp(d), e.pnp);
    ASSERT_NE(d.camera, nullptr);
    if (e.pnp) {
      EXPECT_EQ(d.displayName.rfind(R"(@device:pnp:\\?\usb#)", 0), 0u);
      EXPECT_NE(d.displayName.find(std::string("#") + kCaptureInterfaceClass + R"(\global)"),
                std::string::npos);
    }
  }
  EXPECT_EQ(
      devices[3].displayName,
      R"(@device:pnp:\\?\usb#vid_0471&pid_0329&mi_00#7&1f1f0d8&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)");
  EXPECT_EQ(
      devices[5].displayName,
      R"(@device:pnp:\\?\usb#vid_046d&pid_08b2#5&2b1ac4a&0&1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)");
}

// Each camera speaks the private set its driver family answers.
TEST(RigCatalogue, CamerasOfTheirFamilies) {
  const Guid kVidPidSet0329 = Guid::Parse("63B8CCB6-015F-4B1D-AAD3-D4158AA1A9E3");
  for (const RigDevice& d : Devices("default")) {
    SCOPED_TRACE(d.displayName);
    if (d.privateSet.IsNull()) {
      EXPECT_TRUE(d.camera->privateSets.empty());
      continue;
    }
    Guid answered = d.privateSet == kVidPidSet0329 ? kSetSaa8116 : d.privateSet;
    EXPECT_NE(d.camera->FindPrivateSet(answered), nullptr);
    EXPECT_EQ(d.camera->privateSets.size(), 1u);
  }
  for (const RigDevice& d : Devices("twelve")) EXPECT_TRUE(d.camera->privateSets.empty());
}

TEST(RigCatalogue, DefaultSetShape) {
  std::vector<RigDevice> devices = Devices("default");
  std::set<std::string> names;
  std::set<const SimulatedCamera*> cameras;
  size_t listed = 0;
  for (const RigDevice& d : devices) {
    names.insert(d.displayName);
    cameras.insert(d.camera.get());
    if (IsPnp(d) && d.hasFriendlyName) ++listed;
  }
  EXPECT_EQ(names.size(), devices.size()) << "display names are unique";
  EXPECT_EQ(cameras.size(), devices.size()) << "every device has its own camera";
  // Devices a filter enumerator takes; up to nine keep generated keys in
  // enumeration order.
  EXPECT_EQ(listed, 9u);
}

TEST(RigCatalogue, OtherPresets) {
  EXPECT_TRUE(Devices("none").empty());
  std::vector<RigDevice> twelve = Devices("twelve");
  ASSERT_EQ(twelve.size(), 12u);
  std::set<std::string> serials;
  for (size_t i = 0; i < twelve.size(); ++i) {
    EXPECT_EQ(twelve[i].friendlyName, "Simulated Camera " + std::to_string(i + 1));
    EXPECT_TRUE(IsPnp(twelve[i]));
    serials.insert(twelve[i].serial);
  }
  EXPECT_EQ(serials.size(), 12u);
  // "ten": the first ten of those.
  std::vector<RigDevice> ten = Devices("ten");
  ASSERT_EQ(ten.size(), 10u);
  for (size_t i = 0; i < ten.size(); ++i) EXPECT_EQ(ten[i].displayName, twelve[i].displayName);

  std::vector<RigDevice> devices(1);
  EXPECT_FALSE(MakeRigDevices("Default", &devices));
  EXPECT_TRUE(devices.empty());
}

// --- write notification ---------------------------------------------------------

TEST(RigCamera, NotifiesAcceptedWritesOnly) {
  auto cam = SimulatedCamera::Create();
  Guid set = Guid::Parse("35DBC300-F98F-11D2-AFD0-00104B13EAF2");
  cam->AddPrivateSet(set, 28, 296).properties[1] = PrivateProperty{};
  int writes = 0;
  cam->onWrite = [&] { ++writes; };

  int32_t v, f;
  EXPECT_EQ(cam->ControlGet(false, 0, &v, &f), hr::Ok);
  EXPECT_EQ(writes, 0);
  EXPECT_EQ(cam->ControlSet(false, 0, 300, 2), hr::InvalidArg);  // out of range
  EXPECT_EQ(writes, 0);
  EXPECT_EQ(cam->ControlSet(false, 0, 200, 2), hr::Ok);
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(cam->ControlSet(true, 4, -7, 2), hr::Ok);
  EXPECT_EQ(writes, 2);
  EXPECT_EQ(cam->VideoSetMode(3), hr::Ok);
  EXPECT_EQ(writes, 3);

  uint8_t property[24] = {};
  std::memcpy(property, &set, 16);
  uint32_t id = 1, flags = sim::ks::kTypeGet;
  std::memcpy(property + 16, &id, 4);
  std::memcpy(property + 20, &flags, 4);
  uint8_t data[296] = {};
  uint32_t returned = 0;
  EXPECT_EQ(cam->KsProperty(property, 24, data, sizeof data, &returned), hr::Ok);
  EXPECT_EQ(writes, 3);
  flags = sim::ks::kTypeSet;
  std::memcpy(property + 20, &flags, 4);
  int32_t value = 9;
  std::memcpy(data + 28, &value, 4);
  EXPECT_EQ(cam->KsProperty(property, 24, data, sizeof data, &returned), hr::Ok);
  EXPECT_EQ(writes, 4);
  EXPECT_EQ(cam->FindPrivateSet(set)->properties[1].value, 9);
  cam->failures[Op::KsProperty] = hr::Fail;
  EXPECT_EQ(cam->KsProperty(property, 24, data, sizeof data, &returned), hr::Fail);
  EXPECT_EQ(writes, 4);
}

// --- saved state -----------------------------------------------------------------

const Guid kTestSet = Guid::Parse("1B3C6C20-CCE8-11D3-A59B-00104B13EAF2");

// Two devices whose cameras have a private set, so every kind of line is used.
std::vector<RigDevice> StateDevices() {
  std::vector<RigDevice> devices(2);
  devices[0].displayName = R"(@device:pnp:\\?\usb#vid_0c45&pid_6340#6&12d4b1a&2&3#{x}\global)";
  devices[1].displayName = R"(@device:pnp:\\?\usb#vid_0c45&pid_6340#6&12d4b1a&3&4#{x}\global)";
  for (RigDevice& d : devices) {
    d.camera = SimulatedCamera::Create();
    PrivateSet& s = d.camera->AddPrivateSet(kTestSet, 28, 296);
    s.properties[3].value = 1;
    s.properties[7].value = 2;
  }
  return devices;
}

TEST(RigState, RoundTripsEveryValue) {
  std::vector<RigDevice> a = StateDevices();
  a[0].camera->procAmp[0].value = 17;
  a[0].camera->procAmp[0].flags = 1;
  a[0].camera->cameraControl[4].value = -9;
  a[1].camera->videoMode = 5;
  a[1].camera->FindPrivateSet(kTestSet)->properties[7].value = -123456;
  std::string text = FormatRigState(a);

  std::vector<RigDevice> b = StateDevices();
  ASSERT_TRUE(ApplyRigState(text, b));
  EXPECT_EQ(b[0].camera->procAmp[0].value, 17);
  EXPECT_EQ(b[0].camera->procAmp[0].flags, 1);
  EXPECT_EQ(b[0].camera->cameraControl[4].value, -9);
  EXPECT_EQ(b[0].camera->videoMode, 0);
  EXPECT_EQ(b[1].camera->videoMode, 5);
  EXPECT_EQ(b[1].camera->FindPrivateSet(kTestSet)->properties[7].value, -123456);
  EXPECT_EQ(b[1].camera->FindPrivateSet(kTestSet)->properties[3].value, 1);
  EXPECT_EQ(FormatRigState(b), text);
}

TEST(RigState, ToleratesCarriageReturns) {
  std::vector<RigDevice> a = StateDevices();
  a[0].camera->procAmp[1].value = 99;
  std::string text = FormatRigState(a), crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  std::vector<RigDevice> b = StateDevices();
  ASSERT_TRUE(ApplyRigState(crlf, b));
  EXPECT_EQ(b[0].camera->procAmp[1].value, 99);
}

// A bad text changes nothing, not even the values of its good lines.
TEST(RigState, BadTextChangesNothing) {
  std::vector<RigDevice> devices = StateDevices();
  const std::string device0 = "device " + devices[0].displayName + "\n";
  const std::string good = device0 + "procamp 0 50 2\n";
  const std::string header = "lumora-sim-state 1\n";
  const std::string set = kTestSet.ToString();
  const struct {
    const char* why;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"wrong header", "lumora-sim-state 2\n" + good + "end\n"},
      {"no end", header + good},
      {"junk after end", header + good + "end\nprocamp 1 1 2\n"},
      {"value before any device", header + "procamp 0 50 2\n" + device0 + "end\n"},
      {"unknown device", header + good + "device @device:pnp:elsewhere\nprocamp 0 1 2\nend\n"},
      {"unknown line", header + good + "zoom 3\nend\n"},
      {"value above range", header + good + "procamp 1 128 2\nend\n"},
      {"value below range", header + good + "camera 4 -12 2\nend\n"},
      {"unknown control", header + good + "procamp 42 1 2\nend\n"},
      {"bad flags", header + good + "procamp 1 10 3\nend\n"},
      {"mode the control lacks", header + good + "procamp 2 0 1\nend\n"},
      {"not a number", header + good + "procamp 1 1x 2\nend\n"},
      {"too large", header + good + "procamp 1 4294967296 2\nend\n"},
      {"missing word", header + good + "procamp 1 10\nend\n"},
      {"extra word", header + good + "procamp 1 10 2 2\nend\n"},
      {"mode outside caps", header + good + "videomode 16\nend\n"},
      {"unknown set", header + good + "private 00000000-0000-0000-0000-000000000001 3 1\nend\n"},
      {"unknown private id", header + good + "private " + set + " 4 1\nend\n"},
      {"malformed set", header + good + "private " + set.substr(0, 35) + "x 3 1\nend\n"},
  };
  const std::string before = FormatRigState(devices);
  for (const auto& c : cases) {
    EXPECT_FALSE(ApplyRigState(c.text, devices)) << c.why;
    EXPECT_EQ(FormatRigState(devices), before) << c.why;
  }
  EXPECT_TRUE(ApplyRigState(header + good + "end\n", devices));
  EXPECT_EQ(devices[0].camera->procAmp[0].value, 50);
}

TEST(RigState, FileSaveAndLoad) {
  const std::string path = ::testing::TempDir() + "lumora_rig_state_test.txt";
  std::remove(path.c_str());
  std::vector<RigDevice> a = StateDevices();
  EXPECT_FALSE(LoadRigStateFile(path, a)) << "missing file";

  a[1].camera->procAmp[3].value = 150;
  ASSERT_TRUE(SaveRigStateFile(path, a));
  a[1].camera->procAmp[3].value = 151;
  ASSERT_TRUE(SaveRigStateFile(path, a)) << "replaces an existing file";

  std::vector<RigDevice> b = StateDevices();
  ASSERT_TRUE(LoadRigStateFile(path, b));
  EXPECT_EQ(b[1].camera->procAmp[3].value, 151);

  {
    std::ofstream out(path, std::ios::trunc);
    out << "lumora-sim-state 1\ndevice ";  // cut short
  }
  std::vector<RigDevice> c = StateDevices();
  EXPECT_FALSE(LoadRigStateFile(path, c));
  EXPECT_EQ(c[1].camera->procAmp[3].value, 100);
  std::remove(path.c_str());
}

// Unplugging cuts the camera off; plugging in again gives a fresh camera
// with default values, and values saved for the earlier plugging stay out.
TEST(RigPlug, UnplugAndReplugAsARealDevice) {
  std::vector<RigDevice> devices = Devices("default");
  ASSERT_EQ(devices[1].serial, "2a4c6e8");
  std::shared_ptr<SimulatedCamera> old = devices[1].camera;
  old->procAmp[0].value = 17;
  std::string saved = FormatRigState(devices);

  std::vector<PlugEntry> entries;
  ASSERT_TRUE(ParsePlugState("lumora-sim-plug 1\r\nunplugged 1 2A4C6E8\r\n", &entries));
  EXPECT_TRUE(ApplyPlugState(entries, &devices));
  EXPECT_FALSE(devices[1].plugged);
  EXPECT_TRUE(devices[2].plugged);  // the identical ToUcam with another serial
  int32_t value = 0, flags = 0;
  EXPECT_EQ(old->ControlGet(false, 0, &value, &flags), kDeviceNotConnected);
  EXPECT_FALSE(ApplyPlugState(entries, &devices)) << "same generation: nothing new";

  ASSERT_TRUE(
      ParsePlugState("lumora-sim-plug 1\nplugged 2 " + devices[1].displayName + "\n", &entries));
  EXPECT_TRUE(ApplyPlugState(entries, &devices));
  EXPECT_TRUE(devices[1].plugged);
  EXPECT_EQ(devices[1].plugGeneration, 2u);
  ASSERT_NE(devices[1].camera, old);
  EXPECT_EQ(devices[1].camera->procAmp[0].value, devices[1].camera->procAmp[0].defaultValue);
  EXPECT_EQ(old->ControlGet(false, 0, &value, &flags), kDeviceNotConnected) << "stays dead";
  EXPECT_TRUE(hr::Succeeded(devices[1].camera->ControlGet(false, 0, &value, &flags)));

  // The state saved before the unplugging does not bring the old value back;
  // a state saved under the new generation does.
  ASSERT_TRUE(ApplyRigState(saved, devices));
  EXPECT_EQ(devices[1].camera->procAmp[0].value, 128);
  devices[1].camera->procAmp[0].value = 30;
  std::string now = FormatRigState(devices);
  EXPECT_NE(now.find("plug 2\n"), std::string::npos);
  devices[1].camera->procAmp[0].value = 31;
  ASSERT_TRUE(ApplyRigState(now, devices));
  EXPECT_EQ(devices[1].camera->procAmp[0].value, 30);

  for (const char* bad : {"", "lumora-sim-plug 2\n", "lumora-sim-plug 1\ngone 1 x\n",
                          "lumora-sim-plug 1\nplugged -1 x\n", "lumora-sim-plug 1\nplugged 1\n",
                          "lumora-sim-plug 1\nplugged 1 x y\n"}) {
    entries = {PlugEntry{}};
    EXPECT_FALSE(ParsePlugState(bad, &entries)) << bad;
    EXPECT_EQ(entries.size(), 1u) << bad;
  }
}

}  // namespace
}  // namespace lumora::sim
