// What the lumora tool's writing commands decide, against a camera whose
// controls are described per property: reset planning, what save stores and
// the switch to manual before a write.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "property/catalogue.h"
#include "tests/native/scripted_camera.h"
#include "tools/command_policy.h"

namespace lumora::cli {
namespace {

constexpr HResult kRefused = hr::InvalidArg;

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
  // A control of the camera; the default, where given, is 7.
  ScriptedCamera::Control& Add(int32_t p, int32_t support, int32_t modes = 0,
                               int32_t mode = kModeManual, int32_t value = 0) {
    ScriptedCamera::Control& c = camera.controls[p];
    c.support = support;
    c.modes = modes;
    c.mode = mode;
    c.value = value;
    c.defaultValue = 7;
    return c;
  }

  ScriptedCamera camera;
  std::vector<ResetStep> steps;
  int32_t refused = -1;
};

TEST_F(CommandPolicy, ResetOfEverythingTakesAutoModesAndDefaultsAndPassesOverTheRest) {
  Add(VCP_Contrast, VCS_both).hasDefault = true;
  Add(VCP_Brightness, VCS_both, kBoth);
  Add(VCP_Gamma, VCS_get).hasDefault = true;     // read-only
  Add(VCP_Hue, VCS_both);                        // neither mode nor default
  Add(VCP_Setting, VCS_both).hasDefault = true;  // an action
  Add(VCP_SWTrigger, VCS_set, kBoth);            // an action
  Add(VCP_Exposure, VCS_set, kModeAuto);         // settable only
  ASSERT_TRUE(PlanReset(camera, {}, &steps, &refused));
  EXPECT_EQ(Describe(steps), "Brightness=auto Contrast=7 Exposure=auto ");
  EXPECT_TRUE(camera.writes.empty());
}

TEST_F(CommandPolicy, ResetOfNamedPropertiesKeepsTheirOrderOrRefusesTheFirstThatCannot) {
  Add(VCP_Contrast, VCS_both).hasDefault = true;
  Add(VCP_Brightness, VCS_both, kModeAuto);
  Add(VCP_Gamma, VCS_get).hasDefault = true;
  Add(VCP_Hue, VCS_both);
  Add(VCP_Setting, VCS_both).hasDefault = true;
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
  Add(VCP_Brightness, VCS_both, 0, kModeManual, 17);
  Add(VCP_Contrast, VCS_both, kBoth, kModeAuto, 99);  // automatic
  Add(VCP_Hue, VCS_both, kBoth, kModeManual, 40);     // manual
  Add(VCP_Gamma, VCS_get, 0, kModeManual, 5);         // read-only
  Add(VCP_Sharpness, VCS_both).failRead = kRefused;   // unreadable
  Add(VCP_Setting, VCS_both, 0, kModeManual, 1);      // an action
  Add(VCP_AutoExposure, VCS_both, 0, kModeManual, 1);
  Add(VCP_WhiteBalanceMode, VCS_both, 0, kModeManual, 2);
  const std::vector<ProfileEntry> saved = SavedEntries(camera);
  std::string text;
  for (const ProfileEntry& e : saved) {
    text += std::string(PropertyName(e.property)) + "=" + EntryValueText(e) + " ";
  }
  EXPECT_EQ(text, "WhiteBalanceMode=2 AutoExposure=1 Contrast=auto Brightness=17 Hue=40 ");
  EXPECT_TRUE(camera.writes.empty());
}

TEST_F(CommandPolicy, ManualWriteSwitchesAnAutomaticControlToManualFirst) {
  Add(VCP_Brightness, VCS_both, kBoth, kModeAuto);
  Add(VCP_Contrast, VCS_both, kBoth, kModeManual);
  Add(VCP_Hue, VCS_both);
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
  Add(VCP_Brightness, VCS_both, kBoth, kModeAuto).failModeWrite = kRefused;
  bool modes = false;
  EXPECT_EQ(WriteManual(camera, VCP_Brightness, 10, &modes), kRefused);
  EXPECT_EQ(camera.writes, std::vector<std::string>{"Brightness=manual"});
}

}  // namespace
}  // namespace lumora::cli
