// The rig's plug file: which devices are unplugged (see rig_devices.h).
#include <algorithm>
#include <cctype>
#include <sstream>

#include "sim/rig_devices.h"
#include "sim/rig_text.h"

namespace lumora::sim {

namespace {

constexpr const char* kPlugHeader = "lumora-sim-plug 1";

// Equal without regard to ASCII case.
bool SameText(const std::string& a, const std::string& b) {
  auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

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

}  // namespace lumora::sim
