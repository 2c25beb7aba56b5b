// The scripted camera of the tool's native tests (a ProfileTarget).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "property/catalogue.h"
#include "tools/profile_load.h"

namespace lumora::cli {

constexpr HResult kNotConnected = static_cast<HResult>(0x8007048Fu);

// A camera whose controls clamp into a narrower range than they report,
// optionally ignore manual writes while automatic, fail reads or mode
// switches, tell a default, and can be unplugged after a number of writes.
// Every write is logged ("Brightness=17", "Exposure=auto").
class ScriptedCamera : public ProfileTarget {
 public:
  struct Control {
    int32_t support = VCS_both;
    int32_t min = 0, max = 255;
    int32_t keepsMax = 255;  // the camera clamps values above this
    int32_t modes = 0;
    int32_t mode = kModeManual;
    int32_t value = 0;
    bool ignoreManualWhileAuto = false;
    HResult failWrite = 0;
    HResult failRead = 0;       // Get answers this
    HResult failModeWrite = 0;  // SetMode answers this (after logging the write)
    bool hasDefault = false;
    int32_t defaultValue = 0;
  };
  std::map<int32_t, Control> controls;
  std::vector<std::string> writes;
  int writesUntilGone = -1;

  int32_t Support(int32_t p) override { return Find(p) ? Find(p)->support : VCS_no; }
  bool Range(int32_t p, int32_t* min, int32_t* max) override {
    if (!Find(p)) return false;
    *min = Find(p)->min;
    *max = Find(p)->max;
    return true;
  }
  HResult Get(int32_t p, int32_t* value) override {
    if (gone_) return kNotConnected;
    if (Find(p)->failRead != 0) return Find(p)->failRead;
    *value = Find(p)->value;
    return hr::Ok;
  }
  HResult Set(int32_t p, int32_t value) override {
    if (HResult h = Written(std::string(PropertyName(p)) + "=" + std::to_string(value))) return h;
    Control& c = *Find(p);
    if (c.failWrite != 0) return c.failWrite;
    if (c.mode == kModeAuto && c.ignoreManualWhileAuto) return hr::Ok;
    c.value = value > c.keepsMax ? c.keepsMax : value;
    c.mode = kModeManual;
    return hr::Ok;
  }
  int32_t ModeSupport(int32_t p) override { return Find(p) ? Find(p)->modes : 0; }
  HResult GetMode(int32_t p, int32_t* mode) override {
    if (ModeSupport(p) == 0) return hr::NotImpl;
    *mode = Find(p)->mode;
    return hr::Ok;
  }
  HResult SetMode(int32_t p, int32_t mode) override {
    if (HResult h =
            Written(std::string(PropertyName(p)) + (mode == kModeAuto ? "=auto" : "=manual"))) {
      return h;
    }
    if (Find(p)->failModeWrite != 0) return Find(p)->failModeWrite;
    Find(p)->mode = mode;
    return hr::Ok;
  }
  HResult Default(int32_t p, int32_t* value) override {
    if (!Find(p) || !Find(p)->hasDefault) return hr::NotImpl;
    *value = Find(p)->defaultValue;
    return hr::Ok;
  }

 private:
  Control* Find(int32_t p) {
    auto it = controls.find(p);
    return it == controls.end() ? nullptr : &it->second;
  }
  HResult Written(const std::string& what) {
    if (gone_ || writesUntilGone == 0) {
      gone_ = true;
      return kNotConnected;
    }
    if (writesUntilGone > 0) --writesUntilGone;
    writes.push_back(what);
    return hr::Ok;
  }
  bool gone_ = false;
};

}  // namespace lumora::cli
