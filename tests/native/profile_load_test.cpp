// The ordered, verified profile load against a scripted camera: write order,
// refusals decided before any write, read-back of clamped values and modes,
// and a camera that vanishes in the middle.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "property/catalogue.h"
#include "tools/json_output.h"
#include "tools/profile_load.h"
#include "tests/native/scripted_camera.h"

namespace lumora::cli {
namespace {

ProfileEntry Value(int32_t p, int32_t v) { return ProfileEntry{p, v, 0}; }
ProfileEntry Mode(int32_t p, EntryMode m) { return ProfileEntry{p, 0, 0, m}; }

class ProfileLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    cam.controls[VCP_Brightness] = {};
    cam.controls[VCP_Exposure] = {};
    cam.controls[VCP_Exposure].modes = kModeAuto | kModeManual;
    cam.controls[VCP_Exposure].mode = kModeAuto;
    cam.controls[VCP_Exposure].min = -11;
    cam.controls[VCP_Exposure].max = -2;
    cam.controls[VCP_Focus] = cam.controls[VCP_Exposure];
    cam.controls[VCP_Focus].min = 0;
    cam.controls[VCP_ActualFrameRate] = {};
    cam.controls[VCP_ActualFrameRate].support = VCS_get;
  }
  ScriptedCamera cam;
};

TEST_F(ProfileLoad, SwitchesModesFirstThenWritesValuesAndReadsThemBack) {
  cam.controls[VCP_Brightness].max = 400;  // reports 0..400, keeps at most 255
  LoadOutcome o = LoadProfile(cam, {Value(VCP_Brightness, 300), Value(VCP_Focus, 40),
                                    Mode(VCP_Exposure, EntryMode::kManual)});
  ASSERT_EQ(cam.writes.size(), 3u);
  EXPECT_EQ(cam.writes[0], "Exposure=manual");
  EXPECT_EQ(cam.writes[1], "Brightness=300");
  EXPECT_EQ(cam.writes[2], "Focus=40");
  ASSERT_EQ(o.properties.size(), 3u);
  EXPECT_EQ(o.properties[0].result, LoadResult::kApplied);
  EXPECT_EQ(o.properties[0].actualMode, kModeManual);
  EXPECT_EQ(o.properties[1].result, LoadResult::kChanged);  // clamped
  EXPECT_EQ(o.properties[1].actual, 255);
  EXPECT_EQ(OutcomeLine(o.properties[1]), "changed  Brightness = 300: the camera holds 255");
  EXPECT_EQ(o.properties[2].result, LoadResult::kApplied);
  EXPECT_EQ(OutcomeLine(o.properties[2]), "applied  Focus = 40");
  EXPECT_EQ(OutcomeSummary(o), "2 applied, 1 changed by the camera, 0 refused");
  EXPECT_FALSE(o.vanished);
  EXPECT_EQ(o.WriteFailures(), 0u);
}

TEST_F(ProfileLoad, RefusesBeforeWritingAndReportsFailedWrites) {
  cam.controls[VCP_Contrast] = {};
  cam.controls[VCP_Contrast].failWrite = hr::InvalidArg;
  LoadOutcome o =
      LoadProfile(cam, {Value(VCP_Pan, 1), Value(VCP_ActualFrameRate, 5), Value(VCP_Exposure, 0),
                        Mode(VCP_Brightness, EntryMode::kAuto), Value(VCP_Contrast, 9)});
  // Only the write the camera itself failed was sent.
  ASSERT_EQ(cam.writes.size(), 1u);
  EXPECT_EQ(cam.writes[0], "Contrast=9");
  std::vector<std::string> lines;
  for (const PropertyOutcome& p : o.properties) lines.push_back(OutcomeLine(p));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "refused  Brightness = auto: has no automatic mode on this camera");
  EXPECT_EQ(lines[1], "refused  Pan = 1: not supported by this camera");
  EXPECT_EQ(lines[2], "refused  ActualFrameRate = 5: cannot be set on this camera");
  EXPECT_EQ(lines[3], "refused  Exposure = 0: 0 is outside the range -11..-2");
  EXPECT_EQ(lines[4], "refused  Contrast = 9: the camera refused the write (0x80070057)");
  EXPECT_EQ(o.WriteFailures(), 1u);
  EXPECT_EQ(o.Count(LoadResult::kRefused), 5u);
}

// The range is inclusive at both ends: exactly the minimum and the maximum
// are written, one beyond either is refused before any write.
TEST_F(ProfileLoad, ValuesAtTheRangeEdgesAreAppliedAndOneBeyondIsRefused) {
  cam.controls[VCP_Contrast] = {};
  cam.controls[VCP_Contrast].min = 10;
  cam.controls[VCP_Contrast].max = 20;
  LoadOutcome edges = LoadProfile(
      cam, {Value(VCP_Brightness, 255), Value(VCP_Contrast, 10), Value(VCP_Exposure, -11)});
  EXPECT_EQ(OutcomeSummary(edges), "3 applied, 0 changed by the camera, 0 refused");
  EXPECT_EQ(cam.writes.size(), 3u);
  EXPECT_EQ(cam.controls[VCP_Brightness].value, 255);
  EXPECT_EQ(cam.controls[VCP_Contrast].value, 10);

  cam.writes.clear();
  LoadOutcome beyond = LoadProfile(
      cam, {Value(VCP_Brightness, 256), Value(VCP_Contrast, 9), Value(VCP_Exposure, -1)});
  std::vector<std::string> lines;
  for (const PropertyOutcome& p : beyond.properties) lines.push_back(OutcomeLine(p));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "refused  Brightness = 256: 256 is outside the range 0..255",
                       "refused  Contrast = 9: 9 is outside the range 10..20",
                       "refused  Exposure = -1: -1 is outside the range -11..-2",
                   }));
  EXPECT_TRUE(cam.writes.empty());
}

TEST_F(ProfileLoad, AManualWriteTheAutomaticControlIgnoredIsReportedAsChanged) {
  cam.controls[VCP_Exposure].ignoreManualWhileAuto = true;
  cam.controls[VCP_Exposure].value = -6;
  LoadOutcome o = LoadProfile(cam, {Value(VCP_Exposure, -3)});
  ASSERT_EQ(o.properties.size(), 1u);
  EXPECT_EQ(o.properties[0].result, LoadResult::kChanged);
  EXPECT_EQ(OutcomeLine(o.properties[0]), "changed  Exposure = -3: the camera holds -6 (auto)");
  // Switching to manual first, as a profile written by save does, works.
  o = LoadProfile(cam, {Value(VCP_Exposure, -3), Mode(VCP_Exposure, EntryMode::kManual)});
  EXPECT_EQ(o.properties[1].result, LoadResult::kApplied);
  EXPECT_EQ(cam.controls[VCP_Exposure].value, -3);
}

TEST_F(ProfileLoad, ACameraThatVanishesEndsTheLoadAtOnce) {
  cam.writesUntilGone = 1;
  LoadOutcome o = LoadProfile(
      cam, {Value(VCP_Brightness, 1), Value(VCP_Focus, 5), Mode(VCP_Exposure, EntryMode::kAuto)});
  EXPECT_TRUE(o.vanished);
  EXPECT_EQ(o.vanishError, kNotConnected);
  EXPECT_EQ(cam.writes.size(), 1u);
  EXPECT_EQ(o.properties[0].result, LoadResult::kApplied);  // written before it went
  EXPECT_EQ(o.Count(LoadResult::kNotReached), 2u);
  EXPECT_EQ(OutcomeLine(o.properties[2]), "missed   Focus = 5: the camera vanished first");
  EXPECT_EQ(OutcomeSummary(o), "1 applied, 0 changed by the camera, 0 refused, 2 not reached");
  EXPECT_TRUE(IsDeviceGone(kNotConnected));
  EXPECT_FALSE(IsDeviceGone(hr::InvalidArg));
}

// "load --json": the outcome as a parser reads it, every kind of result.
TEST_F(ProfileLoad, TheJsonDocumentCarriesEachOutcome) {
  cam.controls[VCP_Brightness].max = 400;  // reports 0..400, keeps at most 255
  cam.controls[VCP_Contrast] = {};
  cam.controls[VCP_Contrast].failWrite = hr::InvalidArg;
  ProfileEntry brightness = Value(VCP_Brightness, 300);
  brightness.line = 7;
  LoadOutcome o = LoadProfile(cam, {brightness, Value(VCP_Pan, 3), Value(VCP_Contrast, 9),
                                    Mode(VCP_Exposure, EntryMode::kAuto)});
  json::ListedCamera camera;
  camera.index = 2;
  camera.id.name = "Cam";
  auto d = nlohmann::json::parse(
      json::LoadDocument(camera, "C:\\p.profile", {"serial: profile 1, camera 2"}, o));
  EXPECT_EQ(d["camera"]["index"], 2);
  EXPECT_EQ(d["file"], "C:\\p.profile");
  EXPECT_EQ(d["otherCamera"], nlohmann::json::array({"serial: profile 1, camera 2"}));
  const auto& props = d["properties"];
  ASSERT_EQ(props.size(), 4u);  // in write order: the mode first
  for (const auto& p : props) {
    std::set<std::string> keys;
    for (const auto& [k, v] : p.items()) keys.insert(k);
    EXPECT_EQ(keys, (std::set<std::string>{"number", "name", "line", "value", "mode", "result",
                                           "holds", "reason"}));
  }
  EXPECT_EQ(props[0]["name"], "Exposure");
  EXPECT_TRUE(props[0]["value"].is_null());
  EXPECT_EQ(props[0]["mode"], "auto");
  EXPECT_EQ(props[0]["result"], "applied");
  EXPECT_EQ(props[0]["holds"]["mode"], "auto");
  EXPECT_TRUE(props[0]["line"].is_null());

  EXPECT_EQ(props[1]["number"], VCP_Brightness);
  EXPECT_EQ(props[1]["line"], 7);
  EXPECT_EQ(props[1]["value"], 300);
  EXPECT_TRUE(props[1]["mode"].is_null());
  EXPECT_EQ(props[1]["result"], "changed");
  EXPECT_EQ(props[1]["holds"], (nlohmann::json{{"value", 255}, {"mode", nullptr}}));
  EXPECT_TRUE(props[1]["reason"].is_null());

  EXPECT_EQ(props[2]["name"], "Pan");
  EXPECT_EQ(props[2]["result"], "refused");
  EXPECT_EQ(props[2]["reason"], "not supported by this camera");
  EXPECT_TRUE(props[2]["holds"].is_null());
  EXPECT_EQ(props[3]["reason"], "the camera refused the write (0x80070057)");

  EXPECT_EQ(d["summary"],
            (nlohmann::json{{"applied", 1}, {"changed", 1}, {"refused", 2}, {"notReached", 0}}));
  EXPECT_FALSE(d["vanished"]);
  EXPECT_TRUE(d["vanishError"].is_null());
  EXPECT_FALSE(d["succeeded"]) << "a write the camera failed";

  cam.controls[VCP_Contrast].failWrite = 0;
  cam.writesUntilGone = 1;
  o = LoadProfile(cam, {Value(VCP_Brightness, 1), Value(VCP_Contrast, 5)});
  d = nlohmann::json::parse(json::LoadDocument(camera, "p", {}, o));
  EXPECT_TRUE(d["vanished"]);
  EXPECT_EQ(d["vanishError"], "0x8007048F");
  EXPECT_EQ(d["properties"][1]["result"], "not reached");
  EXPECT_EQ(d["summary"]["notReached"], 1);
  EXPECT_FALSE(d["succeeded"]);
  EXPECT_EQ(d["otherCamera"], nlohmann::json::array());

  cam = ScriptedCamera();
  cam.controls[VCP_Brightness] = {};
  o = LoadProfile(cam, {Value(VCP_Brightness, 4)});
  EXPECT_TRUE(o.Succeeded());
  EXPECT_TRUE(nlohmann::json::parse(json::LoadDocument(camera, "p", {}, o))["succeeded"]);
}

}  // namespace
}  // namespace lumora::cli
