// What the lumora tool's writing commands decide, against a camera whose
// controls are described per property: reset planning, what save stores and
// the switch to manual before a write.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "property/catalogue.h"
#include "tools/command_policy.h"

namespace lumora::cli {
namespace {

constexpr HResult kRefused = hr::InvalidArg;

// Properties not described have no support. Every write is logged.
class DescribedCamera : public ProfileTarget {
 public:
  struct Control {
    int32_t support = VCS_both;
    int32_t modes = 0;
    int32_t mode = kModeManual;
    int32_t value = 0;
    HResult defaultResult = hr::NotImpl;  // the default is 7 on success
    HResult getResult = hr::Ok;
    HResult setModeResult = hr::Ok;
  };
  std::map<int32_t, Control> controls;
  std::vector<std::string> writes;

  int32_t Support(int32_t p) override { return Find(p) ? Find(p)->support : VCS_no; }
  bool Range(int32_t, int32_t*, int32_t*) override { return false; }
  HResult Get(int32_t p, int32_t* value) override {
    if (hr::Failed(Find(p)->getResult)) return Find(p)->getResult;
    *value = Find(p)->value;
    return hr::Ok;
  }
  HResult Set(int32_t p, int32_t value) override {
    writes.push_back(std::string(PropertyName(p)) + "=" + std::to_string(value));
    Find(p)->value = value;
    return hr::Ok;
  }
  int32_t ModeSupport(int32_t p) override { return Find(p) ? Find(p)->modes : 0; }
  HResult GetMode(int32_t p, int32_t* mode) override {
    if (ModeSupport(p) == 0) return hr::NotImpl;
    *mode = Find(p)->mode;
    return hr::Ok;
  }
  HResult SetMode(int32_t p, int32_t mode) override {
    writes.push_back(std::string(PropertyName(p)) + (mode == kModeAuto ? "=auto" : "=manual"));
    if (hr::Failed(Find(p)->setModeResult)) return Find(p)->setModeResult;
    Find(p)->mode = mode;
    return hr::Ok;
  }
  HResult Default(int32_t p, int32_t* value) override {
    if (!Find(p) || hr::Failed(Find(p)->defaultResult)) return hr::NotImpl;
    *value = 7;
    return hr::Ok;
  }

 private:
  Control* Find(int32_t p) {
    auto it = controls.find(p);
    return it == controls.end() ? nullptr : &it->second;
  }
};

constexpr int32_t kBoth = kModeAuto | kModeManual;

std::string Describe(const std::vector<ResetStep>& steps) {
  std::string text;
  for (const ResetStep& s : steps) {
    text += std::string(PropertyName(s.property)) +
            (s.automatic ? "=auto " : "=" + std::to_string(s.value) + " ");
  }
  return text;
}

class CommandPolicy : public testing::Test {
 protected:
  DescribedCamera camera;
  std::vector<ResetStep> steps;
  int32_t refused = -1;
};

TEST_F(CommandPolicy, ResetOfEverythingTakesAutoModesAndDefaultsAndPassesOverTheRest) {
  camera.controls[VCP_Contrast].defaultResult = hr::Ok;
  camera.controls[VCP_Brightness] = {VCS_both, kBoth, kModeManual};
  camera.controls[VCP_Gamma].support = VCS_get;          // read-only
  camera.controls[VCP_Hue] = {};                         // neither mode nor default
  camera.controls[VCP_Setting].defaultResult = hr::Ok;   // an action
  camera.controls[VCP_SWTrigger] = {VCS_set, kBoth};     // an action
  camera.controls[VCP_Exposure] = {VCS_set, kModeAuto};  // settable only
  ASSERT_TRUE(PlanReset(camera, {}, &steps, &refused));
  EXPECT_EQ(Describe(steps), "Brightness=auto Contrast=7 Exposure=auto ");
  EXPECT_TRUE(camera.writes.empty());
}

TEST_F(CommandPolicy, ResetOfNamedPropertiesKeepsTheirOrderOrRefusesTheFirstThatCannot) {
  camera.controls[VCP_Contrast].defaultResult = hr::Ok;
  camera.controls[VCP_Brightness] = {VCS_both, kModeAuto};
  camera.controls[VCP_Gamma].support = VCS_get;
  ASSERT_TRUE(PlanReset(camera, {VCP_Contrast, VCP_Brightness}, &steps, &refused));
  EXPECT_EQ(Describe(steps), "Contrast=7 Brightness=auto ");

  for (int32_t cannot : {int32_t{VCP_Gamma}, int32_t{VCP_Hue}, int32_t{VCP_Setting}}) {
    refused = -1;
    EXPECT_FALSE(PlanReset(camera, {VCP_Contrast, cannot, VCP_Gamma}, &steps, &refused));
    EXPECT_EQ(refused, cannot);
  }
  EXPECT_TRUE(camera.writes.empty());
}

TEST_F(CommandPolicy, SaveStoresReadableSettableSettingsAutoFirst) {
  camera.controls[VCP_Brightness].value = 17;
  camera.controls[VCP_Contrast] = {VCS_both, kBoth, kModeAuto, 99};  // automatic
  camera.controls[VCP_Hue] = {VCS_both, kBoth, kModeManual, 40};     // manual
  camera.controls[VCP_Gamma] = {VCS_get, 0, kModeManual, 5};         // read-only
  camera.controls[VCP_Sharpness].getResult = kRefused;               // unreadable
  camera.controls[VCP_Setting].value = 1;                            // an action
  camera.controls[VCP_AutoExposure].value = 1;
  camera.controls[VCP_WhiteBalanceMode].value = 2;
  const std::vector<ProfileEntry> saved = SavedEntries(camera);
  std::string text;
  for (const ProfileEntry& e : saved) {
    text += std::string(PropertyName(e.property)) + "=" + EntryValueText(e) + " ";
  }
  EXPECT_EQ(text, "WhiteBalanceMode=2 AutoExposure=1 Contrast=auto Brightness=17 Hue=40 ");
  EXPECT_TRUE(camera.writes.empty());
}

TEST_F(CommandPolicy, ManualWriteSwitchesAnAutomaticControlToManualFirst) {
  camera.controls[VCP_Brightness] = {VCS_both, kBoth, kModeAuto};
  camera.controls[VCP_Contrast] = {VCS_both, kBoth, kModeManual};
  camera.controls[VCP_Hue] = {};
  bool modes = false;
  EXPECT_EQ(WriteManual(camera, VCP_Brightness, 10, &modes), hr::Ok);
  EXPECT_TRUE(modes);
  EXPECT_EQ(WriteManual(camera, VCP_Contrast, 11, &modes), hr::Ok);
  EXPECT_TRUE(modes);
  EXPECT_EQ(WriteManual(camera, VCP_Hue, 12, &modes), hr::Ok);
  EXPECT_FALSE(modes);
  EXPECT_EQ(camera.writes, (std::vector<std::string>{"Brightness=manual", "Brightness=10",
                                                     "Contrast=11", "Hue=12"}));
}

TEST_F(CommandPolicy, ManualWriteStopsWhenTheSwitchFails) {
  camera.controls[VCP_Brightness] = {VCS_both, kBoth, kModeAuto};
  camera.controls[VCP_Brightness].setModeResult = kRefused;
  bool modes = false;
  EXPECT_EQ(WriteManual(camera, VCP_Brightness, 10, &modes), kRefused);
  EXPECT_EQ(camera.writes, std::vector<std::string>{"Brightness=manual"});
}

}  // namespace
}  // namespace lumora::cli
