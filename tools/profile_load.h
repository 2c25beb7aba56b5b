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
#include "tools/profile.h"

namespace lumora::cli {

// Mode bits as the automation interface reports them.
constexpr int32_t kModeAuto = 1;
constexpr int32_t kModeManual = 2;

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
  // kModeAuto / kModeManual bits the control offers; 0 without modes.
  virtual int32_t ModeSupport(int32_t property) = 0;
  virtual HResult GetMode(int32_t property, int32_t* mode) = 0;
  virtual HResult SetMode(int32_t property, int32_t mode) = 0;
  // The control's default value; E_NOTIMPL where the camera tells none.
  virtual HResult Default(int32_t /*property*/, int32_t* /*value*/) { return hr::NotImpl; }
};

// True for the failures with which a device that is no longer connected
// answers (ERROR_DEVICE_NOT_CONNECTED, ERROR_DEVICE_REMOVED,
// ERROR_GEN_FAILURE, ERROR_FILE_NOT_FOUND as a HRESULT).
bool IsDeviceGone(HResult hr);

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
  // value, `actualMode` the kModeAuto / kModeManual the control reports (0
  // when it has no modes or the mode was not read).
  bool verified = false;
  int32_t actual = 0;
  int32_t actualMode = 0;
  // kRefused: the HRESULT of the failed write (0: refused before writing)
  // and the reason in words ("not supported by this camera").
  HResult error = 0;
  std::string reason;
};

struct LoadOutcome {
  std::vector<PropertyOutcome> properties;  // in write order
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

// One line per property, without line break:
//   "applied  Brightness = 17"
//   "changed  Brightness = 201: the camera holds 200"
//   "refused  Pan = 3: not supported by this camera"
//   "missed   Contrast = 5: the camera vanished first"
std::string OutcomeLine(const PropertyOutcome& outcome);

// "5 applied, 1 changed by the camera, 2 refused" (and ", 3 not reached").
std::string OutcomeSummary(const LoadOutcome& outcome);

}  // namespace lumora::cli
