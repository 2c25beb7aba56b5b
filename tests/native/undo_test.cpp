// The undo history: its file read back as written, hostile files rejected
// without harm, and set / load / reset followed by undo giving back the
// earlier values exactly on a simulated camera through the library's handler.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "property/catalogue.h"
#include "property/handler_factory.h"
#include "sim/rig_devices.h"
#include "sim/simulated_camera.h"
#include "tools/undo.h"

namespace lumora::cli {
namespace {

constexpr HResult kNotConnected = static_cast<HResult>(0x8007048Fu);

// The camera as a load sees it, through the library's handler of a
// simulated camera (modes as the standard controls have them).
class HandlerTarget : public ProfileTarget {
 public:
  explicit HandlerTarget(std::shared_ptr<sim::SimulatedCamera> cam)
      : cam_(std::move(cam)),
        filter_(cam_->MakeFilter()),
        handler_(CreatePropertyHandler(CSX_Unknown, filter_.get(), Guid{}, clock_)) {}
  int32_t Support(int32_t p) override {
    int32_t s = 0;
    return hr::Succeeded(handler_->QuerySupport(p, &s)) ? s : 0;
  }
  bool Range(int32_t p, int32_t* min, int32_t* max) override {
    int32_t step = 0, def = 0, caps = 0;
    return hr::Succeeded(handler_->QueryRange(p, min, max, &step, &def, &caps));
  }
  HResult Get(int32_t p, int32_t* v) override { return handler_->GetValue(p, v); }
  HResult Set(int32_t p, int32_t v) override { return handler_->SetValue(p, v); }
  int32_t ModeSupport(int32_t p) override {
    int32_t m = 0;
    return hr::Succeeded(handler_->QueryModes(p, &m)) ? m & (VCM_Auto | VCM_Manual) : 0;
  }
  HResult GetMode(int32_t p, int32_t* m) override { return handler_->GetMode(p, m); }
  HResult SetMode(int32_t p, int32_t m) override { return handler_->SetMode(p, m); }

 private:
  std::shared_ptr<sim::SimulatedCamera> cam_;
  std::unique_ptr<CaptureFilter> filter_;
  sim::SimClock clock_;
  std::unique_ptr<PropertyHandler> handler_;
};

// The manual values and modes of the camera's standard controls.
std::string Values(const sim::SimulatedCamera& cam) {
  std::string out;
  for (const auto& [id, c] : cam.procAmp) {
    out += "p" + std::to_string(id) + "=" + (c.flags == 1 ? "auto" : std::to_string(c.value)) + " ";
  }
  for (const auto& [id, c] : cam.cameraControl) {
    out += "c" + std::to_string(id) + "=" + (c.flags == 1 ? "auto" : std::to_string(c.value)) + " ";
  }
  return out;
}

const char kGood[] =
    "lumora-undo 1\n"
    "Camera = VID_0471&PID_0311 2a4c6e8\n"
    "change 2026-12-08 12:34:56 set\n"
    "Brightness = 128\n"
    "change 2026-12-08 12:35:10 load\n"
    "Contrast = -5\n"
    "Exposure = auto\n"
    "WhiteBalance = manual\n"
    "end\n";

TEST(UndoHistoryFile, ReadsBackAsWritten) {
  UndoHistory h;
  std::string error;
  ASSERT_TRUE(ParseUndoHistory(kGood, &h, &error)) << error;
  EXPECT_EQ(h.camera, "VID_0471&PID_0311 2a4c6e8");
  ASSERT_EQ(h.changes.size(), 2u);
  EXPECT_EQ(h.changes[1].when, "2026-12-08 12:35:10");
  EXPECT_EQ(h.changes[1].command, "load");
  EXPECT_EQ(ChangeSummary(h.changes[1]), "Contrast = -5, Exposure = auto, WhiteBalance = manual");
  EXPECT_EQ(FormatUndoHistory(h), kGood);
  // CR LF line ends read the same.
  std::string crlf;
  for (char c : std::string(kGood)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  UndoHistory again;
  ASSERT_TRUE(ParseUndoHistory(crlf, &again, &error)) << error;
  EXPECT_EQ(FormatUndoHistory(again), kGood);
  EXPECT_EQ(
      UndoListText(h),
      "1   2026-12-08 12:35:10  load   Contrast = -5, Exposure = auto, WhiteBalance = manual\n"
      "2   2026-12-08 12:34:56  set    Brightness = 128\n");
}

TEST(UndoHistoryFile, HostileFilesAreRejectedWithTheReason) {
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"", "not an undo history"},
      {"lumora-profile 1\nend\n", "not an undo history"},
      {"lumora-undo 1\nCamera = x\nchange 2026-12-08 12:34:56 set\nBrightness = 1\n",
       "no \"end\" line"},
      {"lumora-undo 1\nchange 2026-13-08 12:34:56 set\nBrightness = 1\nend\n", "line 2: expected"},
      {"lumora-undo 1\nchange 2026-12-08 12:34 set\nBrightness = 1\nend\n", "line 2: expected"},
      {"lumora-undo 1\nchange 2026-12-08 12:34:56 format\nBrightness = 1\nend\n",
       "line 2: expected"},
      {"lumora-undo 1\nchange 2026-12-08 12:34:56 set\nBrightnes = 1\nend\n",
       "line 3: unknown property"},
      {"lumora-undo 1\nchange 2026-12-08 12:34:56 set\nBrightness = 99999999999\nend\n",
       "line 3: value of Brightness"},
      {"lumora-undo 1\nchange 2026-12-08 12:34:56 set\nBrightness = 1\nVCP_Brightness = 2\nend\n",
       "line 4: Brightness given twice"},
      {"lumora-undo 1\nchange 2026-12-08 12:34:56 set\nchange 2026-12-08 12:34:57 set\n"
       "Brightness = 1\nend\n",
       "line 3: a change without values"},
      {"lumora-undo 1\nBrightness = 1\nend\n", "line 2: a value before the first change"},
      {"lumora-undo 1\nchange 2026-12-08 12:34:56 set\nBrightness = 1\nend\nmore\n",
       "line 5: text after"},
      {"lumora-undo 1\nchange 2026-12-08 12:34:56 set\nBrightness 1\nend\n",
       "line 3: unknown line"},
      {"lumora-undo 1\nchange 2026-12-08 12:34:56 set\nBrightness = 1\nCamera = x\nend\n",
       "line 4: Camera given twice"},
      {"lumora-undo 1\nchange 2026-12-08 12:34:56 set\nBrightness = 1" + std::string(1, '\0') +
           "\nend\n",
       "line 3: value of Brightness"},
      {"lumora-undo 1\n" + std::string(kUndoFileLimit, '#') + "\nend\n", "larger than"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 120));
    UndoHistory h;
    h.camera = "untouched";
    std::string error;
    EXPECT_FALSE(ParseUndoHistory(c.text, &h, &error));
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_EQ(h.camera, "untouched");
  }
  // More changes than the history keeps.
  std::string many = "lumora-undo 1\n";
  for (size_t i = 0; i <= kUndoDepth; ++i) many += "change 2026-12-08 12:34:56 set\nGain = 1\n";
  UndoHistory h;
  std::string error;
  EXPECT_FALSE(ParseUndoHistory(many + "end\n", &h, &error));
  EXPECT_NE(error.find("more than 20 changes"), std::string::npos) << error;
}

// Every truncation and every single-byte change of a good file is either
// rejected or read as a history that is written back the same way.
TEST(UndoHistoryFile, DamagedCopiesNeverReadAsSomethingElse) {
  const std::string good = kGood;
  std::vector<std::string> damaged;
  for (size_t n = 0; n < good.size(); ++n) damaged.push_back(good.substr(0, n));
  for (size_t i = 0; i < good.size(); ++i) {
    for (char c : {'\0', '\n', '=', ' ', 'x', '9', '\xFF'}) {
      std::string copy = good;
      copy[i] = c;
      damaged.push_back(copy);
    }
  }
  int accepted = 0;
  for (const std::string& text : damaged) {
    UndoHistory h;
    std::string error;
    if (!ParseUndoHistory(text, &h, &error)) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    ++accepted;
    UndoHistory again;
    ASSERT_TRUE(ParseUndoHistory(FormatUndoHistory(h), &again, &error)) << error;
    EXPECT_EQ(FormatUndoHistory(again), FormatUndoHistory(h));
    EXPECT_LE(h.changes.size(), kUndoDepth);
  }
  EXPECT_GT(accepted, 0);
  EXPECT_LT(accepted, static_cast<int>(damaged.size()) / 2);
}

TEST(UndoHistoryFile, EachCameraHasItsOwnPlainFileName) {
  CameraIdentity a{"Philips ToUcam Pro Camera", "VID_0471&PID_0311", "2a4c6e8",
                   "@device:pnp:\\\\?\\usb#vid_0471&pid_0311#2a4c6e8#{65e8}\\global", ""};
  CameraIdentity b = a;
  b.serial = "3b5d7f9";
  CameraIdentity c = a;  // no serial: the device path decides
  c.serial.clear();
  CameraIdentity d = c;
  d.devicePath = std::string(300, 'x') + "..\\..\\evil";
  EXPECT_EQ(UndoCameraKey(a), "VID_0471&PID_0311 2a4c6e8");
  EXPECT_EQ(UndoCameraKey(c), c.devicePath);
  EXPECT_NE(UndoFileName(a), UndoFileName(b));
  EXPECT_NE(UndoFileName(a), UndoFileName(c));
  for (const CameraIdentity& id : {a, b, c, d}) {
    const std::string name = UndoFileName(id);
    EXPECT_LE(name.size(), 64u + 13u) << name;
    EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                     "0123456789-_."),
              std::string::npos)
        << name;
    EXPECT_EQ(name.find(".."), std::string::npos) << name;
  }
  EXPECT_EQ(UndoFileName(a).rfind("VID_0471_PID_0311_2a4c6e8-", 0), 0u) << UndoFileName(a);
}

class Undo : public ::testing::Test {
 protected:
  std::shared_ptr<sim::SimulatedCamera> cam = sim::MakeRigCamera(Guid{});
  HandlerTarget target{cam};
  UndoHistory history;
  int clock = 0;
  std::string Now() {
    char text[32];
    std::snprintf(text, sizeof text, "2026-12-08 12:%02d:%02d", clock / 60 % 60, clock % 60);
    ++clock;
    return text;
  }
  // A command's change: records, then writes through the same target.
  void Change(const char* command, const std::vector<ProfileEntry>& entries) {
    std::vector<int32_t> properties;
    for (const ProfileEntry& e : entries) properties.push_back(e.property);
    AddChange(&history, RecordBefore(target, properties, command, Now()));
    for (const ProfileEntry& e : entries) {
      if (e.mode == EntryMode::kAuto) {
        target.SetMode(e.property, VCM_Auto);
      } else {
        target.SetMode(e.property, VCM_Manual);
        target.Set(e.property, e.value);
      }
    }
  }
};

TEST_F(Undo, SetLoadAndResetAreEachGivenBackExactlyAndUndoIsUndoable) {
  cam->cameraControl[4].flags = 1;  // Exposure automatic
  const std::string start = Values(*cam);
  Change("set", {{VCP_Brightness, 17, 0}});
  const std::string afterSet = Values(*cam);
  Change("load", {{VCP_Contrast, 3, 0}, {VCP_Exposure, -6, 0}, {VCP_Gain, 10, 0}});
  const std::string afterLoad = Values(*cam);
  Change("reset", {{VCP_Brightness, 0, 0, EntryMode::kAuto}, {VCP_Contrast, 64, 0}});
  ASSERT_EQ(history.changes.size(), 3u);
  EXPECT_EQ(ChangeSummary(history.changes[1]), "Contrast = 64, Exposure = auto, Gain = 16");

  const std::string afterReset = Values(*cam);
  UndoOutcome o = UndoLast(target, &history, Now());
  EXPECT_TRUE(o.undone);
  EXPECT_EQ(o.change.command, "reset");
  EXPECT_EQ(Values(*cam), afterLoad);
  // The undo itself is now the newest change, and undoing it redoes the reset.
  ASSERT_EQ(history.changes.size(), 3u);
  EXPECT_EQ(history.changes.back().command, "undo");
  EXPECT_TRUE(UndoLast(target, &history, Now()).undone);
  EXPECT_EQ(Values(*cam), afterReset);
  EXPECT_TRUE(UndoLast(target, &history, Now()).undone);  // the reset again
  EXPECT_EQ(Values(*cam), afterLoad);
  history.changes.pop_back();  // forget that undo: walk further back
  o = UndoLast(target, &history, Now());
  EXPECT_EQ(o.change.command, "load");
  EXPECT_EQ(o.load.Count(LoadResult::kApplied), 3u);
  EXPECT_EQ(Values(*cam), afterSet);
  history.changes.pop_back();
  EXPECT_TRUE(UndoLast(target, &history, Now()).undone);
  EXPECT_EQ(Values(*cam), start);
}

TEST_F(Undo, NothingToUndoChangesNothing) {
  cam->ClearLog();
  UndoOutcome o = UndoLast(target, &history, Now());
  EXPECT_FALSE(o.undone);
  EXPECT_TRUE(history.changes.empty());
  EXPECT_TRUE(cam->Requests(sim::Op::ProcAmpSet).empty());
  EXPECT_TRUE(cam->Requests(sim::Op::CameraSet).empty());
}

TEST_F(Undo, KeepsTheLastTwentyChanges) {
  for (int i = 0; i < 25; ++i) Change("set", {{VCP_Brightness, i, 0}});
  ASSERT_EQ(history.changes.size(), kUndoDepth);
  EXPECT_EQ(ChangeSummary(history.changes.front()), "Brightness = 4");
  EXPECT_FALSE(AddChange(&history, UndoChange{"2026-12-08 12:00:00", "set", {}}));
}

// A value outside today's range is refused as "load" refuses it; the
// others are put back.
TEST_F(Undo, ValuesOutsideTodaysRangeAreRefusedPerEntry) {
  UndoChange c{"2026-12-08 12:00:00", "set", {{VCP_Brightness, 9999, 0}, {VCP_Contrast, 5, 0}}};
  AddChange(&history, c);
  UndoOutcome o = UndoLast(target, &history, Now());
  EXPECT_TRUE(o.undone);
  EXPECT_EQ(o.load.Count(LoadResult::kRefused), 1u);
  EXPECT_EQ(o.load.Count(LoadResult::kApplied), 1u);
  EXPECT_EQ(cam->procAmp[0].value, 128);
  EXPECT_EQ(cam->procAmp[1].value, 5);
}

// A camera that goes away during the undo keeps its history as it was.
TEST_F(Undo, AVanishedCameraKeepsItsHistory) {
  Change("set", {{VCP_Brightness, 17, 0}});
  const std::string before = FormatUndoHistory(history);
  cam->failures[sim::Op::ProcAmpSet] = kNotConnected;
  cam->failures[sim::Op::ProcAmpGet] = kNotConnected;
  UndoOutcome o = UndoLast(target, &history, Now());
  EXPECT_FALSE(o.undone);
  EXPECT_TRUE(o.load.vanished);
  EXPECT_EQ(FormatUndoHistory(history), before);
}

TEST(UndoArguments, CamAndList) {
  std::string cam, error;
  bool list = false;
  EXPECT_TRUE(ParseUndoArguments({"2a4c6e8", "--list"}, &cam, &list, &error));
  EXPECT_EQ(cam, "2a4c6e8");
  EXPECT_TRUE(list);
  EXPECT_FALSE(ParseUndoArguments({}, &cam, &list, &error));
  EXPECT_NE(error.find("usage: lumora undo CAM [--list]"), std::string::npos);
  EXPECT_FALSE(ParseUndoArguments({"1", "2"}, &cam, &list, &error));
  EXPECT_FALSE(ParseUndoArguments({"1", "--all"}, &cam, &list, &error));
  EXPECT_EQ(error, "unknown option '--all' for undo");
}

}  // namespace
}  // namespace lumora::cli
