// Faults injected into the rig's controls (LUMORA_SIM_FAULTS).
#include <cstdlib>
#include <map>
#include <sstream>

#include "sim/rig_devices.h"
#include "base/text.h"

namespace lumora::sim {

std::string RigFaultsFromEnvironment() {
  const char* value = std::getenv("LUMORA_SIM_FAULTS");
  return value != nullptr ? value : "";
}

namespace {

// A fault's name in LUMORA_SIM_FAULTS and the flag it sets.
template <class Faults>
struct FaultName {
  const char* name;
  bool Faults::*which;
};

// The flag of a name in a table, or null.
template <class Faults, size_t N>
bool Faults::*Named(const FaultName<Faults> (&table)[N], const std::string& name) {
  for (const FaultName<Faults>& f : table) {
    if (name == f.name) return f.which;
  }
  return nullptr;
}

}  // namespace

bool ApplyRigFaults(const std::string& text, const std::vector<RigDevice>& devices) {
  // The faults to set, each resolved once the whole list is known to be right.
  struct Pending {
    std::map<int32_t, ControlFaults>* standard;  // or
    std::map<uint32_t, ControlFaults>* privateFaults;
    int32_t id;
    bool ControlFaults::*which;
    XuFaults* xu;  // or an extension-unit control's
    bool XuFaults::*xuWhich;
  };
  static const FaultName<XuFaults> kXuFaults[] = {
      {"stall", &XuFaults::stall},
      {"timeout", &XuFaults::timeout},
      {"unsupported-id", &XuFaults::unsupportedId},
      {"unsupported-set", &XuFaults::unsupportedSet},
      {"length-changes", &XuFaults::lengthChanges},
      {"short-reply", &XuFaults::shortReply},
  };
  static const FaultName<ControlFaults> kFaults[] = {
      {"ignore-writes", &ControlFaults::ignoreWrites},
      {"zero-step", &ControlFaults::zeroStep},
      {"default-outside", &ControlFaults::defaultOutside},
      {"fail-reads", &ControlFaults::failReads},
      {"wide-range", &ControlFaults::wideRange},
      {"keep-outside", &ControlFaults::keepOutside},
      {"silent-reads", &ControlFaults::silentReads},
      {"fail-writes", &ControlFaults::failWrites},
  };
  std::vector<Pending> pending;
  std::vector<XuUnit*> silentUnits;
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
    if (!ParseInteger(entry.substr(0, colon1), 1, static_cast<int64_t>(devices.size()), &place)) {
      return false;
    }
    SimulatedCamera* cam = devices[static_cast<size_t>(place) - 1].camera.get();
    const size_t slash = control.find('/');
    if (cam != nullptr && control.rfind("xu/", 0) == 0 && control.find('.') == std::string::npos) {
      // xu/UNIT:no-set-list: the unit's node does not list its property
      // sets (nothing else names the unit then).
      int64_t unitId = 0;
      if (fault != "no-set-list" || !ParseInteger(control.substr(3), 0, 255, &unitId)) return false;
      XuUnit* unit = nullptr;
      for (auto& [node, u] : cam->extensionUnits) {
        if (u.unitId == unitId) unit = &u;
      }
      if (unit == nullptr) return false;
      silentUnits.push_back(unit);
      continue;
    }
    if (cam != nullptr && control.rfind("xu/", 0) == 0) {
      // xu/UNIT.SELECTOR
      const size_t dot = control.find('.');
      int64_t unit = 0, selector = 0;
      if (dot == std::string::npos || !ParseInteger(control.substr(3, dot - 3), 0, 255, &unit) ||
          !ParseInteger(control.substr(dot + 1), 1, 31, &selector)) {
        return false;
      }
      XuControl* xu =
          cam->FindXuControl(static_cast<uint8_t>(unit), static_cast<uint32_t>(selector));
      Pending p{nullptr, nullptr, 0, nullptr, xu != nullptr ? &xu->faults : nullptr, nullptr};
      p.xuWhich = Named(kXuFaults, fault);
      if (xu == nullptr || p.xuWhich == nullptr) return false;
      pending.push_back(p);
      continue;
    }
    if (cam == nullptr || slash == std::string::npos ||
        !ParseInteger(control.substr(slash + 1), 0, INT32_MAX, &id)) {
      return false;
    }
    const std::string kind = control.substr(0, slash);
    Pending p{nullptr, nullptr, static_cast<int32_t>(id), nullptr, nullptr, nullptr};
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
    p.which = Named(kFaults, fault);
    if (p.which == nullptr) return false;
    pending.push_back(p);
  }
  for (XuUnit* unit : silentUnits) unit->listsSets = false;
  for (const Pending& p : pending) {
    if (p.xu != nullptr) {
      p.xu->*p.xuWhich = true;
      continue;
    }
    ControlFaults& faults = p.standard != nullptr ? (*p.standard)[p.id]
                                                  : (*p.privateFaults)[static_cast<uint32_t>(p.id)];
    faults.*p.which = true;
  }
  return true;
}

}  // namespace lumora::sim
