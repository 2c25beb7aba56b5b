// The rig's plug file: which devices are unplugged (see rig_devices.h).
#include <algorithm>
#include <sstream>

#include "sim/rig_devices.h"
#include "base/text.h"

namespace lumora::sim {

namespace {

constexpr const char* kPlugHeader = "lumora-sim-plug 1";

}  // namespace

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
    if ((state != "plugged" && state != "unplugged" && state != "resumed") ||
        !ParseInteger(generation, 0, UINT32_MAX, &g)) {
      return false;
    }
    e.plugged = state != "unplugged";
    e.resume = state == "resumed";
    e.generation = static_cast<uint32_t>(g);
    e.key = key;
    parsed.push_back(std::move(e));
  }
  *entries = std::move(parsed);
  return true;
}

// A camera back from a power loss: the values of a fresh camera of its
// model, everything else (faults, connection, behaviour) as it was.
static void PowerCycle(RigDevice& d) {
  if (!d.camera) return;
  const std::shared_ptr<SimulatedCamera> fresh = MakeDeviceCamera(d);
  SimulatedCamera& cam = *d.camera;
  for (auto controls : {&SimulatedCamera::procAmp, &SimulatedCamera::cameraControl}) {
    for (auto& [id, c] : cam.*controls) {
      auto it = ((*fresh).*controls).find(id);
      if (it == ((*fresh).*controls).end()) continue;
      c.value = it->second.value;
      c.flags = it->second.flags;
    }
  }
  cam.videoMode = fresh->videoMode;
  for (auto& [node, unit] : cam.extensionUnits) {
    for (auto& [selector, c] : unit.controls) {
      if (const XuControl* f = fresh->FindXuControl(unit.unitId, selector)) c.current = f->current;
    }
  }
  for (auto& [set, privateSet] : cam.privateSets) {
    PrivateSet* freshSet = fresh->FindPrivateSet(set);
    if (freshSet == nullptr) continue;
    for (auto& [id, p] : privateSet.properties) {
      auto it = freshSet->properties.find(id);
      if (it != freshSet->properties.end()) p.value = it->second.value;
    }
  }
}

bool ApplyPlugState(const std::vector<PlugEntry>& entries, std::vector<RigDevice>* devices) {
  bool changed = false;
  for (RigDevice& d : *devices) {
    for (const PlugEntry& e : entries) {
      if (!e.resume) continue;
      if (!EqualNoCase(e.key, d.displayName) && (d.serial.empty() || !EqualNoCase(e.key, d.serial))) {
        continue;
      }
      if (e.generation != d.resumeGeneration) {
        d.resumeGeneration = e.generation;
        PowerCycle(d);
        changed = true;
      }
      break;
    }
    for (const PlugEntry& e : entries) {
      if (e.resume) continue;
      if (!EqualNoCase(e.key, d.displayName) && (d.serial.empty() || !EqualNoCase(e.key, d.serial))) {
        continue;
      }
      if (e.generation == d.plugGeneration) break;
      d.plugGeneration = e.generation;
      if (d.camera) d.camera->connected = false;
      if (e.plugged) {
        // The same model comes back, with its defaults.
        const bool keepsAutoValue = d.camera && d.camera->keepsAutoValueOnManualWrite;
        d.camera = MakeDeviceCamera(d);
        d.camera->keepsAutoValueOnManualWrite = keepsAutoValue;
      }
      d.plugged = e.plugged;
      changed = true;
      break;
    }
  }
  return changed;
}

}  // namespace lumora::sim
