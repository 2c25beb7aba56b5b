#include "tools/check.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>

#include "property/catalogue.h"
#include "tools/profile.h"

namespace lumora::check {

namespace {

constexpr int32_t kProperties = catalogue::kNamed;
constexpr uint32_t kBlockElements = catalogue::kBlockRows;

// The check never touches a trigger.
bool IsTrigger(int32_t p) { return catalogue::KindOf(p) == catalogue::Kind::kTrigger; }

std::string Num(int64_t v) { return std::to_string(v); }

std::string Hr(HResult h) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(h));
  return text;
}

std::string Name(int32_t p) {
  const char* name = PropertyName(p);
  return name != nullptr ? name : "?";
}

struct Original {
  bool read = false;  // value read at the start
  int32_t value = 0;
  int32_t modes = 0;  // VCM_Auto | VCM_Manual, 0 without modes
  int32_t mode = 0;   // mode at the start, 0 unknown
};

class Checker {
 public:
  explicit Checker(CameraSource& source) : s_(source) {}

  Result Run() {
    Result result;
    Snapshot();
    CompareBlock(&result);
    for (int32_t p = 0; p < kProperties && !vanished_; ++p) {
      PropertyResult r;
      r.property = p;
      CheckProperty(p, &r);
      if (vanished_) {
        result.vanished = true;
        result.vanishedAt = p;
        break;
      }
      if (!blockMismatch_[p].empty()) r.failures.push_back(blockMismatch_[p]);
      if (!r.failures.empty()) r.verdict = Verdict::kFail;
      result.properties.push_back(r);
    }
    RestoreAll(&result);
    for (const PropertyResult& r : result.properties) {
      switch (r.verdict) {
        case Verdict::kOk: ++result.summary.ok; break;
        case Verdict::kNotSupported: ++result.summary.notSupported; break;
        case Verdict::kSkipped: ++result.summary.skipped; break;
        case Verdict::kFail: ++result.summary.failed; break;
      }
    }
    return result;
  }

 private:
  // True when a failed call means the camera is gone.
  bool Gone(HResult h) {
    if (hr::Succeeded(h) || vanished_) return vanished_;
    if (!s_.Present()) vanished_ = true;
    return vanished_;
  }

  void Snapshot() {
    for (int32_t p = 0; p < kProperties; ++p) {
      if (IsTrigger(p)) continue;
      if (s_.Support(p, &support_[p]) != hr::Ok) support_[p] = 0;
      Original& o = original_[p];
      if ((support_[p] & VCS_get) != 0) o.read = hr::Succeeded(s_.Get(p, &o.value));
      int32_t modes = 0, mode = 0;
      if (hr::Succeeded(s_.ModeSupport(p, &modes))) o.modes = modes & (VCM_Auto | VCM_Manual);
      if (o.modes != 0 && hr::Succeeded(s_.GetMode(p, &mode))) o.mode = mode;
    }
  }

  void CompareBlock(Result* result) {
    std::array<int16_t, kBlockElements> block{};
    HResult h = s_.ReadSettings(block.data(), kBlockElements);
    if (hr::Failed(h)) {
      if (!Gone(h))
        result->settingsFailures.push_back("reading the settings block fails (" + Hr(h) + ")");
      return;
    }
    for (int32_t p = 0; p < static_cast<int32_t>(kBlockElements); ++p) {
      const Original& o = original_[p];
      if (IsTrigger(p) || !o.read || block[p] == static_cast<int16_t>(o.value)) continue;
      // A value the camera changes by itself (automatic mode, frame rate)
      // may differ between any two reads.
      int32_t again = 0;
      if (hr::Succeeded(s_.Get(p, &again)) && again != o.value) continue;
      blockMismatch_[p] = "the settings block gives " + Num(block[p]) + ", a single read " +
                          Num(static_cast<int16_t>(o.value));
      result->settingsFailures.push_back(Name(p) + ": " + blockMismatch_[p]);
    }
  }

  void CheckProperty(int32_t p, PropertyResult* r) {
    if (IsTrigger(p)) {
      r->verdict = Verdict::kSkipped;
      r->notes.push_back("a trigger, never touched");
      return;
    }
    const int32_t support = support_[p];
    const Original& o = original_[p];
    if (support == VCS_no) {
      r->verdict = Verdict::kNotSupported;
      int32_t v = 0;
      if (hr::Succeeded(s_.Get(p, &v))) {
        r->failures.push_back("claims no support, yet reads as " + Num(v));
      }
      return;
    }
    const bool canRead = (support & VCS_get) != 0;
    const bool canWrite = (support & VCS_set) != 0;
    int32_t v = 0;
    if (canRead && !o.read) {
      HResult h = s_.Get(p, &v);
      if (Gone(h)) return;
      if (hr::Failed(h)) {
        r->failures.push_back("claims read support, but reading fails (" + Hr(h) + ")");
      }
    }

    int32_t min = 0, max = 0, step = 0, def = 0;
    HResult h = s_.Range(p, &min, &max, &step, &def);
    if (Gone(h)) return;
    bool sane = hr::Succeeded(h);
    if (!sane) {
      r->failures.push_back("the range cannot be read (" + Hr(h) + ")");
    } else {
      int32_t reported = 0;
      if (hr::Succeeded(s_.Default(p, &reported))) def = reported;
      const std::string range = Num(min) + ".." + Num(max);
      if (min > max) {
        r->failures.push_back("range " + range + ": minimum above maximum");
        sane = false;
      } else if (step <= 0 && min != max) {
        r->failures.push_back("range " + range + " with stepping delta " + Num(step));
        sane = false;
      } else {
        if (def < min || def > max) {
          r->failures.push_back("default " + Num(def) + " outside the range " + range);
        }
        // The setting selector's value is the last selection, an action
        // rather than a setting: not held against the range.
        const bool setting = o.read && p != VCP_Setting;
        if (setting && (o.value < min || o.value > max)) {
          r->failures.push_back("value " + Num(o.value) + " outside the range " + range);
        } else if (setting && step > 0 && (static_cast<int64_t>(o.value) - min) % step != 0) {
          r->failures.push_back("value " + Num(o.value) + " not on a step of " + Num(step) +
                                " from " + Num(min));
        }
      }
    }
    if (!canWrite) return;
    if (p == VCP_Setting) {
      r->notes.push_back("not written: selecting a setting loads it");
      return;
    }
    if (!canRead) {
      r->notes.push_back("write only: not written, as it could not be restored");
      return;
    }
    if (!sane || !o.read) return;

    // A manual value written while the control is automatic may be ignored.
    if ((o.modes & VCM_Manual) != 0 && o.mode == VCM_Auto) {
      HResult m = s_.SetMode(p, VCM_Manual);
      if (Gone(m)) return;
      modeChanged_[p] = true;
    }
    WriteAndRead(p, min, "the minimum", r);
    if (vanished_) return;
    WriteAndRead(p, max, "the maximum", r);
    if (vanished_) return;
    if (def != min && def != max && def >= min && def <= max) {
      WriteAndRead(p, def, "the default", r);
      if (vanished_) return;
    }
    if (max < INT32_MAX) Outside(p, max + 1, min, max, r);
    if (vanished_) return;
    if (min > INT32_MIN) Outside(p, min - 1, min, max, r);
    if (vanished_) return;
    CheckModes(p, r);
    if (vanished_) return;
    Restore(p);
  }

  void WriteAndRead(int32_t p, int32_t value, const char* what, PropertyResult* r) {
    HResult h = s_.Set(p, value);
    if (Gone(h)) return;
    written_[p] = true;
    if (hr::Failed(h)) {
      r->failures.push_back("writing " + std::string(what) + " " + Num(value) + " fails (" + Hr(h) +
                            ")");
      return;
    }
    int32_t back = 0;
    h = s_.Get(p, &back);
    if (Gone(h)) return;
    if (hr::Failed(h)) {
      r->failures.push_back("reading after writing " + Num(value) + " fails (" + Hr(h) + ")");
    } else if (back != value) {
      r->failures.push_back("wrote " + std::string(what) + " " + Num(value) + ", read back " +
                            Num(back));
    }
  }

  void Outside(int32_t p, int32_t value, int32_t min, int32_t max, PropertyResult* r) {
    HResult h = s_.Set(p, value);
    if (hr::Failed(h)) {
      r->notes.push_back(Num(value) + " refused");
      return;
    }
    written_[p] = true;
    int32_t back = 0;
    h = s_.Get(p, &back);
    if (Gone(h)) return;
    if (hr::Failed(h)) {
      r->failures.push_back("reading after writing " + Num(value) + " fails (" + Hr(h) + ")");
    } else if (back < min || back > max) {
      r->failures.push_back("accepts " + Num(value) + " outside the range " + Num(min) + ".." +
                            Num(max) + " (reads " + Num(back) + ")");
    } else {
      r->notes.push_back(Num(value) + " clamped to " + Num(back));
    }
  }

  void CheckModes(int32_t p, PropertyResult* r) {
    const Original& o = original_[p];
    if (o.modes != (VCM_Auto | VCM_Manual)) return;
    int32_t now = 0;
    HResult h = s_.GetMode(p, &now);
    if (Gone(h)) return;
    if (hr::Failed(h)) {
      r->failures.push_back("the mode cannot be read (" + Hr(h) + ")");
      return;
    }
    const int32_t other = now == VCM_Auto ? VCM_Manual : VCM_Auto;
    for (int32_t mode : {other, now}) {
      const char* name = mode == VCM_Auto ? "automatic" : "manual";
      h = s_.SetMode(p, mode);
      if (Gone(h)) return;
      modeChanged_[p] = true;
      int32_t back = 0;
      if (hr::Failed(h)) {
        r->failures.push_back(std::string("switching to ") + name + " fails (" + Hr(h) + ")");
        return;
      }
      h = s_.GetMode(p, &back);
      if (Gone(h)) return;
      if (hr::Failed(h) || back != mode) {
        r->failures.push_back(std::string("switched to ") + name + ", the mode reads " +
                              (hr::Failed(h)      ? "fail"
                               : back == VCM_Auto ? "automatic"
                                                  : "manual"));
        return;
      }
    }
  }

  // Writes back what the check changed: the value, then an automatic mode.
  // A control whose reads differ from its writes by a fixed offset (the
  // check has just failed it for that) gets the value that reads back as
  // the original.
  void Restore(int32_t p) {
    const Original& o = original_[p];
    if (!o.read || (!written_[p] && !modeChanged_[p])) return;
    if (written_[p] && hr::Succeeded(s_.Set(p, o.value))) {
      int32_t back = 0;
      if (hr::Succeeded(s_.Get(p, &back)) && back != o.value) {
        const int64_t corrected = 2 * static_cast<int64_t>(o.value) - back;
        if (corrected >= INT32_MIN && corrected <= INT32_MAX &&
            hr::Succeeded(s_.Set(p, static_cast<int32_t>(corrected))) &&
            (hr::Failed(s_.Get(p, &back)) || back != o.value)) {
          s_.Set(p, o.value);
        }
      }
    }
    if (o.mode != 0 && (modeChanged_[p] || o.mode == VCM_Auto)) s_.SetMode(p, o.mode);
  }

  void RestoreAll(Result* result) {
    // Automatic-mode switches first, so that manual values are not
    // overridden by a mode switched on after them.
    std::vector<cli::ProfileEntry> entries;
    for (int32_t p = 0; p < kProperties; ++p) {
      if (written_[p] || modeChanged_[p]) entries.push_back({p, 0, 0});
    }
    for (const cli::ProfileEntry& e : cli::LoadOrder(entries)) Restore(e.property);
    for (const cli::ProfileEntry& e : entries) {
      const int32_t p = e.property;
      const Original& o = original_[p];
      if (!o.read) continue;
      int32_t value = 0, mode = 0;
      if (hr::Failed(s_.Get(p, &value))) {
        result->notRestored.push_back(Name(p) + " cannot be read, was " + Num(o.value));
        continue;
      }
      // In automatic mode the camera chooses the value itself.
      if (o.mode == VCM_Auto) {
        if (hr::Failed(s_.GetMode(p, &mode)) || mode != VCM_Auto) {
          result->notRestored.push_back(Name(p) + " is no longer automatic");
        }
      } else if (value != o.value) {
        result->notRestored.push_back(Name(p) + " is " + Num(value) + ", was " + Num(o.value));
      }
    }
    result->restored = result->notRestored.empty();
  }

  CameraSource& s_;
  std::array<int32_t, kProperties> support_{};
  std::array<Original, kProperties> original_{};
  std::array<bool, kProperties> written_{};
  std::array<bool, kProperties> modeChanged_{};
  std::array<std::string, kProperties> blockMismatch_{};
  bool vanished_ = false;
};

std::string Join(const std::vector<std::string>& parts) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += "; ";
    text += parts[i];
  }
  return text;
}

}  // namespace

Result Run(CameraSource& source) { return Checker(source).Run(); }

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kOk: return "ok";
    case Verdict::kNotSupported: return "not supported";
    case Verdict::kSkipped: return "skipped";
    case Verdict::kFail: return "fail";
  }
  return "?";
}

std::string Text(const Result& result) {
  std::string text;
  for (const PropertyResult& r : result.properties) {
    std::string name = Name(r.property);
    name.resize(std::max<size_t>(name.size(), 18), ' ');
    std::string line = name + " ";
    switch (r.verdict) {
      case Verdict::kOk: line += "OK"; break;
      case Verdict::kNotSupported: line += "not supported"; break;
      case Verdict::kSkipped: line += "skipped"; break;
      case Verdict::kFail: line += "FAIL: " + Join(r.failures); break;
    }
    if (!r.notes.empty()) line += " (" + Join(r.notes) + ")";
    text += line + "\n";
  }
  if (result.vanished) {
    text += "The camera vanished while " + Name(result.vanishedAt) +
            " was being checked; the check stopped.\n";
  } else if (result.settingsFailures.empty()) {
    text += "Settings block     OK\n";
  } else {
    text += "Settings block     FAIL: " + Join(result.settingsFailures) + "\n";
  }
  if (result.restored) {
    text += "Every changed value was restored.\n";
  } else if (result.vanished) {
    text += "Values could not be restored: " + Join(result.notRestored) + "\n";
  } else {
    text += "NOT RESTORED: " + Join(result.notRestored) + "\n";
  }
  const Summary& s = result.summary;
  text += "Summary: " + Num(s.ok) + " OK, " + Num(s.notSupported) + " not supported, " +
          Num(s.skipped) + " skipped, " + Num(s.failed) + " failed" +
          (result.Passed() ? "; passed\n" : "; FAILED\n");
  return text;
}

}  // namespace lumora::check
