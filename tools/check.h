// "lumora check": tests every property a camera claims against the camera's
// own answers (portable; the camera is a CameraSource).
//
// Per property:
//   - support agrees with what can be done: a property that claims read
//     support can be read, one that claims write support can be written, one
//     that claims neither cannot be read;
//   - the range is sane (minimum <= maximum, stepping delta > 0 unless
//     minimum = maximum, the default within it) and the current value lies
//     within it, on a step;
//   - minimum, maximum and default, written one after another, read back as
//     written;
//   - a value just outside the range is refused or clamped (which one is
//     noted); a camera that then holds a value outside its range fails;
//   - a control with automatic and manual modes switches to the other mode
//     and back;
//   - the settings block (GetSetting) gives the values of single reads.
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

enum class Verdict { kOk, kNotSupported, kSkipped, kFail };

struct PropertyResult {
  int32_t property = 0;
  Verdict verdict = Verdict::kOk;
  std::vector<std::string> failures;  // why it failed, one text each
  std::vector<std::string> notes;     // what the camera does with values outside its range
};

struct Summary {
  int ok = 0, notSupported = 0, skipped = 0, failed = 0;
};

struct Result {
  std::vector<PropertyResult> properties;     // 0..31 in order (fewer when the camera vanished)
  std::vector<std::string> settingsFailures;  // settings block; empty: agrees
  bool vanished = false;
  int32_t vanishedAt = -1;  // property being checked when the camera vanished
  bool restored = true;
  std::vector<std::string> notRestored;  // "Brightness is 0, was 128"
  Summary summary;
  bool Passed() const {
    return summary.failed == 0 && settingsFailures.empty() && !vanished && restored;
  }
};

Result Run(CameraSource& source);

// One line per property, the settings block, the restore, and the summary;
// lines end in LF.
std::string Text(const Result& result);

const char* VerdictName(Verdict verdict);  // "ok", "not supported", "skipped", "fail"

}  // namespace lumora::check
