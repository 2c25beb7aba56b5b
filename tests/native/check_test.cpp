// "lumora check" on the simulated cameras through the library's handlers:
// clean on every well-behaved family, each injected driver fault caught with
// a FAIL line naming the property, values restored, a vanishing camera
// reported.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "property/catalogue.h"
#include "property/handler_factory.h"
#include "property/settings_block.h"
#include "sim/families.h"
#include "sim/rig_devices.h"
#include "tools/check.h"
#include "tools/json_output.h"

namespace lumora {
namespace {

constexpr HResult kDeviceNotConnected = static_cast<HResult>(0x8007048Fu);

// The camera as the tool sees it, over a handler of the simulated camera.
class HandlerSource : public CameraSource, private SettingsAccess {
 public:
  HandlerSource(std::shared_ptr<sim::SimulatedCamera> cam, int32_t chipset, const Guid& set)
      : cam_(std::move(cam)),
        filter_(cam_->MakeFilter()),
        handler_(CreatePropertyHandler(chipset, filter_.get(), set, clock_)) {}

  HResult Support(int32_t p, int32_t* support) override {
    Count();
    return handler_->QuerySupport(p, support);
  }
  HResult Range(int32_t p, int32_t* min, int32_t* max, int32_t* step, int32_t* def) override {
    Count();
    int32_t caps = 0;
    return handler_->QueryRange(p, min, max, step, def, &caps);
  }
  HResult Get(int32_t p, int32_t* value) override {
    Count();
    return handler_->GetValue(p, value);
  }
  HResult Set(int32_t p, int32_t value) override {
    Count();
    return handler_->SetValue(p, value);
  }
  HResult ModeSupport(int32_t p, int32_t* modes) override {
    Count();
    return handler_->QueryModes(p, modes);
  }
  HResult GetMode(int32_t p, int32_t* mode) override {
    Count();
    return handler_->GetMode(p, mode);
  }
  HResult SetMode(int32_t p, int32_t mode) override {
    Count();
    return handler_->SetMode(p, mode);
  }
  HResult Default(int32_t p, int32_t* value) override {
    Count();
    return handler_->QueryDefault(p, value);
  }
  HResult ReadSettings(int16_t* elements, uint32_t count) override {
    ReadSettingsBlock(*this, elements, count);
    return hr::Ok;
  }
  bool Present() override { return present_; }

  // After this many more calls the camera is unplugged: every driver call
  // fails with ERROR_DEVICE_NOT_CONNECTED and the camera is no longer listed.
  void UnplugAfter(int calls) { unplugAfter_ = calls; }

 private:
  void Count() {
    if (unplugAfter_ >= 0 && unplugAfter_-- == 0) {
      present_ = false;
      for (sim::Op op : {sim::Op::ProcAmpGetRange, sim::Op::ProcAmpGet, sim::Op::ProcAmpSet,
                         sim::Op::CameraGetRange, sim::Op::CameraGet, sim::Op::CameraSet,
                         sim::Op::VideoGetCaps, sim::Op::VideoGetMode, sim::Op::VideoSetMode,
                         sim::Op::VideoGetFrameRate, sim::Op::KsProperty}) {
        cam_->failures[op] = kDeviceNotConnected;
      }
    }
  }
  HResult QuerySupport(int32_t p, int32_t* support) override { return Support(p, support); }
  HResult GetValue(int32_t p, int32_t* value) override { return Get(p, value); }
  HResult SetValue(int32_t p, int32_t value) override { return Set(p, value); }
  void Progress(float) override {}

  std::shared_ptr<sim::SimulatedCamera> cam_;
  std::unique_ptr<CaptureFilter> filter_;
  sim::SimClock clock_;
  std::unique_ptr<PropertyHandler> handler_;
  bool present_ = true;
  int unplugAfter_ = -1;
};

struct Subject {
  std::string name;
  std::shared_ptr<sim::SimulatedCamera> cam;
  int32_t chipset;
  Guid set;
};

// The cameras of the rig: every family, and a plain camera.
std::vector<Subject> Subjects() {
  std::vector<Subject> out{{"Plain", sim::MakeRigCamera(Guid{}), CSX_Unknown, Guid{}}};
  for (const sim::FamilyInfo& f : sim::Families()) {
    out.push_back({f.name, sim::MakeRigCamera(f.privateSet), f.chipset, f.privateSet});
  }
  return out;
}

// The values the camera holds: standard controls (in automatic mode the
// camera chooses the value itself, so only the mode counts), video-control
// mode word, private properties.
std::string StateOf(const std::shared_ptr<sim::SimulatedCamera>& cam) {
  std::ostringstream out;
  const auto control = [&out](const char* kind, long id, const auto& c) {
    out << kind << " " << id << " ";
    if (c.flags == 1) {
      out << "auto\n";
    } else {
      out << c.value << "\n";
    }
  };
  for (const auto& [id, c] : cam->procAmp) control("procamp", id, c);
  for (const auto& [id, c] : cam->cameraControl) control("camera", id, c);
  out << "videomode " << cam->videoMode << "\n";
  for (const auto& [set, s] : cam->privateSets) {
    for (const auto& [id, p] : s.properties) out << "private " << id << " " << p.value << "\n";
  }
  return out.str();
}

// The line of a property in the text output.
std::string LineOf(const std::string& text, const char* property) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, std::string(property).size() + 1, std::string(property) + " ") == 0) {
      return line;
    }
  }
  return std::string();
}

TEST(Check, CleanOnEveryWellBehavedFamilyAndRestoresEveryValue) {
  for (Subject& s : Subjects()) {
    SCOPED_TRACE(s.name);
    const std::string before = StateOf(s.cam);
    HandlerSource source(s.cam, s.chipset, s.set);
    check::Result result = check::Run(source);
    const std::string text = check::Text(result);
    EXPECT_TRUE(result.Passed()) << text;
    EXPECT_TRUE(result.restored) << text;
    EXPECT_GT(result.summary.ok, 5) << text;
    EXPECT_EQ(result.properties.size(), 32u);
    EXPECT_EQ(StateOf(s.cam), before);
    // Triggers are never touched: no mode word written with a trigger bit.
    for (const sim::Request& r : s.cam->Requests(sim::Op::VideoSetMode)) {
      EXPECT_EQ(r.value & 0xC, 0) << r.value;
    }
    EXPECT_NE(text.find("Summary: "), std::string::npos);
  }
}

struct FaultCase {
  const char* what;
  bool sim::ControlFaults::*fault;
  const char* reason;  // part of the FAIL line
};

TEST(Check, CatchesEachStandardControlFaultOnItsProperty) {
  const FaultCase cases[] = {
      {"ignore-writes", &sim::ControlFaults::ignoreWrites, "read back"},
      {"default-outside", &sim::ControlFaults::defaultOutside, "default 256 outside the range"},
      {"fail-reads", &sim::ControlFaults::failReads, "claims read support, but reading fails"},
      {"wide-range", &sim::ControlFaults::wideRange, "wrote the maximum 510, read back 255"},
      {"keep-outside", &sim::ControlFaults::keepOutside,
       "accepts 256 outside the range 0..255 (reads 256)"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto cam = sim::SimulatedCamera::Create();
    cam->procAmpFaults[0].*c.fault = true;  // Brightness
    const std::string before = StateOf(cam);
    HandlerSource source(cam, CSX_Unknown, Guid{});
    check::Result result = check::Run(source);
    const std::string text = check::Text(result);
    EXPECT_FALSE(result.Passed());
    EXPECT_EQ(result.summary.failed, 1) << text;
    const std::string line = LineOf(text, "Brightness");
    EXPECT_EQ(line.find("FAIL"), 19u) << line;
    EXPECT_NE(line.find(c.reason), std::string::npos) << line;
    EXPECT_NE(LineOf(text, "Contrast").find("OK"), std::string::npos) << text;
    EXPECT_EQ(StateOf(cam), before);
  }
}

// A driver's stepping delta of 0 on a range that is not a single value: the
// check fails the range when it sees it, but the library reports such a
// delta as 1 (an old contract its clients rely on to divide by the step),
// so through the library the same driver fault leaves the check clean.
TEST(Check, AZeroSteppingDeltaFailsTheRangeWhereTheSourceReportsIt) {
  class ZeroStep : public HandlerSource {
   public:
    using HandlerSource::HandlerSource;
    HResult Range(int32_t p, int32_t* min, int32_t* max, int32_t* step, int32_t* def) override {
      HResult h = HandlerSource::Range(p, min, max, step, def);
      if (p == VCP_Hue) *step = 0;
      return h;
    }
  };
  auto cam = sim::SimulatedCamera::Create();
  ZeroStep source(cam, CSX_Unknown, Guid{});
  check::Result result = check::Run(source);
  const std::string text = check::Text(result);
  EXPECT_EQ(result.summary.failed, 1) << text;
  EXPECT_NE(LineOf(text, "Hue").find("FAIL: range -180..180 with stepping delta 0"),
            std::string::npos)
      << text;

  auto faulty = sim::SimulatedCamera::Create();
  faulty->procAmpFaults[2].zeroStep = true;  // Hue
  HandlerSource library(faulty, CSX_Unknown, Guid{});
  int32_t min = 0, max = 0, step = 0, def = 0;
  ASSERT_EQ(library.Range(VCP_Hue, &min, &max, &step, &def), hr::Ok);
  EXPECT_EQ(step, 1);
  check::Result through = check::Run(library);
  EXPECT_TRUE(through.Passed()) << check::Text(through);
  EXPECT_NE(LineOf(check::Text(through), "Hue").find("OK"), std::string::npos);
}

// A control whose reads are one above what was written fails, and the check
// still puts the device value back (the value that reads as the original).
TEST(Check, AControlThatReadsOffFromItsWritesFailsAndIsStillRestored) {
  class ReadsOneHigher : public HandlerSource {
   public:
    using HandlerSource::HandlerSource;
    HResult Get(int32_t p, int32_t* value) override {
      HResult h = HandlerSource::Get(p, value);
      if (p == VCP_Contrast && hr::Succeeded(h)) *value += 1;
      return h;
    }
  };
  auto cam = sim::SimulatedCamera::Create();
  const std::string before = StateOf(cam);
  ReadsOneHigher source(cam, CSX_Unknown, Guid{});
  check::Result result = check::Run(source);
  const std::string text = check::Text(result);
  EXPECT_EQ(result.summary.failed, 1) << text;
  EXPECT_NE(LineOf(text, "Contrast").find("FAIL: wrote the minimum 0, read back 1"),
            std::string::npos)
      << text;
  EXPECT_TRUE(result.restored) << text;
  EXPECT_EQ(StateOf(cam), before);
}

// A camera whose automatic exposure, whenever it is written, picks the
// exposure anew: the restore puts the automatic switch back before the value
// it moves, so both end as they were.
TEST(Check, RestoresAutomaticSwitchesBeforeTheValuesTheyMove) {
  class AutoExposureMovesExposure : public HandlerSource {
   public:
    using HandlerSource::HandlerSource;
    HResult Set(int32_t p, int32_t value) override {
      HResult h = HandlerSource::Set(p, value);
      if (p == VCP_AutoExposure && hr::Succeeded(h)) HandlerSource::Set(VCP_Exposure, picked);
      return h;
    }
    int32_t picked = 0;
  };
  const sim::FamilyInfo& info = sim::InfoOf(sim::Family::Saa8116);
  auto cam = sim::MakeRigCamera(info.privateSet);
  AutoExposureMovesExposure source(cam, info.chipset, info.privateSet);
  int32_t exposure = 0;
  ASSERT_EQ(source.Get(VCP_Exposure, &exposure), hr::Ok);
  source.picked = exposure == 1 ? 2 : 1;
  const std::string before = StateOf(cam);
  check::Result result = check::Run(source);
  const std::string text = check::Text(result);
  EXPECT_TRUE(result.restored) << text;
  EXPECT_EQ(StateOf(cam), before);
  int32_t after = 0;
  ASSERT_EQ(source.Get(VCP_Exposure, &after), hr::Ok);
  EXPECT_EQ(after, exposure);
}

TEST(Check, CatchesAPrivatePropertyThatIgnoresWrites) {
  const sim::FamilyInfo& info = sim::InfoOf(sim::Family::Saa8116);
  auto cam = sim::MakeRigCamera(info.privateSet);
  cam->FindPrivateSet(info.privateSet)->faults[3].ignoreWrites = true;  // WhiteBalRed
  HandlerSource source(cam, info.chipset, info.privateSet);
  check::Result result = check::Run(source);
  const std::string text = check::Text(result);
  EXPECT_EQ(result.summary.failed, 1) << text;
  EXPECT_NE(LineOf(text, "WhiteBalRed").find("FAIL: wrote the minimum 0, read back 127"),
            std::string::npos)
      << text;
}

TEST(Check, ACameraThatVanishesMidwayStopsTheCheckAndFails) {
  auto cam = sim::SimulatedCamera::Create();
  HandlerSource source(cam, CSX_Unknown, Guid{});
  source.UnplugAfter(150);  // past the snapshot, inside the property checks
  check::Result result = check::Run(source);
  const std::string text = check::Text(result);
  EXPECT_TRUE(result.vanished);
  EXPECT_FALSE(result.Passed());
  EXPECT_LT(result.properties.size(), 32u);
  EXPECT_NE(text.find("The camera vanished while"), std::string::npos) << text;
  EXPECT_NE(text.find("FAILED"), std::string::npos) << text;
}

// A source whose block misreports one element, as a control would whose
// block path and single path disagree.
class SkewedBlock : public HandlerSource {
 public:
  using HandlerSource::HandlerSource;
  HResult ReadSettings(int16_t* elements, uint32_t count) override {
    HResult h = HandlerSource::ReadSettings(elements, count);
    elements[VCP_Contrast] += 1;
    return h;
  }
};

TEST(Check, SettingsBlockThatDisagreesWithSingleReadsFails) {
  auto cam = sim::SimulatedCamera::Create();
  SkewedBlock source(cam, CSX_Unknown, Guid{});
  check::Result result = check::Run(source);
  const std::string text = check::Text(result);
  EXPECT_FALSE(result.Passed());
  EXPECT_NE(LineOf(text, "Contrast").find("FAIL: the settings block gives 65, a single read 64"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Settings block     FAIL: Contrast"), std::string::npos) << text;
}

// The check --json document: the settings block's own verdict, beside
// the properties' and the overall one.
TEST(Check, TheJsonDocumentCarriesTheSettingsBlockVerdict) {
  json::ListedCamera camera;
  camera.index = 1;
  HandlerSource clean(sim::SimulatedCamera::Create(), CSX_Unknown, Guid{});
  auto d = nlohmann::json::parse(json::CheckDocument(camera, check::Run(clean)));
  EXPECT_EQ(d["settingsBlock"],
            (nlohmann::json{{"result", "ok"}, {"failures", nlohmann::json::array()}}));
  EXPECT_EQ(d["summary"]["failed"], 0);
  EXPECT_TRUE(d["passed"].get<bool>());

  SkewedBlock skewed(sim::SimulatedCamera::Create(), CSX_Unknown, Guid{});
  d = nlohmann::json::parse(json::CheckDocument(camera, check::Run(skewed)));
  EXPECT_EQ(d["settingsBlock"]["result"], "fail");
  EXPECT_EQ(d["settingsBlock"]["failures"],
            nlohmann::json::array({"Contrast: the settings block gives 65, a single read 64"}));
  EXPECT_EQ(d["properties"][VCP_Contrast]["result"], "fail");
  EXPECT_FALSE(d["passed"].get<bool>());
}

}  // namespace
}  // namespace lumora
