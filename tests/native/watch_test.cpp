// "lumora watch" without Windows: which camera a profile belongs to, and a
// watcher over cameras that come, go, vanish mid-load and get changed by
// another program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "property/catalogue.h"
#include "fake_xu_source.h"
#include "tools/watch.h"

namespace lumora::cli {
namespace {

constexpr HResult kGone = static_cast<HResult>(0x8007048Fu);

CameraIdentity Cam(const char* name, const char* vidPid, const char* serial, const char* path) {
  return CameraIdentity{name, vidPid, serial, path, ""};
}

Profile Named(const char* serial, const char* vidPid, const char* path, const char* name) {
  Profile p;
  p.identity = Cam(name, vidPid, serial, path);
  p.hasSerial = p.hasVidPid = p.hasDevicePath = p.hasName = true;
  return p;
}

TEST(WatchMatch, SerialWithVidPidThenPathThenName) {
  std::vector<CameraIdentity> cams = {
      Cam("ToUcam", "VID_0471&PID_0311", "2a4c6e8", "p1"),
      Cam("ToUcam", "VID_0471&PID_0311", "3b5d7f9", "p2"),
      Cam("Plain", "VID_0C45&PID_6340", "0", "p3"),
      Cam("Plain", "VID_0C45&PID_6340", "0", "p4"),
  };
  // The serial decides even when the camera moved to another path.
  ProfileMatch m = MatchProfile(Named("3B5D7F9", "vid_0471&pid_0311", "elsewhere", "x"), cams);
  EXPECT_EQ(m.kind, ProfileMatch::kOne);
  EXPECT_EQ(m.position, 1u);
  // A serial shared by two identical cameras: the path tells them apart.
  m = MatchProfile(Named("0", "VID_0C45&PID_6340", "P4", "Plain"), cams);
  EXPECT_EQ(m.kind, ProfileMatch::kOne);
  EXPECT_EQ(m.position, 3u);
  // ... and without a path that matches, the profile applies to none.
  m = MatchProfile(Named("0", "VID_0C45&PID_6340", "gone", "Plain"), cams);
  EXPECT_EQ(m.kind, ProfileMatch::kAmbiguous);
  EXPECT_EQ(m.positions, (std::vector<size_t>{2, 3}));
  // A serial without VID/PID does not count; the name alone may.
  Profile byName = Named("2a4c6e8", "", "", "plain");
  m = MatchProfile(byName, cams);
  EXPECT_EQ(m.kind, ProfileMatch::kAmbiguous);
  byName.identity.name = "Missing";
  EXPECT_EQ(MatchProfile(byName, cams).kind, ProfileMatch::kNone);
  EXPECT_EQ(MatchProfile(Profile{}, cams).kind, ProfileMatch::kNoIdentity);
}

TEST(WatchArguments, ActionsOptionsAndMistakes) {
  WatchOptions o;
  std::string error;
  ASSERT_TRUE(ParseWatchArguments({"a.profile", "--guard", "--interval", "150", "b"}, &o, &error));
  EXPECT_EQ(o.action, WatchOptions::kRun);
  EXPECT_TRUE(o.guard);
  EXPECT_EQ(o.intervalMs, 150);
  EXPECT_EQ(o.profiles, (std::vector<std::string>{"a.profile", "b"}));
  ASSERT_TRUE(ParseWatchArguments({"--install", "a"}, &o, &error));
  EXPECT_EQ(o.action, WatchOptions::kInstall);
  ASSERT_TRUE(ParseWatchArguments({"--stop"}, &o, &error));
  EXPECT_EQ(o.action, WatchOptions::kStop);
  // clang-format off
  const std::vector<std::vector<std::string>> bad = {
      {}, {"--guard"}, {"a", "--interval"}, {"a", "--interval", "5"}, {"a", "--interval", "x"},
      {"--stop", "a"}, {"--uninstall", "--guard"}, {"--stop", "--install", "a"}, {"a", "--frob"}};
  // clang-format on
  for (const auto& args : bad) {
    WatchOptions untouched;
    untouched.intervalMs = 7;
    EXPECT_FALSE(ParseWatchArguments(args, &untouched, &error)) << args.size();
    EXPECT_EQ(untouched.intervalMs, 7);
    EXPECT_FALSE(error.empty());
  }
}

TEST(WatchArguments, IntervalFrom10To3600000MillisecondsInclusive) {
  std::string error;
  for (int32_t ms : {10, 3600000}) {
    WatchOptions o;
    ASSERT_TRUE(ParseWatchArguments({"a", "--interval", std::to_string(ms)}, &o, &error)) << ms;
    EXPECT_EQ(o.intervalMs, ms);
  }
  for (const char* ms : {"9", "3600001", "-10"}) {
    WatchOptions o;
    EXPECT_FALSE(ParseWatchArguments({"a", "--interval", ms}, &o, &error)) << ms;
    EXPECT_EQ(error, "--interval needs a number of milliseconds from 10 to 3600000");
  }
}

// A camera of the fake system: values by property, and whether it is gone.
struct FakeDevice {
  CameraIdentity id;
  std::map<int32_t, int32_t> values;
  bool gone = false;
  int goneAfterWrites = -1;  // vanishes at that write
  int32_t refuse = -1;       // a property whose writes fail
  int writes = 0;
  std::shared_ptr<xutool::FakeXu> xu;  // its extension units, if any
};

class FakeTarget : public ProfileTarget {
 public:
  explicit FakeTarget(std::shared_ptr<FakeDevice> d) : d_(std::move(d)) {}
  int32_t Support(int32_t p) override { return d_->values.count(p) ? VCS_both : VCS_no; }
  bool Range(int32_t, int32_t* min, int32_t* max) override {
    *min = 0;
    *max = 255;
    return true;
  }
  HResult Get(int32_t p, int32_t* v) override {
    if (d_->gone) return kGone;
    *v = d_->values[p];
    return hr::Ok;
  }
  HResult Set(int32_t p, int32_t v) override {
    if (d_->gone || d_->goneAfterWrites == d_->writes) {
      d_->gone = true;
      return kGone;
    }
    ++d_->writes;
    if (p == d_->refuse) return hr::InvalidArg;
    d_->values[p] = v;
    return hr::Ok;
  }
  int32_t ModeSupport(int32_t) override { return 0; }
  HResult GetMode(int32_t, int32_t*) override { return hr::NotImpl; }
  HResult SetMode(int32_t, int32_t) override { return hr::NotImpl; }
  xutool::XuSource* Xu() override { return d_->xu.get(); }

 private:
  std::shared_ptr<FakeDevice> d_;
};

class FakeSystem : public WatchHost {
 public:
  std::vector<std::shared_ptr<FakeDevice>> plugged;
  std::vector<std::string> said;

  bool List(std::vector<CameraIdentity>* cameras) override {
    for (const auto& d : plugged) cameras->push_back(d->id);
    listed_ = plugged;
    return true;
  }
  std::unique_ptr<ProfileTarget> Open(size_t position, std::string*) override {
    return std::make_unique<FakeTarget>(listed_.at(position));
  }
  void Say(const std::string& line) override { said.push_back(line); }

  std::shared_ptr<FakeDevice> Plug(const char* serial, const char* path) {
    auto d = std::make_shared<FakeDevice>();
    d->id = Cam("ToUcam", "VID_0471&PID_0311", serial, path);
    d->values = {{VCP_Brightness, 128}, {VCP_Contrast, 64}};
    plugged.push_back(d);
    return d;
  }
  void Unplug(const std::shared_ptr<FakeDevice>& d) {
    d->gone = true;
    plugged.erase(std::find(plugged.begin(), plugged.end(), d));
  }
  std::string Said() {
    std::string all;
    for (const std::string& s : said) all += s + "\n";
    said.clear();
    return all;
  }

 private:
  std::vector<std::shared_ptr<FakeDevice>> listed_;
};

std::vector<WatchedProfile> ToucamProfile() {
  WatchedProfile w;
  w.file = "toucam.profile";
  w.profile = Named("2a4c6e8", "VID_0471&PID_0311", "", "");
  w.profile.hasDevicePath = w.profile.hasName = false;
  w.profile.entries = {{VCP_Brightness, 17, 3}, {VCP_Contrast, 40, 4}};
  return {w};
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Watcher, AppliesAtStartAndOnEveryArrivalOnly) {
  FakeSystem sys;
  Watcher w(ToucamProfile(), false, 100, sys);
  w.Scan(0);
  EXPECT_EQ(sys.Said(), "toucam.profile: waiting for its camera\n");
  w.Scan(100);
  EXPECT_EQ(sys.Said(), "") << "said once";
  auto cam = sys.Plug("2a4c6e8", "p1");
  sys.Plug("3b5d7f9", "p2");
  w.Scan(200);
  EXPECT_EQ(
      sys.Said(),
      "ToUcam (serial 2a4c6e8): toucam.profile: 2 applied, 0 changed by the camera, 0 refused\n");
  EXPECT_EQ(cam->values[VCP_Brightness], 17);
  cam->values[VCP_Brightness] = 99;  // without --guard nobody puts it back
  w.Scan(300);
  EXPECT_EQ(sys.Said(), "");
  EXPECT_EQ(cam->values[VCP_Brightness], 99);

  sys.Unplug(cam);
  w.Scan(400);
  EXPECT_TRUE(Has(sys.Said(), "ToUcam (serial 2a4c6e8): disconnected"));
  auto back = sys.Plug("2a4c6e8", "p1");  // with its defaults
  w.Scan(500);
  EXPECT_TRUE(Has(sys.Said(), "2 applied"));
  EXPECT_EQ(back->values[VCP_Brightness], 17);
}

TEST(Watcher, NoticesAReplugBetweenTwoLooksAndAVanishMidLoad) {
  FakeSystem sys;
  Watcher w(ToucamProfile(), false, 100, sys);
  auto cam = sys.Plug("2a4c6e8", "p1");
  cam->goneAfterWrites = 1;
  w.Scan(0);
  EXPECT_TRUE(Has(sys.Said(), "vanished while toucam.profile was being applied"));
  // It is back (same path, fresh defaults) before the next look.
  sys.Unplug(cam);
  auto back = sys.Plug("2a4c6e8", "p1");
  w.Scan(100);
  EXPECT_TRUE(Has(sys.Said(), "2 applied"));
  EXPECT_EQ(back->values[VCP_Contrast], 40);
  // Unplugged and plugged again between two looks: the old control answers
  // as a removed device, so the profile is applied to the new one.
  sys.Unplug(back);
  auto again = sys.Plug("2a4c6e8", "p1");
  w.Scan(200);
  std::string said = sys.Said();
  EXPECT_TRUE(Has(said, "was unplugged")) << said;
  EXPECT_TRUE(Has(said, "2 applied")) << said;
  EXPECT_EQ(again->values[VCP_Brightness], 17);
}

TEST(Watcher, AmbiguousProfilesApplyToNoneAndSaySoOnce) {
  FakeSystem sys;
  std::vector<WatchedProfile> p = ToucamProfile();
  p[0].profile.identity.serial = "0";
  auto a = sys.Plug("0", "p1");
  auto b = sys.Plug("0", "p2");
  Watcher w(std::move(p), true, 100, sys);
  w.Scan(0);
  w.Scan(100);
  EXPECT_EQ(sys.Said(),
            "toucam.profile matches 2 cameras (ToUcam (serial 0), ToUcam (serial 0)); it is "
            "applied to none of them\n");
  EXPECT_EQ(a->values[VCP_Brightness], 128);
  EXPECT_EQ(b->writes, 0);
  sys.Unplug(b);
  w.Scan(200);
  EXPECT_TRUE(Has(sys.Said(), "2 applied"));
}

TEST(Watcher, GuardPutsBackOncePerIntervalAndNeverLoops) {
  FakeSystem sys;
  std::vector<WatchedProfile> p = ToucamProfile();
  p[0].profile.entries.push_back({VCP_Gain, 5, 5});
  auto cam = sys.Plug("2a4c6e8", "p1");
  cam->values[VCP_Gain] = 1;
  cam->refuse = VCP_Gain;
  Watcher w(std::move(p), true, 100, sys);
  w.Scan(0);
  EXPECT_TRUE(Has(sys.Said(), "refused: Gain = 5: the camera refused the write (0x80070057)"));
  int writes = cam->writes;

  cam->values[VCP_Brightness] = 200;  // another program
  w.Scan(50);                         // a device notification within the interval: no guard pass
  EXPECT_EQ(cam->values[VCP_Brightness], 200);
  w.Scan(100);
  EXPECT_EQ(sys.Said(), "ToUcam (serial 2a4c6e8): put back Brightness = 17 (it had become 200)\n");
  EXPECT_EQ(cam->values[VCP_Brightness], 17);
  EXPECT_EQ(cam->writes, writes + 1) << "the refused Gain is not tried again";

  cam->values[VCP_Brightness] = 201;  // changed again right away: given up
  w.Scan(200);
  w.Scan(300);
  cam->values[VCP_Brightness] = 202;
  w.Scan(400);
  EXPECT_EQ(sys.Said(),
            "ToUcam (serial 2a4c6e8): Brightness changed again to 201 right after it was put "
            "back; no longer guarded\n");
  EXPECT_EQ(cam->values[VCP_Brightness], 202);
}

// A put-back that held clears the watch's suspicion: a later change is put
// back again rather than taken for a fight with another program.
TEST(Watcher, GuardPutsBackAgainAfterAPutBackHeld) {
  FakeSystem sys;
  auto cam = sys.Plug("2a4c6e8", "p1");
  Watcher w(ToucamProfile(), true, 100, sys);
  w.Scan(0);
  sys.Said();
  cam->values[VCP_Brightness] = 200;
  w.Scan(100);
  EXPECT_EQ(sys.Said(), "ToUcam (serial 2a4c6e8): put back Brightness = 17 (it had become 200)\n");
  w.Scan(200);  // it holds
  EXPECT_EQ(sys.Said(), "");
  cam->values[VCP_Brightness] = 90;
  w.Scan(300);
  EXPECT_EQ(sys.Said(), "ToUcam (serial 2a4c6e8): put back Brightness = 17 (it had become 90)\n");
  EXPECT_EQ(cam->values[VCP_Brightness], 17);
}

// After a resume the cameras are still listed but hold their factory
// values: once they have settled every profile is applied again, with or
// without the guard, and the guard rests while they settle.
TEST(Watcher, ResumeAppliesEveryProfileAgainAfterTheCamerasSettle) {
  for (bool guard : {false, true}) {
    SCOPED_TRACE(guard ? "with guard" : "without guard");
    FakeSystem sys;
    auto cam = sys.Plug("2a4c6e8", "p1");
    auto other = sys.Plug("3b5d7f9", "p2");
    Watcher w(ToucamProfile(), guard, 100, sys);
    EXPECT_EQ(w.MsUntilResumeDue(0), UINT32_MAX);
    w.Scan(0);
    sys.Said();
    // The system sleeps; the camera loses power and comes back with its
    // defaults, in the device list all along.
    cam->values = {{VCP_Brightness, 128}, {VCP_Contrast, 64}};
    w.Resumed(1000);
    EXPECT_EQ(sys.Said(), "the system resumed; the profiles are applied again in 1500 ms\n");
    EXPECT_EQ(w.MsUntilResumeDue(1000), kResumeSettleMs);
    EXPECT_EQ(w.MsUntilResumeDue(2000), 500u);
    const int writes = cam->writes;
    w.Scan(1100);  // settling: neither applied nor guarded
    w.Scan(2400);
    EXPECT_EQ(cam->writes, writes);
    EXPECT_EQ(sys.Said(), "");
    EXPECT_EQ(w.MsUntilResumeDue(2600), 0u);
    w.Scan(2600);
    EXPECT_EQ(sys.Said(),
              "ToUcam (serial 2a4c6e8): toucam.profile after resume: 2 applied, 0 changed by the "
              "camera, 0 refused\n");
    EXPECT_EQ(cam->values[VCP_Brightness], 17);
    EXPECT_EQ(cam->values[VCP_Contrast], 40);
    EXPECT_EQ(other->writes, 0);
    EXPECT_EQ(w.MsUntilResumeDue(2700), UINT32_MAX);
    // Once only; afterwards the guard (where on) works as before.
    w.Scan(2700);
    EXPECT_EQ(sys.Said(), "");
    cam->values[VCP_Brightness] = 99;
    w.Scan(2800);
    EXPECT_EQ(cam->values[VCP_Brightness], guard ? 17 : 99);
  }
}

// A second resume while settling restarts the wait; a camera unplugged
// during the sleep is noticed as always and applied when it is back.
TEST(Watcher, ResumeWhileSettlingWaitsAgainAndMissingCamerasWait) {
  FakeSystem sys;
  auto cam = sys.Plug("2a4c6e8", "p1");
  Watcher w(ToucamProfile(), false, 100, sys);
  w.Scan(0);
  sys.Said();
  sys.Unplug(cam);
  w.Resumed(1000);
  w.Resumed(2000);
  EXPECT_EQ(sys.Said(), "the system resumed; the profiles are applied again in 1500 ms\n");
  EXPECT_EQ(w.MsUntilResumeDue(2600), 900u);
  w.Scan(2600);
  EXPECT_TRUE(Has(sys.Said(), "ToUcam (serial 2a4c6e8): disconnected"));
  w.Scan(3500);  // due, with nothing to apply to
  EXPECT_EQ(sys.Said(), "toucam.profile: waiting for its camera\n");
  EXPECT_EQ(w.MsUntilResumeDue(3500), UINT32_MAX);
  auto back = sys.Plug("2a4c6e8", "p1");
  w.Scan(3600);
  EXPECT_TRUE(Has(sys.Said(), "toucam.profile: 2 applied"));
  EXPECT_EQ(back->values[VCP_Brightness], 17);
}

TEST(Watcher, GuardsNamedExtensionUnitControlsAndNoticesAReplugThroughThem) {
  FakeSystem sys;
  std::vector<WatchedProfile> profiles = ToucamProfile();
  profiles[0].profile.entries.clear();
  profiles[0].profile.named = {{"LED Mode", "blink", 3}};
  Watcher w(std::move(profiles), true, 100, sys);
  auto cam = sys.Plug("2a4c6e8", "p1");
  cam->xu = std::make_shared<xutool::FakeXu>(xutool::FakeXu::Led());
  xutool::Bytes& led = cam->xu->units[xutool::FakeXu::kLed][9].value;
  w.Scan(0);
  EXPECT_TRUE(Has(sys.Said(), "toucam.profile: 1 applied, 0 changed by the camera, 0 refused"));
  EXPECT_EQ(led[1], 2);
  led[1] = 0;  // another program switches the LED off
  w.Scan(100);
  EXPECT_EQ(sys.Said(), "ToUcam (serial 2a4c6e8): put back LED Mode = blink (it had become off)\n");
  EXPECT_EQ(led[1], 2);
  led[1] = 0;
  w.Scan(200);
  EXPECT_TRUE(Has(sys.Said(), "LED Mode changed again to off right after it was put back; no "
                              "longer guarded"));
  w.Scan(300);
  EXPECT_EQ(led[1], 0) << "given up";

  // Unplugged and back between two looks at the same path: applied again.
  cam->xu->unplugged = true;
  w.Scan(400);
  EXPECT_TRUE(Has(sys.Said(), "was unplugged"));
  cam->xu = std::make_shared<xutool::FakeXu>(xutool::FakeXu::Led());
  w.Scan(500);
  EXPECT_EQ(cam->xu->units[xutool::FakeXu::kLed][9].value[1], 2);
}

}  // namespace
}  // namespace lumora::cli
