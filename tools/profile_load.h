// The ordered, verified load of a camera profile, and its outcome per
// property (portable; the camera is reached through ProfileTarget).
//
// A load first decides every entry without writing (a property the camera
// does not have, cannot set, a value outside the reported range, a mode the
// control does not offer: refused with the reason). Then it writes in
// LoadOrder: the automatic modes first, then the manual values. Last it reads
// every written property back and tells whether the camera kept the value,
// changed it (clamped or rounded) or refused the write.
//
// A failure that says the device is gone ends the load at once: the outcome
// is marked `vanished` and the entries not reached stay kNotReached.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/types.h"
#include "property/catalogue.h"
#include "tools/profile.h"
#include "tools/xu_tool.h"

namespace lumora::cli {

// The camera calls a load makes. Results are HRESULTs.
class ProfileTarget {
 public:
  virtual ~ProfileTarget() = default;
  // VCS_* bits of the property (0: not supported).
  virtual int32_t Support(int32_t property) = 0;
  // False when the camera reports no range.
  virtual bool Range(int32_t property, int32_t* min, int32_t* max) = 0;
  virtual HResult Get(int32_t property, int32_t* value) = 0;
  // A manual write of the value.
  virtual HResult Set(int32_t property, int32_t value) = 0;
  // VCM_Auto / VCM_Manual bits the control offers; 0 without modes.
  virtual int32_t ModeSupport(int32_t property) = 0;
  virtual HResult GetMode(int32_t property, int32_t* mode) = 0;
  virtual HResult SetMode(int32_t property, int32_t mode) = 0;
  // The control's default value; E_NOTIMPL where the camera tells none.
  virtual HResult Default(int32_t /*property*/, int32_t* /*value*/) { return hr::NotImpl; }
  // The camera's extension-unit controls; null where the library or the
  // camera has none (the default).
  virtual xutool::XuSource* Xu() { return nullptr; }
};

// True for the failures with which a device that is no longer connected
// answers (ERROR_DEVICE_NOT_CONNECTED, ERROR_DEVICE_REMOVED,
// ERROR_GEN_FAILURE, ERROR_FILE_NOT_FOUND as a HRESULT).
bool IsDeviceGone(HResult hr);

// The same for an extension-unit request, which answers ERROR_GEN_FAILURE
// when the device stalls it while staying connected: that one is a failed
// request, not a vanished camera.
bool IsXuDeviceGone(HResult hr);

enum class LoadResult {
  kApplied,     // written and read back as asked (or not readable back)
  kChanged,     // written, but the camera holds another value or mode
  kRefused,     // not written (see reason), or the camera failed the write
  kNotReached,  // the camera vanished before this entry was written
};

struct PropertyOutcome {
  ProfileEntry entry;
  LoadResult result = LoadResult::kNotReached;
  // A value read back after the writes (kApplied / kChanged): `actual` is the
  // value, `actualMode` the VCM_Auto / VCM_Manual the control reports (0
  // when it has no modes or the mode was not read).
  bool verified = false;
  int32_t actual = 0;
  int32_t actualMode = 0;
  // kRefused: the HRESULT of the failed write (0: refused before writing)
  // and the reason in words ("not supported by this camera").
  HResult error = 0;
  std::string reason;
};

// The outcome of a named extension-unit control's entry, judged as a
// property's: `actual` is the value read back after the write.
struct NamedOutcome {
  NamedEntry entry;
  LoadResult result = LoadResult::kNotReached;
  bool verified = false;
  std::string actual;
  HResult error = 0;
  std::string reason;
};

struct LoadOutcome {
  std::vector<PropertyOutcome> properties;  // in write order
  std::vector<NamedOutcome> named;          // after the properties, in file order
  bool vanished = false;                    // the camera went away mid-load
  HResult vanishError = 0;

  size_t Count(LoadResult result) const;
  // Writes the camera failed (not refusals decided beforehand).
  size_t WriteFailures() const;
  // Neither a failed write nor a vanished camera: "load" exits with 0.
  bool Succeeded() const { return !vanished && WriteFailures() == 0; }
};

// "0x8007048F".
std::string HexCode(HResult hr);

// Loads the entries onto the target in LoadOrder (see above).
LoadOutcome LoadProfile(ProfileTarget& target, const std::vector<ProfileEntry>& entries);

// Loads a whole profile: its properties as above, then its named
// extension-unit controls, each decided (the camera has it, can set it, the
// value suits it) before it is written and read back after; a failing entry
// is refused with its reason and the others go on.
LoadOutcome LoadProfile(ProfileTarget& target, const Profile& profile);

// What "save" stores of the named controls: those that can be read and set,
// with the value read.
std::vector<NamedEntry> SavedNamed(xutool::XuSource& source);

// One line per property, without line break:
//   "applied  Brightness = 17"
//   "changed  Brightness = 201: the camera holds 200"
//   "refused  Pan = 3: not supported by this camera"
//   "missed   Contrast = 5: the camera vanished first"
std::string OutcomeLine(const PropertyOutcome& outcome);

// The same for a named control: "applied  LED Mode = off".
std::string OutcomeLine(const NamedOutcome& outcome);

// "5 applied, 1 changed by the camera, 2 refused" (and ", 3 not reached"),
// named controls counted in.
std::string OutcomeSummary(const LoadOutcome& outcome);

}  // namespace lumora::cli
