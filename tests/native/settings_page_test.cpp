// The settings window's decisions: slider positions against a control's
// reported range and step, the rows and groups a person sees, the status
// texts, and the watch a kept camera gets.
#include <gtest/gtest.h>

#include <set>

#include "property/catalogue.h"
#include "tools/profile.h"
#include "tools/settings_page.h"
#include "tools/watch.h"

namespace lumora::settings {
namespace {

// Every position lands on a value the control takes (min + k * step, or
// max), the ends are the range's ends, and a value maps back to its own
// position: a slider never offers a value the camera would refuse.
TEST(SliderScale, EveryPositionIsAValueOfTheRangeAndStep) {
  const struct {
    int32_t min, max, step;
  } ranges[] = {{0, 255, 1}, {-10, 10, 5}, {0, 100, 7}, {-13, -1, 1}, {1, 1, 1},
                {0, 1, 1},   {0, 10, 0},   {0, 10, -3}, {INT32_MIN, INT32_MAX, 1 << 30}};
  for (const auto& r : ranges) {
    SliderScale scale(r.min, r.max, r.step);
    const int64_t step = r.step > 0 ? r.step : 1;
    EXPECT_EQ(scale.ValueAt(0), r.min);
    EXPECT_EQ(scale.ValueAt(scale.Positions()), r.max);
    std::set<int32_t> seen;
    for (int32_t p = 0; p <= scale.Positions() && p < 1000; ++p) {
      const int32_t v = scale.ValueAt(p);
      EXPECT_TRUE(v == r.max || (static_cast<int64_t>(v) - r.min) % step == 0)
          << r.min << ".." << r.max << "/" << r.step << " position " << p << " gives " << v;
      EXPECT_TRUE(seen.insert(v).second) << "two positions give " << v;
      EXPECT_EQ(scale.PositionOf(v), p);
    }
  }
}

TEST(SliderScale, SnapsTypedValuesToTheNearestValueTheControlTakes) {
  SliderScale scale(0, 100, 7);  // 0, 7, ..., 98, 100
  EXPECT_EQ(scale.Snap(-5), 0);
  EXPECT_EQ(scale.Snap(3), 0);
  EXPECT_EQ(scale.Snap(4), 7);
  EXPECT_EQ(scale.Snap(98), 98);
  EXPECT_EQ(scale.Snap(99), 98);
  EXPECT_EQ(scale.Snap(100), 100);
  EXPECT_EQ(scale.Snap(5000), 100);
  SliderScale inverted(10, 0, 1);  // a broken range holds its minimum alone
  EXPECT_EQ(inverted.Positions(), 0);
  EXPECT_EQ(inverted.Snap(5), 10);
}

TEST(SettingsRows, OnlySettingsTheCameraCanReadAndSetGetARow) {
  EXPECT_TRUE(ShowsRow(VCP_Brightness, VCS_both));
  EXPECT_TRUE(ShowsRow(VCP_AutoExposure, VCS_both));
  EXPECT_FALSE(ShowsRow(VCP_Brightness, VCS_get));
  EXPECT_FALSE(ShowsRow(VCP_Brightness, VCS_set));
  EXPECT_FALSE(ShowsRow(VCP_Setting, VCS_both));          // an action
  EXPECT_FALSE(ShowsRow(VCP_SWTrigger, VCS_both));        // a trigger
  EXPECT_FALSE(ShowsRow(VCP_ActualFrameRate, VCS_both));  // a report
  EXPECT_FALSE(ShowsRow(-1, VCS_both));
  EXPECT_FALSE(ShowsRow(kCatalogueSize, VCS_both));
  EXPECT_EQ(StyleOf(0, 1), RowStyle::kSwitch);
  EXPECT_EQ(StyleOf(0, 2), RowStyle::kSlider);
  EXPECT_EQ(StyleOf(-1, 1), RowStyle::kSlider);
}

// The groups follow the route a property takes on the camera's chipset: the
// same property is an image control on one camera and the vendor's own on
// another.
TEST(SettingsRows, GroupsFollowTheRouteOnTheCamerasChipset) {
  using catalogue::Group;
  EXPECT_EQ(catalogue::GroupOf(CSX_Unknown, VCP_Brightness), Group::kImage);
  EXPECT_EQ(catalogue::GroupOf(CSX_Unknown, VCP_FlipHorizontal), Group::kImage);
  EXPECT_EQ(catalogue::GroupOf(CSX_Unknown, VCP_Exposure), Group::kCamera);
  EXPECT_EQ(catalogue::GroupOf(CSX_Unknown, VCP_Zoom), Group::kCamera);
  EXPECT_EQ(catalogue::GroupOf(CSX_SAA8116, VCP_Exposure), Group::kVendor);
  EXPECT_EQ(catalogue::GroupOf(CSX_SAA8116, VCP_WhiteBalanceMode), Group::kVendor);
  EXPECT_EQ(catalogue::GroupOf(CSX_SAA8116, VCP_Brightness), Group::kImage);
  EXPECT_EQ(catalogue::GroupOf(CSX_Unknown, VCP_WhiteBalanceMode), Group::kNone);
  EXPECT_EQ(catalogue::GroupOf(CSX_Unknown, -1), Group::kNone);
  // An unknown chipset value routes as the standard family.
  EXPECT_EQ(catalogue::GroupOf(77, VCP_Exposure), Group::kCamera);
}

TEST(SettingsStatus, FailuresNameTheControlTheRequestAndTheReason) {
  EXPECT_EQ(FailureText("Brightness", "set 17", static_cast<HResult>(0x8007001Fu)),
            "Brightness: cannot set 17: the camera failed the request (0x8007001F)");
  EXPECT_EQ(FailureText("Gamma", "switch to automatic", hr::InvalidArg),
            "Gamma: cannot switch to automatic: the camera does not take this value (0x80070057)");
  EXPECT_NE(FailureText("Zoom", "reset", hr::Fail).find("(0x80004005)"), std::string::npos);
  EXPECT_NE(UnpluggedText("Cam A").find("Cam A is unplugged"), std::string::npos);
}

TEST(KeptProfiles, NamesAreSafeFileNamesThatTellCamerasApart) {
  cli::CameraIdentity a;
  a.name = "Philips ToUcam Pro Camera";
  a.serial = "2a4c6e8";
  a.devicePath = "@device:pnp:\\\\?\\usb#vid_0471&pid_0311&mi_00#7&2a4c6e8&0&0000#{x}\\global";
  EXPECT_EQ(KeptProfileName(a), "Philips ToUcam Pro Camera 2a4c6e8.profile");
  cli::CameraIdentity b = a;
  b.serial = "3b5d7f9";
  EXPECT_NE(KeptProfileName(a), KeptProfileName(b));

  // No serial: the device path tells two cameras of one model apart.
  cli::CameraIdentity c;
  c.name = "Cam: <front>/\"left\"?*|\t. ";
  c.serial = "0";
  c.devicePath = "@device:pnp:\\\\?\\usb#vid_1#5&1&0&1#{x}";
  cli::CameraIdentity d = c;
  d.devicePath = "@device:pnp:\\\\?\\usb#vid_1#5&1&0&2#{x}";
  const std::string name = KeptProfileName(c);
  EXPECT_NE(name, KeptProfileName(d));
  EXPECT_EQ(name.find_first_of("<>:\"/\\|?*\t"), std::string::npos) << name;
  EXPECT_EQ(name.rfind("Cam_ _front__", 0), 0u) << name;
  // The path's case does not matter.
  cli::CameraIdentity upper = c;
  for (char& ch : upper.devicePath) ch = static_cast<char>(std::toupper(ch));
  EXPECT_EQ(KeptProfileName(upper), name);
  cli::CameraIdentity empty;
  EXPECT_EQ(KeptProfileName(empty).rfind("Camera ", 0), 0u);
}

// The arguments are ones "lumora watch" itself accepts, with the guard.
TEST(KeptProfiles, WatchArgumentsAreAcceptedByTheWatch) {
  const std::vector<std::string> files = {"C:\\a b\\one.profile", "two.profile"};
  for (const auto& args : {WatchInstallArguments(files), WatchRunArguments(files)}) {
    ASSERT_EQ(args[0], "watch");
    cli::WatchOptions options;
    std::string error;
    ASSERT_TRUE(cli::ParseWatchArguments({args.begin() + 1, args.end()}, &options, &error))
        << error;
    EXPECT_TRUE(options.guard);
    EXPECT_EQ(options.profiles, files);
  }
  cli::WatchOptions options;
  std::string error;
  const std::vector<std::string> install = WatchInstallArguments(files);
  ASSERT_TRUE(cli::ParseWatchArguments({install.begin() + 1, install.end()}, &options, &error));
  EXPECT_EQ(options.action, cli::WatchOptions::kInstall);
  // No profile left: the start-up entry goes.
  const std::vector<std::string> none = WatchInstallArguments({});
  options = {};
  ASSERT_TRUE(cli::ParseWatchArguments({none.begin() + 1, none.end()}, &options, &error));
  EXPECT_EQ(options.action, cli::WatchOptions::kUninstall);
}

}  // namespace
}  // namespace lumora::settings
