#include "sim/rig_devices.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

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
  const char* privateSet;  // null: no private set
};

constexpr DeviceRow kDefaultDevices[] = {
    {R"(@device:pnp:\\?\usb#vid_0471&pid_0308#5&1a2b3c4&0&1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Philips Vesta Pro Camera", "VID_0471&PID_0308", "0", "35DBC300-F98F-11D2-AFD0-00104B13EAF2"},
    {R"(@device:pnp:\\?\usb#vid_0471&pid_0311&mi_00#7&2a4c6e8&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Philips ToUcam Pro Camera", "VID_0471&PID_0311", "2a4c6e8",
     "1B3C6C20-CCE8-11D3-A59B-00104B13EAF2"},
    {R"(@device:pnp:\\?\usb#vid_0471&pid_0311&mi_00#7&3b5d7f9&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Philips ToUcam Pro Camera", "VID_0471&PID_0311", "3b5d7f9",
     "1B3C6C20-CCE8-11D3-A59B-00104B13EAF2"},
    {R"(@device:pnp:\\?\usb#vid_0471&pid_0329&mi_00#7&1f1f0d8&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Philips SPC 900NC PC Camera", "VID_0471&PID_0329", "1f1f0d8",
     "63B8CCB6-015F-4B1D-AAD3-D4158AA1A9E3"},
    {R"(@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\{4A2E8B5C-0F1D-4E3A-9B6C-7D5E2F1A3C90})",
     "Video for Windows Capture", "", "", nullptr},
    {R"(@device:pnp:\\?\usb#vid_046d&pid_08b2#5&2b1ac4a&0&1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Logitech QuickCam Pro 4000", "VID_046D&PID_08B2", "0",
     "F83865C0-92C3-11d3-B41E-0010DC973BDB"},
    {R"(@device:pnp:\\?\usb#vid_046d&pid_08c2&mi_00#7&9c3d2e1&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Logitech QuickCam Fusion", "VID_046D&PID_08C2", "9c3d2e1",
     "22ca01a0-cd31-11d0-8b18-00aa00cf90f9"},
    {R"(@device:pnp:\\?\usb#vid_0ac8&pid_301b#5&3e7a9b2&0&4#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     nullptr, "VID_0AC8&PID_301B", "0", nullptr},
    {R"(@device:pnp:\\?\usb#vid_041e&pid_4011#5&1c8e4f0&0&2#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Creative WebCam Pro eX", "VID_041E&PID_4011", "0", "869E8C6F-0D84-420F-B44E-7BFBEE74D6CF"},
    {R"(@device:pnp:\\?\usb#vid_041e&pid_403c&mi_00#7&5f2a8c3&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "Creative Live! Cam Ultra", "VID_041E&PID_403C", "5f2a8c3",
     "5a403423-5667-4ec4-8573-7b88ccdc11cf"},
    {R"(@device:pnp:\\?\usb#vid_0c45&pid_6340#6&12d4b1a&2&3#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
     "USB Video Device", "VID_0C45&PID_6340", "2", nullptr},
};

constexpr const char* kKeepsAutoValueDevice = "VID_0C45&PID_6340";

RigDevice FromRow(const DeviceRow& row) {
  RigDevice d;
  d.displayName = row.displayName;
  d.hasFriendlyName = row.friendlyName != nullptr;
  d.friendlyName = row.friendlyName != nullptr ? row.friendlyName : "";
  d.vidPid = row.vidPid;
  d.serial = row.serial;
  d.privateSet = row.privateSet != nullptr ? Guid::Parse(row.privateSet) : Guid{};
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

// --- state text ------------------------------------------------------------

constexpr const char* kStateHeader = "lumora-sim-state 1";
constexpr const char* kPlugHeader = "lumora-sim-plug 1";

// Equal without regard to ASCII case.
bool SameText(const std::string& a, const std::string& b) {
  auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

bool ParseLong(const std::string& word, int64_t lo, int64_t hi, int64_t* out) {
  if (word.empty()) return false;
  char* end = nullptr;
  long long v = std::strtoll(word.c_str(), &end, 10);
  if (end != word.c_str() + word.size() || v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool ParseInt32(const std::string& word, int32_t* out) {
  int64_t v;
  if (!ParseLong(word, INT32_MIN, INT32_MAX, &v)) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// Splits a line into exactly n words separated by single spaces.
bool Words(const std::string& line, size_t n, std::vector<std::string>* words) {
  words->clear();
  std::istringstream in(line);
  std::string w;
  while (in >> w) words->push_back(w);
  return words->size() == n;
}

// Pending changes, applied only once the whole text has been checked.
struct Change {
  SimulatedCamera* camera = nullptr;
  enum { ProcAmp, Camera, VideoMode, Private } kind = VideoMode;
  int32_t id = 0;
  Guid set;
  int32_t value = 0;
  int32_t flags = 0;
};

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
      {Guid::Parse("63B8CCB6-015F-4B1D-AAD3-D4158AA1A9E3"), Family::Saa8116},
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

bool ParsePlugState(const std::string& text, std::vector<PlugEntry>* entries) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line != kPlugHeader) return false;
  std::vector<PlugEntry> parsed;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::istringstream words(line);
    std::string state, generation, key, extra;
    if (!(words >> state >> generation >> key) || (words >> extra)) return false;
    PlugEntry e;
    int64_t g = 0;
    if ((state != "plugged" && state != "unplugged") || !ParseLong(generation, 0, UINT32_MAX, &g)) {
      return false;
    }
    e.plugged = state == "plugged";
    e.generation = static_cast<uint32_t>(g);
    e.key = key;
    parsed.push_back(std::move(e));
  }
  *entries = std::move(parsed);
  return true;
}

bool ApplyPlugState(const std::vector<PlugEntry>& entries, std::vector<RigDevice>* devices) {
  bool changed = false;
  for (RigDevice& d : *devices) {
    for (const PlugEntry& e : entries) {
      if (!SameText(e.key, d.displayName) && (d.serial.empty() || !SameText(e.key, d.serial))) {
        continue;
      }
      if (e.generation == d.plugGeneration) break;
      d.plugGeneration = e.generation;
      if (d.camera) d.camera->connected = false;
      if (e.plugged) {
        // The same model comes back, with its defaults.
        const bool keepsAutoValue = d.camera && d.camera->keepsAutoValueOnManualWrite;
        d.camera = MakeRigCamera(d.privateSet);
        d.camera->keepsAutoValueOnManualWrite = keepsAutoValue;
      }
      d.plugged = e.plugged;
      changed = true;
      break;
    }
  }
  return changed;
}

std::string RigFaultsFromEnvironment() {
  const char* value = std::getenv("LUMORA_SIM_FAULTS");
  return value != nullptr ? value : "";
}

bool ApplyRigFaults(const std::string& text, const std::vector<RigDevice>& devices) {
  // The faults to set, each resolved once the whole list is known to be right.
  struct Pending {
    std::map<int32_t, ControlFaults>* standard;  // or
    std::map<uint32_t, ControlFaults>* privateFaults;
    int32_t id;
    bool ControlFaults::*which;
  };
  static const struct {
    const char* name;
    bool ControlFaults::*which;
  } kFaults[] = {
      {"ignore-writes", &ControlFaults::ignoreWrites},
      {"zero-step", &ControlFaults::zeroStep},
      {"default-outside", &ControlFaults::defaultOutside},
      {"fail-reads", &ControlFaults::failReads},
      {"wide-range", &ControlFaults::wideRange},
      {"keep-outside", &ControlFaults::keepOutside},
  };
  std::vector<Pending> pending;
  std::istringstream entries(text);
  std::string entry;
  while (std::getline(entries, entry, ',')) {
    if (entry.empty()) continue;
    const size_t colon1 = entry.find(':');
    const size_t colon2 = colon1 == std::string::npos ? colon1 : entry.find(':', colon1 + 1);
    if (colon2 == std::string::npos) return false;
    const std::string control = entry.substr(colon1 + 1, colon2 - colon1 - 1);
    const std::string fault = entry.substr(colon2 + 1);
    int64_t place = 0, id = 0;
    if (!ParseLong(entry.substr(0, colon1), 1, static_cast<int64_t>(devices.size()), &place)) {
      return false;
    }
    SimulatedCamera* cam = devices[static_cast<size_t>(place) - 1].camera.get();
    const size_t slash = control.find('/');
    if (cam == nullptr || slash == std::string::npos ||
        !ParseLong(control.substr(slash + 1), 0, INT32_MAX, &id)) {
      return false;
    }
    const std::string kind = control.substr(0, slash);
    Pending p{nullptr, nullptr, static_cast<int32_t>(id), nullptr};
    if (kind == "procamp" || kind == "camera") {
      const bool isCamera = kind == "camera";
      if ((isCamera ? cam->cameraControl : cam->procAmp).count(p.id) != 0) {
        p.standard = isCamera ? &cam->cameraControlFaults : &cam->procAmpFaults;
      }
    } else if (kind == "private") {
      for (auto& [set, privateSet] : cam->privateSets) {
        if (privateSet.properties.count(static_cast<uint32_t>(id)) != 0)
          p.privateFaults = &privateSet.faults;
      }
    }
    if (p.standard == nullptr && p.privateFaults == nullptr) return false;
    for (const auto& f : kFaults) {
      if (fault == f.name) p.which = f.which;
    }
    if (p.which == nullptr) return false;
    pending.push_back(p);
  }
  for (const Pending& p : pending) {
    ControlFaults& faults = p.standard != nullptr ? (*p.standard)[p.id]
                                                  : (*p.privateFaults)[static_cast<uint32_t>(p.id)];
    faults.*p.which = true;
  }
  return true;
}

std::string FormatRigState(const std::vector<RigDevice>& devices) {
  std::ostringstream out;
  out << kStateHeader << "\n";
  for (const RigDevice& d : devices) {
    if (!d.camera) continue;
    const SimulatedCamera& cam = *d.camera;
    out << "device " << d.displayName << "\n";
    if (d.plugGeneration != 0) out << "plug " << d.plugGeneration << "\n";
    for (const auto& [id, c] : cam.procAmp)
      out << "procamp " << id << " " << c.value << " " << c.flags << "\n";
    for (const auto& [id, c] : cam.cameraControl)
      out << "camera " << id << " " << c.value << " " << c.flags << "\n";
    out << "videomode " << cam.videoMode << "\n";
    for (const auto& [set, s] : cam.privateSets) {
      for (const auto& [id, p] : s.properties) {
        out << "private " << set.ToString() << " " << id << " " << p.value << "\n";
      }
    }
  }
  out << "end\n";
  return out.str();
}

bool ApplyRigState(const std::string& text, const std::vector<RigDevice>& devices) {
  std::map<std::string, const RigDevice*> byName;
  for (const RigDevice& d : devices) {
    if (d.camera) byName[d.displayName] = &d;
  }
  std::istringstream in(text);
  std::string line;
  auto next = [&] {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  };
  if (!next() || line != kStateHeader) return false;
  std::vector<Change> changes;
  SimulatedCamera* cam = nullptr;
  const RigDevice* device = nullptr;
  bool stale = false;  // values of an earlier plug generation
  bool ended = false;
  std::vector<std::string> w;
  while (next()) {
    if (ended) {
      if (!line.empty()) return false;
      continue;
    }
    if (line == "end") {
      ended = true;
      continue;
    }
    if (line.rfind("device ", 0) == 0) {
      auto it = byName.find(line.substr(7));
      if (it == byName.end()) return false;
      device = it->second;
      cam = device->camera.get();
      stale = device->plugGeneration != 0;
      continue;
    }
    if (cam == nullptr) return false;
    if (line.rfind("plug ", 0) == 0) {
      int64_t g = 0;
      if (!Words(line, 2, &w) || !ParseLong(w[1], 0, UINT32_MAX, &g)) return false;
      stale = static_cast<uint32_t>(g) != device->plugGeneration;
      continue;
    }
    Change c;
    c.camera = cam;
    if (line.rfind("procamp ", 0) == 0 || line.rfind("camera ", 0) == 0) {
      bool isCamera = line[0] == 'c';
      if (!Words(line, 4, &w) || !ParseInt32(w[1], &c.id) || !ParseInt32(w[2], &c.value) ||
          !ParseInt32(w[3], &c.flags)) {
        return false;
      }
      const auto& controls = isCamera ? cam->cameraControl : cam->procAmp;
      auto it = controls.find(c.id);
      if (it == controls.end() || c.value < it->second.min || c.value > it->second.max ||
          (c.flags != 1 && c.flags != 2) || (c.flags & it->second.capsFlags) == 0) {
        return false;
      }
      c.kind = isCamera ? Change::Camera : Change::ProcAmp;
    } else if (line.rfind("videomode ", 0) == 0) {
      if (!Words(line, 2, &w) || !ParseInt32(w[1], &c.value)) return false;
      if ((c.value & ~cam->videoCaps) != 0) return false;
      c.kind = Change::VideoMode;
    } else if (line.rfind("private ", 0) == 0) {
      if (!Words(line, 4, &w) || w[1].size() != 36 || !ParseInt32(w[2], &c.id) ||
          !ParseInt32(w[3], &c.value)) {
        return false;
      }
      c.set = Guid::Parse(w[1].c_str());
      PrivateSet* set = c.set.IsNull() ? nullptr : cam->FindPrivateSet(c.set);
      if (set == nullptr || set->properties.count(static_cast<uint32_t>(c.id)) == 0) return false;
      c.kind = Change::Private;
    } else {
      return false;
    }
    if (!stale) changes.push_back(c);
  }
  if (!ended) return false;
  for (const Change& c : changes) {
    switch (c.kind) {
      case Change::ProcAmp:
      case Change::Camera: {
        StandardControl& s =
            (c.kind == Change::Camera ? c.camera->cameraControl : c.camera->procAmp)[c.id];
        s.value = c.value;
        s.flags = c.flags;
        break;
      }
      case Change::VideoMode: c.camera->videoMode = c.value; break;
      case Change::Private:
        c.camera->FindPrivateSet(c.set)->properties[static_cast<uint32_t>(c.id)].value = c.value;
        break;
    }
  }
  return true;
}

bool ReadSmallFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  // A state file of a sane catalogue is a few kilobytes.
  if (!in.good() && !in.eof()) return false;
  std::string s = content.str();
  if (s.size() > (1u << 20)) return false;
  *text = std::move(s);
  return true;
}

bool LoadRigStateFile(const std::string& path, const std::vector<RigDevice>& devices) {
  std::string text;
  return ReadSmallFile(path, &text) && ApplyRigState(text, devices);
}

bool SaveRigStateFile(const std::string& path, const std::vector<RigDevice>& devices,
                      std::string* written) {
  const std::string temp = path + ".tmp";
  const std::string text = FormatRigState(devices);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << text;
    out.flush();
    if (!out) {
      out.close();
      std::remove(temp.c_str());
      return false;
    }
  }
  // Windows' rename does not replace an existing file.
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(path.c_str());
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
      std::remove(temp.c_str());
      return false;
    }
  }
  if (written != nullptr) *written = text;
  return true;
}

}  // namespace lumora::sim
