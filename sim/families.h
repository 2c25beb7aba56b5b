// Simulated cameras of the families that have a handler of their own, each
// with its vendor private property set in the family's value layout.
//
//   sim::MakeFamilyCamera(sim::Family::Saa8112)          set 35DBC300..., value at 28
//   sim::MakeFamilyCamera(sim::Family::Saa8116)          set 1B3C6C20..., value at 28
//   sim::MakeFamilyCamera(sim::Family::Saa8116Creative)  set 869E8C6F..., value at 28
//   sim::MakeFamilyCamera(sim::Family::Saa8116Logitech)  set F83865C0..., value at 28
//   sim::MakeFamilyCamera(sim::Family::CreaLiveUltra)    set 5a403423..., value at 24
//   sim::MakeFamilyCamera(sim::Family::LogiFusion)       set 22ca01a0..., bare value at 0
//
// The four SAA8116-family cameras and the SAA8112 camera also speak the
// Philips raw register protocol (SimulatedCamera::rawAccess). The camera of
// the 63B8CCB6 device (VID_0471&PID_0329) is Family::Saa8116: detection
// replaces its set by 1B3C6C20 before the handler sees it.
//
// Every private set answers QuerySupported(set, 9) with get | set, the probe
// of detection's registry search. Presets are cheap (a few maps); each call
// returns a new, independent camera.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "base/types.h"
#include "sim/simulated_camera.h"

namespace lumora::sim {

enum class Family {
  Saa8112,
  Saa8116,
  Saa8116Creative,  // Creative camera with an SAA8116 set (VID_041E&PID_4011)
  Saa8116Logitech,  // Logitech cameras with an SAA8116 set (VID_046D&PID_08B0..08B5)
  CreaLiveUltra,
  LogiFusion,
};

struct FamilyInfo {
  Family family;
  const char* name;          // "Saa8112", "Saa8116", ... (for test names and logs)
  Guid privateSet;           // the set the camera's driver answers
  int32_t chipset;           // internal chipset value detection gives the set
  const char* deviceVidPid;  // one device string of the family
};

constexpr Guid kSetSaa8112 = Guid::Parse("35DBC300-F98F-11D2-AFD0-00104B13EAF2");
constexpr Guid kSetSaa8116 = Guid::Parse("1B3C6C20-CCE8-11D3-A59B-00104B13EAF2");
// The set the VID/PID table names for the SPC 900NC (VID_0471&PID_0329),
// whose driver answers kSetSaa8116.
constexpr Guid kSetSaa8116Alias = Guid::Parse("63B8CCB6-015F-4B1D-AAD3-D4158AA1A9E3");
constexpr Guid kSetSaa8116Creative = Guid::Parse("869E8C6F-0D84-420F-B44E-7BFBEE74D6CF");
constexpr Guid kSetSaa8116Logitech = Guid::Parse("F83865C0-92C3-11d3-B41E-0010DC973BDB");
constexpr Guid kSetCreaLiveUltra = Guid::Parse("5a403423-5667-4ec4-8573-7b88ccdc11cf");
constexpr Guid kSetLogiFusion = Guid::Parse("22ca01a0-cd31-11d0-8b18-00aa00cf90f9");

// All families, in the order of the enumeration.
const std::array<FamilyInfo, 6>& Families();
const FamilyInfo& InfoOf(Family family);

// A new camera of the family: its standard controls, its private set and,
// for the Philips families, the raw register protocol.
std::shared_ptr<SimulatedCamera> MakeFamilyCamera(Family family);

}  // namespace lumora::sim
