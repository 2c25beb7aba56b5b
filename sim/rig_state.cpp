// The rig's saved state: the cameras' values as text (see rig_devices.h).
#include <map>
#include <sstream>

#include "sim/rig_devices.h"
#include "base/text.h"

namespace lumora::sim {

namespace {

constexpr const char* kStateHeader = "lumora-sim-state 1";

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
  enum { ProcAmp, Camera, VideoMode, Private, Xu } kind = VideoMode;
  int32_t id = 0;
  Guid set;
  int32_t value = 0;
  int32_t flags = 0;
  std::vector<uint8_t> bytes;  // Xu: the control's value
};

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

bool FromHex(const std::string& text, std::vector<uint8_t>* bytes) {
  auto digit = [](char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;
  };
  if (text.size() % 2 != 0) return false;
  bytes->clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]), low = digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes->push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

}  // namespace

std::string FormatRigState(const std::vector<RigDevice>& devices) {
  std::ostringstream out;
  out << kStateHeader << "\n";
  for (const RigDevice& d : devices) {
    if (!d.camera) continue;
    const SimulatedCamera& cam = *d.camera;
    out << "device " << d.displayName << "\n";
    if (d.plugGeneration != 0) out << "plug " << d.plugGeneration << "\n";
    if (d.resumeGeneration != 0) out << "resume " << d.resumeGeneration << "\n";
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
    for (const auto& [node, unit] : cam.extensionUnits) {
      for (const auto& [selector, c] : unit.controls) {
        out << "xu " << int{unit.unitId} << " " << selector << " " << Hex(c.current) << "\n";
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
  bool stale = false;             // values of an earlier plug generation or resume
  uint32_t plug = 0, resume = 0;  // as the device's entry says
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
      plug = resume = 0;
      stale = device->plugGeneration != 0 || device->resumeGeneration != 0;
      continue;
    }
    if (cam == nullptr) return false;
    if (line.rfind("plug ", 0) == 0 || line.rfind("resume ", 0) == 0) {
      int64_t g = 0;
      if (!Words(line, 2, &w) || !ParseInteger(w[1], 0, UINT32_MAX, &g)) return false;
      (line[0] == 'p' ? plug : resume) = static_cast<uint32_t>(g);
      stale = plug != device->plugGeneration || resume != device->resumeGeneration;
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
    } else if (line.rfind("xu ", 0) == 0) {
      // xu UNIT SELECTOR HEX: a value of the control's length.
      int64_t unit = 0;
      if (!Words(line, 4, &w) || !ParseInteger(w[1], 0, 255, &unit) || !ParseInt32(w[2], &c.id) ||
          !FromHex(w[3], &c.bytes)) {
        return false;
      }
      c.value = static_cast<int32_t>(unit);
      const XuControl* xu =
          cam->FindXuControl(static_cast<uint8_t>(unit), static_cast<uint32_t>(c.id));
      if (xu == nullptr || xu->current.size() != c.bytes.size()) return false;
      c.kind = Change::Xu;
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
      case Change::Xu:
        c.camera->FindXuControl(static_cast<uint8_t>(c.value), static_cast<uint32_t>(c.id))
            ->current = c.bytes;
        break;
    }
  }
  return true;
}

}  // namespace lumora::sim
