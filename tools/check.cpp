#include "tools/check.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>

#include "base/text.h"
#include "property/catalogue.h"
#include "tools/profile.h"
#include "tools/profile_load.h"
#include "xu/definitions.h"

namespace lumora::check {

const CheckInfo kChecks[] = {
    {"call.output-written", "a call that reports success has written every output (FAIL)"},
    {"support.readable", "a property that claims read support can be read (FAIL)"},
    {"support.none-unreadable", "a property that claims no support cannot be read (FAIL)"},
    {"range.readable", "the range of a supported property can be read (FAIL)"},
    {"range.min-below-max", "the minimum is not above the maximum (FAIL)"},
    {"range.step-positive", "the stepping delta is above 0 unless minimum = maximum (FAIL)"},
    {"range.default-inside", "the default lies within the range (FAIL)"},
    {"range.default-on-step", "the default lies on a step from the minimum (WARN)"},
    {"value.inside-range", "the current value lies within the range (FAIL)"},
    {"value.on-step", "the current value lies on a step from the minimum (WARN)"},
    {"write.min-reads-back", "the minimum, written, reads back as written (FAIL)"},
    {"write.max-reads-back", "the maximum, written, reads back as written (FAIL)"},
    {"write.default-reads-back",
     "the default, written (as a reset writes it), reads back as written (WARN)"},
    {"range.wider-than-kept",
     "an end of the range, written, is kept as written rather than as a value inside (WARN)"},
    {"outside.above-max", "a value above the maximum is refused or clamped into the range (FAIL)"},
    {"outside.below-min", "a value below the minimum is refused or clamped into the range (FAIL)"},
    {"mode.switches", "a control with both modes switches to the other mode and back (FAIL)"},
    {"settings.block-agrees", "the settings block gives the values of single reads (FAIL)"},
    {"invalid.refused",
     "invalid property numbers (negative, one past the end, far out) are refused and change "
     "nothing (FAIL)"},
    {"second.sees-writes",
     "a second control object attached to the same device reads the first one's writes (FAIL)"},
    {"xu.readable", "a named extension-unit control that claims read access can be read (FAIL)"},
    {"xu.value-valid",
     "a named control's value lies within its range, is a label of its menu, on or off (FAIL)"},
    {"xu.write-reads-back",
     "a named control's range ends, menu labels, on and off, written, read back as written "
     "(FAIL)"},
    {"xu.outside-refused",
     "a value outside a named control's range or menu is refused and changes nothing (FAIL)"},
    {"xu.raw-length-refused",
     "a raw write one byte longer than the control is refused and changes nothing (FAIL)"},
};
const size_t kCheckCount = sizeof kChecks / sizeof kChecks[0];

namespace {

constexpr int32_t kProperties = catalogue::kNamed;
constexpr uint32_t kBlockElements = catalogue::kBlockRows;

// Sentinels written into every output before a call; a call that reports
// success and leaves the first is asked again with the second.
constexpr int32_t kPoison = 0x5AFEC0DE;
constexpr int32_t kPoison2 = static_cast<int32_t>(0xA5A5A5A5u);
constexpr int16_t kPoison16 = 0x5AFE;
constexpr int16_t kPoison16b = static_cast<int16_t>(0xA5A5u);
// What a poisoned call answers when its output was not written
// (E_UNEXPECTED): the finding is already made.
constexpr HResult kNotWritten = static_cast<HResult>(0x8000FFFFu);

// Property numbers no camera has: negative, one past the end (the
// catalogue's values and the unnamed 32 that every handler accepts), far out.
constexpr int32_t kInvalidProperties[] = {-1, INT32_MIN, kProperties + 1, 1000000, INT32_MAX};

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

bool OnStep(int32_t value, int32_t min, int32_t step) {
  return step <= 0 || (static_cast<int64_t>(value) - min) % step == 0;
}

struct Original {
  bool read = false;  // value read at the start
  int32_t value = 0;
  int32_t modes = 0;  // VCM_Auto | VCM_Manual, 0 without modes
  int32_t mode = 0;   // mode at the start, 0 unknown
};

// The range as the property's checks use it.
struct RangeFacts {
  bool sane = false;
  int32_t min = 0, max = 0, step = 0, def = 0;
};

enum class End { kMin, kMax, kDefault };

class Checker {
 public:
  explicit Checker(CameraSource& source) : s_(source) {}

  Result Run() {
    Result result;
    Snapshot();
    CompareBlock(&result);
    if (!vanished_) result.cameraChecks.push_back(CheckInvalid());
    for (int32_t p = 0; p < kProperties && !vanished_; ++p) {
      PropertyResult r;
      r.property = p;
      current_ = &r;
      for (Finding& f : pending_[p]) r.findings.push_back(f);
      CheckProperty(p, &r);
      current_ = nullptr;
      if (vanished_) {
        result.vanished = true;
        result.vanishedAt = p;
        break;
      }
      if (!blockMismatch_[p].empty()) {
        Add(&r, "settings.block-agrees", Outcome::kFail, blockMismatch_[p]);
      }
      Conclude(&r);
      result.properties.push_back(r);
    }
    if (!vanished_) result.cameraChecks.push_back(CheckSecondControl(result));
    RestoreAll(&result);
    for (const PropertyResult& r : result.properties) {
      switch (r.verdict) {
        case Verdict::kOk: ++result.summary.ok; break;
        case Verdict::kNotSupported: ++result.summary.notSupported; break;
        case Verdict::kSkipped: ++result.summary.skipped; break;
        case Verdict::kFail: ++result.summary.failed; break;
        case Verdict::kWarn: ++result.summary.warned; break;
      }
    }
    return result;
  }

 private:
  static void Add(PropertyResult* r, const char* id, Outcome outcome, const std::string& text) {
    r->findings.push_back({id, outcome, text});
  }
  // A check made and passed (listed in --json, not in the text).
  static void Pass(PropertyResult* r, const char* id) { Add(r, id, Outcome::kOk, ""); }

  // The verdict from the findings: any FAIL fails, else any WARN warns.
  static void Conclude(PropertyResult* r) {
    for (const Finding& f : r->findings) {
      if (f.outcome == Outcome::kFail) r->failures.push_back(f.text);
      if (f.outcome == Outcome::kWarn) r->warnings.push_back(f.text);
    }
    if (!r->failures.empty()) {
      r->verdict = Verdict::kFail;
    } else if (!r->warnings.empty()) {
      r->verdict = Verdict::kWarn;
    }
  }

  // True when a failed call means the camera is gone.
  bool Gone(HResult h) {
    if (hr::Succeeded(h) || vanished_) return vanished_;
    if (!s_.Present()) vanished_ = true;
    return vanished_;
  }

  // --- poisoned calls ------------------------------------------------------

  void NotWritten(int32_t p, const std::string& what) {
    const std::string text = what + " reports success without writing its output";
    std::vector<Finding>& list = current_ != nullptr ? current_->findings : pending_[p];
    for (const Finding& f : list) {
      if (f.text == text) return;
    }
    list.push_back({"call.output-written", Outcome::kFail, text});
  }

  template <typename Call>
  HResult One(int32_t p, const char* what, int32_t* out, Call call) {
    *out = kPoison;
    HResult h = call(out);
    if (hr::Failed(h) || *out != kPoison) return h;
    *out = kPoison2;
    h = call(out);
    if (hr::Failed(h) || *out != kPoison2) return h;
    NotWritten(p, what);
    return kNotWritten;
  }

  HResult Support(int32_t p, int32_t* v) {
    return One(p, "Support", v, [&](int32_t* o) { return s_.Support(p, o); });
  }
  HResult Get(int32_t p, int32_t* v) {
    return One(p, "Get", v, [&](int32_t* o) { return s_.Get(p, o); });
  }
  HResult GetMode(int32_t p, int32_t* v) {
    return One(p, "GetMode", v, [&](int32_t* o) { return s_.GetMode(p, o); });
  }
  HResult ModeSupport(int32_t p, int32_t* v) {
    return One(p, "ModeSupport", v, [&](int32_t* o) { return s_.ModeSupport(p, o); });
  }
  HResult Default(int32_t p, int32_t* v) {
    return One(p, "Default", v, [&](int32_t* o) { return s_.Default(p, o); });
  }
  HResult Range(int32_t p, int32_t* min, int32_t* max, int32_t* step, int32_t* def) {
    int32_t* outs[] = {min, max, step, def};
    for (int32_t poison : {kPoison, kPoison2}) {
      for (int32_t* o : outs) *o = poison;
      HResult h = s_.Range(p, min, max, step, def);
      if (hr::Failed(h)) return h;
      if (std::none_of(std::begin(outs), std::end(outs), [&](int32_t* o) { return *o == poison; }))
        return h;
    }
    const char* names[] = {"minimum", "maximum", "stepping delta", "default"};
    for (size_t i = 0; i < 4; ++i) {
      if (*outs[i] == kPoison2) NotWritten(p, std::string("Range (its ") + names[i] + ")");
    }
    return kNotWritten;
  }

  // --- the steps -----------------------------------------------------------

  void Snapshot() {
    for (int32_t p = 0; p < kProperties; ++p) {
      if (IsTrigger(p)) continue;
      if (Support(p, &support_[p]) != hr::Ok) support_[p] = 0;
      Original& o = original_[p];
      if ((support_[p] & VCS_get) != 0) o.read = hr::Succeeded(Get(p, &o.value));
      int32_t modes = 0, mode = 0;
      if (hr::Succeeded(ModeSupport(p, &modes))) o.modes = modes & (VCM_Auto | VCM_Manual);
      if (o.modes != 0 && hr::Succeeded(GetMode(p, &mode))) o.mode = mode;
    }
  }

  void CompareBlock(Result* result) {
    std::array<int16_t, kBlockElements> block{};
    HResult h = hr::Ok;
    std::array<bool, kBlockElements> unwritten{};
    for (int16_t poison : {kPoison16, kPoison16b}) {
      block.fill(poison);
      h = s_.ReadSettings(block.data(), kBlockElements);
      if (hr::Failed(h)) break;
      for (uint32_t k = 0; k < kBlockElements; ++k) {
        unwritten[k] = block[k] == poison && original_[k].read && !IsTrigger(int32_t(k));
      }
      if (std::none_of(unwritten.begin(), unwritten.end(), [](bool b) { return b; })) break;
    }
    if (hr::Failed(h)) {
      if (!Gone(h))
        result->settingsFailures.push_back("reading the settings block fails (" + Hr(h) + ")");
      return;
    }
    for (int32_t p = 0; p < static_cast<int32_t>(kBlockElements); ++p) {
      const Original& o = original_[p];
      if (unwritten[p]) {
        blockMismatch_[p] = "the settings block reports success without writing this element";
        result->settingsFailures.push_back(Name(p) + ": " + blockMismatch_[p]);
        continue;
      }
      if (IsTrigger(p) || !o.read || block[p] == static_cast<int16_t>(o.value)) continue;
      // A value the camera changes by itself (automatic mode, frame rate)
      // may differ between any two reads.
      int32_t again = 0;
      if (hr::Succeeded(Get(p, &again)) && again != o.value) continue;
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
    if (!CheckSupport(p, r)) return;
    RangeFacts range = CheckRange(p, r);
    if (vanished_) return;
    if (range.sane) CheckValue(p, range, r);
    if (!Writable(p, range, r)) return;
    // A manual value written while the control is automatic may be ignored.
    const Original& o = original_[p];
    if ((o.modes & VCM_Manual) != 0 && o.mode == VCM_Auto) {
      HResult m = s_.SetMode(p, VCM_Manual);
      if (Gone(m)) return;
      modeChanged_[p] = true;
    }
    CheckWrites(p, range, r);
    if (vanished_) return;
    CheckOutside(p, range, r);
    if (vanished_) return;
    CheckModes(p, r);
    if (vanished_) return;
    Restore(p);
  }

  // Support against what can be read; false when nothing more is to check.
  bool CheckSupport(int32_t p, PropertyResult* r) {
    const int32_t support = support_[p];
    if (support == VCS_no) {
      r->verdict = Verdict::kNotSupported;
      int32_t v = 0;
      if (hr::Succeeded(Get(p, &v))) {
        Add(r, "support.none-unreadable", Outcome::kFail,
            "claims no support, yet reads as " + Num(v));
      } else {
        Pass(r, "support.none-unreadable");
      }
      return false;
    }
    if ((support & VCS_get) != 0 && !original_[p].read) {
      int32_t v = 0;
      HResult h = Get(p, &v);
      if (Gone(h)) return false;
      if (hr::Failed(h) && h != kNotWritten) {
        Add(r, "support.readable", Outcome::kFail,
            "claims read support, but reading fails (" + Hr(h) + ")");
      }
    } else if ((support & VCS_get) != 0) {
      Pass(r, "support.readable");
    }
    return true;
  }

  RangeFacts CheckRange(int32_t p, PropertyResult* r) {
    RangeFacts f;
    HResult h = Range(p, &f.min, &f.max, &f.step, &f.def);
    if (Gone(h)) return f;
    if (hr::Failed(h)) {
      if (h != kNotWritten)
        Add(r, "range.readable", Outcome::kFail, "the range cannot be read (" + Hr(h) + ")");
      return f;
    }
    Pass(r, "range.readable");
    int32_t reported = 0;
    if (hr::Succeeded(Default(p, &reported))) f.def = reported;
    const std::string range = Num(f.min) + ".." + Num(f.max);
    if (f.min > f.max) {
      Add(r, "range.min-below-max", Outcome::kFail, "range " + range + ": minimum above maximum");
      return f;
    }
    if (f.step <= 0 && f.min != f.max) {
      Add(r, "range.step-positive", Outcome::kFail,
          "range " + range + " with stepping delta " + Num(f.step));
      return f;
    }
    f.sane = true;
    Pass(r, "range.min-below-max");
    Pass(r, "range.step-positive");
    InsideOnStep("default", f.def, f, "range.default-inside", "range.default-on-step", r);
    return f;
  }

  // A value of the property ("default", "value") within the range (FAIL
  // otherwise) and on a step from the minimum (WARN otherwise).
  static void InsideOnStep(const char* what, int32_t v, const RangeFacts& f, const char* insideId,
                           const char* stepId, PropertyResult* r) {
    if (v < f.min || v > f.max) {
      Add(r, insideId, Outcome::kFail,
          std::string(what) + " " + Num(v) + " outside the range " + Num(f.min) + ".." +
              Num(f.max));
      return;
    }
    Pass(r, insideId);
    if (!OnStep(v, f.min, f.step)) {
      Add(r, stepId, Outcome::kWarn,
          std::string(what) + " " + Num(v) + " not on a step of " + Num(f.step) + " from " +
              Num(f.min));
    } else {
      Pass(r, stepId);
    }
  }

  void CheckValue(int32_t p, const RangeFacts& f, PropertyResult* r) {
    const Original& o = original_[p];
    // The setting selector's value is the last selection, an action rather
    // than a setting: not held against the range.
    if (!o.read || p == VCP_Setting) return;
    InsideOnStep("value", o.value, f, "value.inside-range", "value.on-step", r);
  }

  // Whether the check writes the property (notes say why not).
  bool Writable(int32_t p, const RangeFacts& f, PropertyResult* r) {
    if ((support_[p] & VCS_set) == 0) return false;
    if (p == VCP_Setting) {
      r->notes.push_back("not written: selecting a setting loads it");
      return false;
    }
    if ((support_[p] & VCS_get) == 0) {
      r->notes.push_back("write only: not written, as it could not be restored");
      return false;
    }
    return f.sane && original_[p].read;
  }

  void CheckWrites(int32_t p, const RangeFacts& f, PropertyResult* r) {
    last_ = original_[p].value;
    WriteAndRead(p, f.min, End::kMin, r);
    if (vanished_) return;
    WriteAndRead(p, f.max, End::kMax, r);
    if (vanished_) return;
    if (f.def != f.min && f.def != f.max && f.def >= f.min && f.def <= f.max) {
      WriteAndRead(p, f.def, End::kDefault, r);
    }
  }

  void WriteAndRead(int32_t p, int32_t value, End end, PropertyResult* r) {
    static const char* const kIds[] = {"write.min-reads-back", "write.max-reads-back",
                                       "write.default-reads-back"};
    static const char* const kWhat[] = {"the minimum", "the maximum", "the default"};
    const char* id = kIds[static_cast<int>(end)];
    const std::string what = kWhat[static_cast<int>(end)];
    // A default that does not read back is what a reset leaves behind:
    // users can live with it.
    const Outcome mismatch = end == End::kDefault ? Outcome::kWarn : Outcome::kFail;
    const int32_t before = last_;
    HResult h = s_.Set(p, value);
    if (Gone(h)) return;
    written_[p] = true;
    if (hr::Failed(h)) {
      Add(r, id, Outcome::kFail, "writing " + what + " " + Num(value) + " fails (" + Hr(h) + ")");
      return;
    }
    int32_t back = 0;
    if (!ReadBack(p, value, id, r, &back)) return;
    last_ = back;
    if (back == value) return Pass(r, id);
    const std::string text = "wrote " + what + " " + Num(value) + ", read back " + Num(back);
    if (end != End::kDefault && back != before && Keeps(p, back)) {
      // Clamped to a value it keeps: the range claims more than it holds.
      const bool inward = end == End::kMin ? back > value : back < value;
      if (inward) {
        Add(r, "range.wider-than-kept", Outcome::kWarn,
            "wrote " + what + " " + Num(value) + ", the camera keeps " + Num(back));
        return;
      }
    }
    Add(r, id, mismatch, text);
  }

  // Whether a value written reads back as written.
  bool Keeps(int32_t p, int32_t value) {
    int32_t back = 0;
    return hr::Succeeded(s_.Set(p, value)) && hr::Succeeded(Get(p, &back)) && back == value;
  }

  void CheckOutside(int32_t p, const RangeFacts& f, PropertyResult* r) {
    if (f.max < INT32_MAX) Outside(p, f.max + 1, f, "outside.above-max", r);
    if (vanished_) return;
    if (f.min > INT32_MIN) Outside(p, f.min - 1, f, "outside.below-min", r);
  }

  // Reads a property back after a write of value; false when the camera is
  // gone or the read fails (a failure is a finding under id).
  bool ReadBack(int32_t p, int32_t value, const char* id, PropertyResult* r, int32_t* back) {
    const HResult h = Get(p, back);
    if (Gone(h)) return false;
    if (hr::Failed(h)) {
      if (h != kNotWritten) {
        Add(r, id, Outcome::kFail,
            "reading after writing " + Num(value) + " fails (" + Hr(h) + ")");
      }
      return false;
    }
    return true;
  }

  void Outside(int32_t p, int32_t value, const RangeFacts& f, const char* id, PropertyResult* r) {
    HResult h = s_.Set(p, value);
    if (hr::Failed(h)) {
      r->notes.push_back(Num(value) + " refused");
      return Pass(r, id);
    }
    written_[p] = true;
    int32_t back = 0;
    if (!ReadBack(p, value, id, r, &back)) return;
    if (back < f.min || back > f.max) {
      Add(r, id, Outcome::kFail,
          "accepts " + Num(value) + " outside the range " + Num(f.min) + ".." + Num(f.max) +
              " (reads " + Num(back) + ")");
    } else {
      r->notes.push_back(Num(value) + " clamped to " + Num(back));
      Pass(r, id);
    }
  }

  void CheckModes(int32_t p, PropertyResult* r) {
    const Original& o = original_[p];
    if (o.modes != (VCM_Auto | VCM_Manual)) return;
    int32_t now = 0;
    HResult h = GetMode(p, &now);
    if (Gone(h)) return;
    if (hr::Failed(h)) {
      if (h != kNotWritten) {
        Add(r, "mode.switches", Outcome::kFail, "the mode cannot be read (" + Hr(h) + ")");
      }
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
        Add(r, "mode.switches", Outcome::kFail,
            std::string("switching to ") + name + " fails (" + Hr(h) + ")");
        return;
      }
      h = GetMode(p, &back);
      if (Gone(h)) return;
      if (hr::Failed(h) || back != mode) {
        Add(r, "mode.switches", Outcome::kFail,
            std::string("switched to ") + name + ", the mode reads " +
                (hr::Failed(h)       ? "fail"
                 : back == VCM_Auto ? "automatic"
                                     : "manual"));
        return;
      }
    }
    Pass(r, "mode.switches");
  }

  // Invalid property numbers: every call refused (a support or mode query
  // may instead answer none), and no value of a real property changed.
  CameraCheck CheckInvalid() {
    CameraCheck c;
    c.title = "Invalid properties";
    std::vector<std::string> bad;
    for (int32_t p : kInvalidProperties) {
      const std::string n = Num(p);
      int32_t a = 0, b = 0, d = 0, e = 0;
      a = kPoison;
      if (hr::Succeeded(s_.Support(p, &a)) && a != 0) bad.push_back("Support(" + n + ")");
      if (hr::Succeeded(s_.Get(p, &a))) bad.push_back("Get(" + n + ")");
      if (hr::Succeeded(s_.Range(p, &a, &b, &d, &e))) bad.push_back("Range(" + n + ")");
      if (hr::Succeeded(s_.Default(p, &a))) bad.push_back("Default(" + n + ")");
      a = kPoison;
      if (hr::Succeeded(s_.ModeSupport(p, &a)) && a != 0) bad.push_back("ModeSupport(" + n + ")");
      if (hr::Succeeded(s_.GetMode(p, &a))) bad.push_back("GetMode(" + n + ")");
      if (hr::Succeeded(s_.Set(p, 0))) bad.push_back("Set(" + n + ", 0)");
      if (hr::Succeeded(s_.SetMode(p, VCM_Manual))) bad.push_back("SetMode(" + n + ")");
    }
    if (!bad.empty()) {
      std::string list;
      for (const std::string& s : bad) list += (list.empty() ? "" : ", ") + s;
      c.findings.push_back({"invalid.refused", Outcome::kFail, list + " succeed"});
    }
    for (int32_t p = 0; p < kProperties; ++p) {
      const Original& o = original_[p];
      if (!o.read || o.mode == VCM_Auto || IsTrigger(p)) continue;
      int32_t now = 0, again = 0;
      if (hr::Failed(s_.Get(p, &now)) || now == o.value) continue;
      // A value the camera changes by itself differs between two reads.
      if (hr::Succeeded(s_.Get(p, &again)) && again != now) continue;
      c.findings.push_back({"invalid.refused", Outcome::kFail,
                            Name(p) + " changed from " + Num(o.value) + " to " + Num(now)});
    }
    if (c.findings.empty()) c.findings.push_back({"invalid.refused", Outcome::kOk, ""});
    Settle(&c);
    return c;
  }

  // A write through this control, read through a second one: the first
  // property whose writes read back, at an end of its range other than its
  // value.
  CameraCheck CheckSecondControl(const Result& result) {
    CameraCheck c;
    c.title = "Second control";
    std::unique_ptr<CameraSource> other = s_.OpenAnother();
    for (const PropertyResult& r : result.properties) {
      const int32_t p = r.property;
      const Original& o = original_[p];
      if (!other || r.verdict != Verdict::kOk || !written_[p] || o.mode == VCM_Auto) continue;
      int32_t min = 0, max = 0, step = 0, def = 0;
      if (hr::Failed(s_.Range(p, &min, &max, &step, &def)) || min == max) continue;
      const int32_t value = o.value == min ? max : min;
      if (hr::Failed(s_.Set(p, value))) continue;
      int32_t seen = kPoison;
      HResult h = other->Get(p, &seen);
      if (hr::Failed(h) || seen != value) {
        c.findings.push_back({"second.sees-writes", Outcome::kFail,
                              "wrote " + Name(p) + " = " + Num(value) +
                                  " through one control, the second reads " +
                                  (hr::Failed(h) ? "fail (" + Hr(h) + ")" : Num(seen))});
      } else {
        c.findings.push_back({"second.sees-writes", Outcome::kOk, ""});
      }
      break;
    }
    if (c.findings.empty()) {
      c.findings.push_back({"second.sees-writes", Outcome::kNotSupported,
                            other ? "no property to write" : "no second control object"});
    }
    Settle(&c);
    return c;
  }

  static void Settle(CameraCheck* c) {
    c->outcome = c->findings.empty() ? Outcome::kOk : c->findings.front().outcome;
    for (const Finding& f : c->findings) {
      if (f.outcome == Outcome::kFail) {
        c->outcome = Outcome::kFail;
        c->failures.push_back(f.text);
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
  PropertyResult* current_ = nullptr;  // the property being checked
  int32_t last_ = 0;                   // the value last read back
  std::array<int32_t, kProperties> support_{};
  std::array<Original, kProperties> original_{};
  std::array<bool, kProperties> written_{};
  std::array<bool, kProperties> modeChanged_{};
  std::array<std::string, kProperties> blockMismatch_{};
  std::array<std::vector<Finding>, kProperties> pending_{};  // findings before the property's turn
  bool vanished_ = false;
};

// "text [id]; text [id]" of the findings with one outcome.
std::string Listed(const std::vector<Finding>& findings, Outcome outcome) {
  std::string text;
  for (const Finding& f : findings) {
    if (f.outcome != outcome) continue;
    if (!text.empty()) text += "; ";
    text += f.text + " [" + f.id + "]";
  }
  return text;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += "; ";
    text += parts[i];
  }
  return text;
}

std::string Padded(std::string name) {
  name.resize(std::max<size_t>(name.size(), 18), ' ');
  return name + " ";
}

}  // namespace

// The checks of the named extension-unit controls (see check.h).
class NamedChecker {
 public:
  explicit NamedChecker(xutool::XuSource& xu) : xu_(xu) {}

  void Run(Result* result) {
    for (const xutool::NamedListing& n : xutool::CollectNamed(xu_)) {
      if (gone_) break;
      NamedResult r;
      r.name = n.name;
      CheckOne(n, &r);
      for (const Finding& f : r.findings) {
        if (f.outcome == Outcome::kFail) r.failures.push_back(f.text);
        if (f.outcome == Outcome::kWarn) r.warnings.push_back(f.text);
      }
      r.verdict = !r.failures.empty()   ? Verdict::kFail
                  : !r.warnings.empty() ? Verdict::kWarn
                                        : Verdict::kOk;
      switch (r.verdict) {
        case Verdict::kFail: ++result->summary.failed; break;
        case Verdict::kWarn: ++result->summary.warned; break;
        default: ++result->summary.ok; break;
      }
      if (!restoreNote_.empty()) {
        result->notRestored.push_back(restoreNote_);
        result->restored = false;
        restoreNote_.clear();
      }
      result->named.push_back(r);
    }
    if (gone_) {
      result->vanished = true;
      result->restored = false;
    }
  }

 private:
  static void Add(NamedResult* r, const char* id, Outcome outcome, const std::string& text) {
    r->findings.push_back({id, outcome, text});
  }

  bool Gone(HResult h) {
    if (cli::IsXuDeviceGone(h)) gone_ = true;
    return gone_;
  }

  std::string Code(HResult h) { return xu::DescribeCode(h); }

  void CheckOne(const xutool::NamedListing& n, NamedResult* r) {
    const xutool::NamedInfo& info = n.info;
    if (!n.problem.empty() && !n.valueOk && info.type.empty()) {
      Add(r, "xu.readable", Outcome::kFail, "its facts cannot be read: " + n.problem);
      return;
    }
    if (info.CanGet()) {
      if (!n.valueOk) {
        Add(r, "xu.readable", Outcome::kFail, "claims read access, but " + n.problem);
        return;
      }
      Add(r, "xu.readable", Outcome::kOk, "");
      std::string normal;
      xutool::Answer valid = xutool::CheckValue(n.name, info, n.value, &normal);
      Add(r, "xu.value-valid", valid.ok() ? Outcome::kOk : Outcome::kFail,
          valid.ok() ? "" : "reads as " + n.value + ": " + valid.message);
    }
    if (!info.CanGet() || !info.CanSet()) {
      r->notes.push_back(info.CanSet() ? "write only: not written, as it could not be restored"
                                       : "read only: not written");
      return;
    }
    std::vector<std::string> values;
    if (info.type == "menu") {
      values = info.labels;
    } else if (info.type == "boolean") {
      values = {"off", "on"};
    } else if (info.type == "integer" && info.min && info.max) {
      values = {std::to_string(*info.min), std::to_string(*info.max)};
    } else {
      values = {n.value};
    }
    std::string last = n.value;
    for (const std::string& v : values) {
      HResult h = xu_.SetNamed(n.name, info, v);
      if (Gone(h)) return;
      if (hr::Failed(h)) {
        Add(r, "xu.write-reads-back", Outcome::kFail, "writing " + v + " fails (" + Code(h) + ")");
        continue;
      }
      std::string back;
      h = xu_.GetNamed(n.name, &back);
      if (Gone(h)) return;
      if (hr::Failed(h) || !EqualNoCase(back, v)) {
        Add(r, "xu.write-reads-back", Outcome::kFail,
            "wrote " + v + ", read back " + (hr::Failed(h) ? "fail (" + Code(h) + ")" : back));
      } else {
        Add(r, "xu.write-reads-back", Outcome::kOk, "");
        last = back;
      }
    }
    Outside(n, last, r);
    if (!gone_) RawLength(info, r);
    if (!gone_) Restore(n);
  }

  // A value outside the range (or a text the menu lacks), handed to the
  // library without the tool's own check: refused, and the value stays.
  void Outside(const xutool::NamedListing& n, const std::string& last, NamedResult* r) {
    const xutool::NamedInfo& info = n.info;
    std::string outside;
    if (info.type == "integer" && info.max && *info.max < INT64_MAX) {
      outside = std::to_string(*info.max + 1);
    } else if (info.type == "menu") {
      outside = "no such label";
    } else {
      return;
    }
    HResult h = xu_.SetNamed(n.name, info, outside);
    if (Gone(h)) return;
    std::string back;
    HResult g = xu_.GetNamed(n.name, &back);
    if (Gone(g)) return;
    if (hr::Succeeded(h)) {
      Add(r, "xu.outside-refused", Outcome::kFail, "accepts " + outside);
    } else if (hr::Succeeded(g) && back != last) {
      Add(r, "xu.outside-refused", Outcome::kFail,
          "refuses " + outside + " but changes from " + last + " to " + back);
    } else {
      r->notes.push_back(outside + " refused");
      Add(r, "xu.outside-refused", Outcome::kOk, "");
    }
  }

  // Once per control: its bytes and one more, written raw.
  void RawLength(const xutool::NamedInfo& info, NamedResult* r) {
    const std::string key = info.unit + "/" + std::to_string(info.selector);
    if (std::find(rawDone_.begin(), rawDone_.end(), key) != rawDone_.end()) return;
    rawDone_.push_back(key);
    std::optional<xu::Bytes> before;
    HResult h = xu_.Read(xutool::XuSource::Fact::kValue, info.unit, info.selector, &before);
    if (Gone(h) || hr::Failed(h) || !before) return;
    xu::Bytes longer = *before;
    longer.push_back(0);
    h = xu_.Write(info.unit, info.selector, longer);
    if (Gone(h)) return;
    std::optional<xu::Bytes> after;
    HResult g = xu_.Read(xutool::XuSource::Fact::kValue, info.unit, info.selector, &after);
    if (Gone(g)) return;
    if (hr::Succeeded(h)) {
      Add(r, "xu.raw-length-refused", Outcome::kFail,
          "a " + Num(static_cast<int64_t>(longer.size())) + "-byte write to the " +
              Num(static_cast<int64_t>(before->size())) + "-byte control succeeds");
    } else if (hr::Succeeded(g) && after && *after != *before) {
      Add(r, "xu.raw-length-refused", Outcome::kFail,
          "a refused write changes the control from " + xu::HexText(*before) + " to " +
              xu::HexText(*after));
    } else {
      Add(r, "xu.raw-length-refused", Outcome::kOk, "");
    }
  }

  void Restore(const xutool::NamedListing& n) {
    HResult h = xu_.SetNamed(n.name, n.info, n.value);
    if (Gone(h)) return;
    std::string back;
    h = xu_.GetNamed(n.name, &back);
    if (Gone(h)) return;
    if (hr::Failed(h)) {
      restoreNote_ = n.name + " cannot be read, was " + n.value;
    } else if (back != n.value) {
      restoreNote_ = n.name + " is " + back + ", was " + n.value;
    }
  }

  xutool::XuSource& xu_;
  std::vector<std::string> rawDone_;
  std::string restoreNote_;
  bool gone_ = false;
};

Result Run(CameraSource& source) {
  Result result = Checker(source).Run();
  if (!result.vanished && source.Xu() != nullptr) NamedChecker(*source.Xu()).Run(&result);
  return result;
}

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kOk: return "ok";
    case Verdict::kNotSupported: return "not supported";
    case Verdict::kSkipped: return "skipped";
    case Verdict::kFail: return "fail";
    case Verdict::kWarn: return "warn";
  }
  return "?";
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOk: return "ok";
    case Outcome::kNotSupported: return "not supported";
    case Outcome::kWarn: return "warn";
    case Outcome::kFail: return "fail";
  }
  return "?";
}

std::string Text(const Result& result) {
  std::string text;
  for (const PropertyResult& r : result.properties) {
    std::string line = Padded(Name(r.property));
    const std::string warnings = Listed(r.findings, Outcome::kWarn);
    switch (r.verdict) {
      case Verdict::kOk: line += "OK"; break;
      case Verdict::kNotSupported: line += "not supported"; break;
      case Verdict::kSkipped: line += "skipped"; break;
      case Verdict::kWarn: line += "WARN: " + warnings; break;
      case Verdict::kFail:
        line += "FAIL: " + Listed(r.findings, Outcome::kFail);
        if (!warnings.empty()) line += "; WARN: " + warnings;
        break;
    }
    if (!r.notes.empty()) line += " (" + Join(r.notes) + ")";
    text += line + "\n";
  }
  for (const NamedResult& r : result.named) {
    std::string line = Padded(r.name);
    const std::string warnings = Listed(r.findings, Outcome::kWarn);
    if (r.verdict == Verdict::kFail) {
      line += "FAIL: " + Listed(r.findings, Outcome::kFail);
      if (!warnings.empty()) line += "; WARN: " + warnings;
    } else if (r.verdict == Verdict::kWarn) {
      line += "WARN: " + warnings;
    } else {
      line += "OK";
    }
    if (!r.notes.empty()) line += " (" + Join(r.notes) + ")";
    text += line + "\n";
  }
  if (result.vanished && result.vanishedAt < 0) {
    text += "The camera vanished while its extension-unit controls were being checked; the check "
            "stopped.\n";
  } else if (result.vanished) {
    text += "The camera vanished while " + Name(result.vanishedAt) +
            " was being checked; the check stopped.\n";
  } else if (result.settingsFailures.empty()) {
    text += "Settings block     OK\n";
  } else {
    text +=
        "Settings block     FAIL: " + Join(result.settingsFailures) + " [settings.block-agrees]\n";
  }
  for (const CameraCheck& c : result.cameraChecks) {
    std::string line = Padded(c.title);
    switch (c.outcome) {
      case Outcome::kOk: line += "OK"; break;
      case Outcome::kNotSupported: line += "not supported (" + c.findings.front().text + ")"; break;
      case Outcome::kWarn: line += "WARN: " + Listed(c.findings, Outcome::kWarn); break;
      case Outcome::kFail: line += "FAIL: " + Listed(c.findings, Outcome::kFail); break;
    }
    text += line + "\n";
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
          Num(s.skipped) + " skipped, " + Num(s.warned) + " warnings, " + Num(s.failed) +
          " failed" + (result.Passed() ? "; passed\n" : "; FAILED\n");
  return text;
}

}  // namespace lumora::check
