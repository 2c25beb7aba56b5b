// "lumora check": tests every property a camera claims against the camera's
// own answers (portable; the camera is a CameraSource).
//
// Every finding belongs to a named check with a stable id (listed in
// kChecks and in docs/json.md) and has one of four outcomes: OK, not
// supported, WARN (what real drivers commonly get wrong and users can live
// with: a value or default off the step, a default that does not read back
// after it is written, a range wider than the values the camera keeps) or
// FAIL (a lie: a write reported as success that does not read back, a
// supported property that cannot be read, a value outside the reported
// range). Per property, in order:
//   - support: a property that claims read support can be read, one that
//     claims neither cannot;
//   - range: minimum <= maximum, stepping delta > 0 unless minimum = maximum,
//     the default within the range and on a step;
//   - value: the current value within the range and on a step;
//   - writes: minimum, maximum and default, written one after another, read
//     back as written (a write that reads back as a value the camera then
//     keeps is a range wider than it keeps);
//   - outside: a value just outside the range is refused or clamped (which
//     one is noted); a camera that then holds a value outside its range fails;
//   - modes: a control with automatic and manual modes switches to the other
//     mode and back.
// For the camera: the settings block (GetSetting) gives the values of single
// reads; invalid property numbers (negative, one past the end: 33, as every
// handler accepts the unnamed 32; far out) are
// refused and change nothing; a second control object attached to the same
// device reads the first one's writes.
// Every output is poisoned with a sentinel before every call, so a call that
// reports success without writing its output is caught
// (call.output-written).
// Then the named extension-unit controls: a control that claims read access
// can be read, its value suits its facts (within the range, a menu label),
// the ends of its range (every menu label, on and off; a raw field its own
// value) written read back as written, a value outside the range or menu is
// refused and changes nothing, a raw write one byte longer than the control
// is refused; each is put back to its value at the start. Controls that
// cannot be both read and written are not written.
// Triggers are never touched, and the setting selector is never written (it
// loads stored settings). Every value the check changes is written back at
// the end, automatic modes first, and then read again: also after a failed
// check. A camera that vanishes midway stops the check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/camera_source.h"

namespace lumora::check {

enum class Verdict { kOk, kNotSupported, kSkipped, kFail, kWarn };

enum class Outcome { kOk, kNotSupported, kWarn, kFail };

// The checks, by their stable ids.
struct CheckInfo {
  const char* id;    // "range.default-inside"
  const char* what;  // one line for the documentation and --help
};
extern const CheckInfo kChecks[];
extern const size_t kCheckCount;

// One outcome of one check.
struct Finding {
  std::string id;  // a kChecks id
  Outcome outcome = Outcome::kOk;
  std::string text;  // why (empty for OK)
};

struct PropertyResult {
  int32_t property = 0;
  Verdict verdict = Verdict::kOk;
  std::vector<std::string> failures;  // why it failed, one text each ("... [id]")
  std::vector<std::string> warnings;  // what it gets wrong that users can live with
  std::vector<std::string> notes;     // what the camera does with values outside its range
  std::vector<Finding> findings;      // every check made, in order
};

// The checks of one named extension-unit control.
struct NamedResult {
  std::string name;
  Verdict verdict = Verdict::kOk;
  std::vector<std::string> failures;
  std::vector<std::string> warnings;
  std::vector<std::string> notes;
  std::vector<Finding> findings;
};

struct Summary {
  int ok = 0, notSupported = 0, skipped = 0, failed = 0, warned = 0;
};

// A check of the whole camera (invalid properties, a second control).
struct CameraCheck {
  std::string title;  // "Invalid properties"
  Outcome outcome = Outcome::kOk;
  std::vector<Finding> findings;
  std::vector<std::string> failures;  // "... [id]"
};

struct Result {
  std::vector<PropertyResult> properties;     // 0..31 in order (fewer when the camera vanished)
  std::vector<NamedResult> named;             // the named extension-unit controls
  std::vector<std::string> settingsFailures;  // settings block; empty: agrees
  bool vanished = false;
  int32_t vanishedAt = -1;  // property being checked when the camera vanished
  bool restored = true;
  std::vector<std::string> notRestored;   // "Brightness is 0, was 128"
  std::vector<CameraCheck> cameraChecks;  // after the settings block
  Summary summary;
  bool CameraChecksPassed() const {
    for (const CameraCheck& c : cameraChecks) {
      if (c.outcome == Outcome::kFail) return false;
    }
    return true;
  }
  // Nothing FAILed: warnings pass.
  bool Passed() const {
    return summary.failed == 0 && settingsFailures.empty() && !vanished && restored &&
           CameraChecksPassed();
  }
};

Result Run(CameraSource& source);

// One line per property, the settings block, the restore, and the summary;
// lines end in LF.
std::string Text(const Result& result);

const char* VerdictName(Verdict verdict);  // "ok", "not supported", "skipped", "fail", "warn"
const char* OutcomeName(Outcome outcome);  // "ok", "not supported", "warn", "fail"

}  // namespace lumora::check
