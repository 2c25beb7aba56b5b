// The rig's saved state: the cameras' values as text (see rig_devices.h).
#include <map>
#include <sstream>

#include "sim/rig_devices.h"
#include "sim/rig_text.h"

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
  enum { ProcAmp, Camera, VideoMode, Private } kind = VideoMode;
  int32_t id = 0;
  Guid set;
  int32_t value = 0;
  int32_t flags = 0;
};

}  // namespace

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

}  // namespace lumora::sim
