// "lumora check" on the simulated cameras through the library's handlers:
// clean on every well-behaved family, each injected driver fault caught with
// a FAIL line naming the property, values restored, a vanishing camera
// reported.
#include <gtest/gtest.h>

#include <algorithm>
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
        chipset_(chipset),
        set_(set),
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
  std::unique_ptr<CameraSource> OpenAnother() override {
    return std::make_unique<HandlerSource>(cam_, chipset_, set_);
  }

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
  int32_t chipset_;
  Guid set_;
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

// The ids of the findings with an outcome, over the properties and the
// camera checks ("Brightness write.max-reads-back", "- invalid.refused").
std::vector<std::string> Caught(const check::Result& result, check::Outcome outcome) {
  std::vector<std::string> ids;
  for (const check::PropertyResult& r : result.properties) {
    for (const check::Finding& f : r.findings) {
      if (f.outcome == outcome) ids.push_back(std::string(PropertyName(r.property)) + " " + f.id);
    }
  }
  for (const check::CameraCheck& c : result.cameraChecks) {
    for (const check::Finding& f : c.findings) {
      if (f.outcome == outcome) ids.push_back("- " + f.id);
    }
  }
  return ids;
}

bool Has(const std::vector<std::string>& ids, const std::string& id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Every check made is listed with its id, also when it passes; the ids are
// the documented ones.
TEST(Check, EveryCheckMadeIsListedUnderADocumentedId) {
  auto cam = sim::SimulatedCamera::Create();
  HandlerSource source(cam, CSX_Unknown, Guid{});
  check::Result result = check::Run(source);
  std::vector<std::string> brightness;
  for (const check::Finding& f : result.properties[VCP_Brightness].findings) {
    EXPECT_EQ(f.outcome, check::Outcome::kOk) << f.id;
    brightness.push_back(f.id);
  }
  EXPECT_EQ(brightness, (std::vector<std::string>{
                            "support.readable", "range.readable", "range.min-below-max",
                            "range.step-positive", "range.default-inside", "range.default-on-step",
                            "value.inside-range", "value.on-step", "write.min-reads-back",
                            "write.max-reads-back", "write.default-reads-back", "outside.above-max",
                            "outside.below-min", "mode.switches"}));
  std::vector<std::string> documented;
  for (size_t i = 0; i < check::kCheckCount; ++i) documented.push_back(check::kChecks[i].id);
  for (const check::PropertyResult& r : result.properties) {
    for (const check::Finding& f : r.findings) EXPECT_TRUE(Has(documented, f.id)) << f.id;
  }
  for (const check::CameraCheck& c : result.cameraChecks) {
    for (const check::Finding& f : c.findings) EXPECT_TRUE(Has(documented, f.id)) << f.id;
  }
}

// A range twice as wide as the values the camera keeps is what real drivers
// get wrong and users live with: a warning under its own id, not a failure.
TEST(Check, ARangeWiderThanTheValuesKeptWarns) {
  auto cam = sim::SimulatedCamera::Create();
  cam->procAmpFaults[0].wideRange = true;  // Brightness
  const std::string before = StateOf(cam);
  HandlerSource source(cam, CSX_Unknown, Guid{});
  check::Result result = check::Run(source);
  const std::string text = check::Text(result);
  EXPECT_TRUE(result.Passed()) << text;
  EXPECT_EQ(result.summary.failed, 0) << text;
  EXPECT_EQ(result.summary.warned, 1) << text;
  EXPECT_NE(LineOf(text, "Brightness")
                .find("WARN: wrote the maximum 510, the camera keeps 255 [range.wider-than-kept]"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(" 1 warnings, 0 failed; passed"), std::string::npos) << text;
  EXPECT_EQ(StateOf(cam), before);
}

// Values and defaults off the step, and a default that does not read back,
// warn; a value outside the range fails. Each under its id.
TEST(Check, OffStepValuesAndDefaultsWarnAndAValueOutsideTheRangeFails) {
  class Skewed : public HandlerSource {
   public:
    using HandlerSource::HandlerSource;
    HResult Range(int32_t p, int32_t* min, int32_t* max, int32_t* step, int32_t* def) override {
      HResult h = HandlerSource::Range(p, min, max, step, def);
      if (p == VCP_Hue) *step = 7;       // value 0 from -180 is off a step of 7
      if (p == VCP_Sharpness) *max = 6;  // value 7 outside 0..6
      return h;
    }
    HResult Default(int32_t p, int32_t* value) override {
      HResult h = HandlerSource::Default(p, value);
      if (p == VCP_Contrast) *value = 63;  // off the step 2 set below
      return h;
    }
    HResult Get(int32_t p, int32_t* value) override {
      HResult h = HandlerSource::Get(p, value);
      // Gamma: the default 150 written reads back as 151; other values as written.
      if (p == VCP_Gamma && hr::Succeeded(h) && *value == 150 && wroteDefault_) *value = 151;
      return h;
    }
    HResult Set(int32_t p, int32_t value) override {
      if (p == VCP_Gamma) wroteDefault_ = value == 150;
      return HandlerSource::Set(p, value);
    }

   private:
    bool wroteDefault_ = false;
  };
  auto cam = sim::SimulatedCamera::Create();
  cam->procAmp[VCP_Contrast].step = 2;
  cam->procAmp[VCP_Contrast].min = 0;
  cam->procAmp[VCP_Gamma].defaultValue = 150;
  cam->procAmp[VCP_Gamma].value = 200;
  cam->procAmp[VCP_Sharpness].value = 7;
  Skewed source(cam, CSX_Unknown, Guid{});
  check::Result result = check::Run(source);
  const std::string text = check::Text(result);
  const std::vector<std::string> warned = Caught(result, check::Outcome::kWarn);
  EXPECT_TRUE(Has(warned, "Hue value.on-step")) << text;
  EXPECT_TRUE(Has(warned, "Contrast range.default-on-step")) << text;
  EXPECT_TRUE(Has(warned, "Gamma write.default-reads-back")) << text;
  const std::vector<std::string> failed = Caught(result, check::Outcome::kFail);
  EXPECT_TRUE(Has(failed, "Sharpness value.inside-range")) << text;
  for (const std::string& id : failed) EXPECT_EQ(id.rfind("Sharpness ", 0), 0u) << text;
  EXPECT_EQ(result.summary.warned, 3) << text;
  EXPECT_EQ(result.summary.failed, 1) << text;
  EXPECT_NE(LineOf(text, "Hue").find("; value 0 not on a step of 7 from -180 [value.on-step]"),
            std::string::npos)
      << text;
  EXPECT_FALSE(result.Passed());
}

// A call that reports success without writing its output is caught by the
// sentinel put into every output first, whatever value that output held.
TEST(Check, PoisonedOutputsCatchACallThatSucceedsWithoutWriting) {
  class Silent : public HandlerSource {
   public:
    using HandlerSource::HandlerSource;
    HResult Get(int32_t p, int32_t* value) override {
      if (p == VCP_Brightness) return hr::Ok;
      return HandlerSource::Get(p, value);
    }
    HResult Range(int32_t p, int32_t* min, int32_t* max, int32_t* step, int32_t* def) override {
      if (p != VCP_Saturation) return HandlerSource::Range(p, min, max, step, def);
      int32_t keep = *step;
      HResult h = HandlerSource::Range(p, min, max, step, def);
      *step = keep;
      return h;
    }
  };
  auto cam = sim::SimulatedCamera::Create();
  Silent source(cam, CSX_Unknown, Guid{});
  check::Result result = check::Run(source);
  const std::string text = check::Text(result);
  const std::vector<std::string> failed = Caught(result, check::Outcome::kFail);
  EXPECT_TRUE(Has(failed, "Brightness call.output-written")) << text;
  EXPECT_TRUE(Has(failed, "Saturation call.output-written")) << text;
  EXPECT_NE(LineOf(text, "Saturation")
                .find("FAIL: Range (its stepping delta) reports success without writing its "
                      "output [call.output-written]"),
            std::string::npos)
      << text;
  EXPECT_EQ(result.summary.failed, 2) << text;
  EXPECT_FALSE(result.Passed());
}

// The same fault in a driver: a read that answers success and leaves its
// outputs. Straight on the driver's calls the sentinel catches it; through
// the library (whose handlers start from their own zero) the zero it reads
// fails the writes.
TEST(Check, ADriverReadThatSucceedsWithoutWritingIsCaught) {
  class DriverSource : public CameraSource {
   public:
    explicit DriverSource(std::shared_ptr<sim::SimulatedCamera> cam) : cam_(std::move(cam)) {}
    HResult Support(int32_t p, int32_t* support) override {
      *support = p <= VCP_Gain ? VCS_both : VCS_no;
      return hr::Ok;
    }
    HResult Range(int32_t p, int32_t* min, int32_t* max, int32_t* step, int32_t* def) override {
      int32_t caps = 0;
      return cam_->ControlGetRange(false, p, min, max, step, def, &caps);
    }
    HResult Get(int32_t p, int32_t* value) override {
      int32_t flags = 0;
      return cam_->ControlGet(false, p, value, &flags);
    }
    HResult Set(int32_t p, int32_t value) override { return cam_->ControlSet(false, p, value, 2); }
    HResult ReadSettings(int16_t*, uint32_t) override { return hr::NotImpl; }
    bool Present() override { return true; }

   private:
    std::shared_ptr<sim::SimulatedCamera> cam_;
  };
  auto cam = sim::SimulatedCamera::Create();
  cam->procAmpFaults[VCP_Contrast].silentReads = true;
  DriverSource driver(cam);
  check::Result direct = check::Run(driver);
  EXPECT_TRUE(Has(Caught(direct, check::Outcome::kFail), "Contrast call.output-written"))
      << check::Text(direct);

  HandlerSource library(cam, CSX_Unknown, Guid{});
  check::Result through = check::Run(library);
  EXPECT_TRUE(Has(Caught(through, check::Outcome::kFail), "Contrast write.max-reads-back"))
      << check::Text(through);
}

// Invalid property numbers: refused, nothing changed; a source that
// accepts one, or lets one write a real property, fails the camera check.
TEST(Check, InvalidPropertyNumbersMustBeRefusedAndChangeNothing) {
  auto cam = sim::SimulatedCamera::Create();
  HandlerSource clean(cam, CSX_Unknown, Guid{});
  check::Result ok = check::Run(clean);
  EXPECT_NE(check::Text(ok).find("Invalid properties OK\n"), std::string::npos) << check::Text(ok);

  class Aliased : public HandlerSource {
   public:
    using HandlerSource::HandlerSource;
    // One past the end taken as the first property, as a control without a
    // bounds check might.
    HResult Set(int32_t p, int32_t value) override {
      if (p == 33 && value == 0) return HandlerSource::Set(VCP_Brightness, 0);
      return HandlerSource::Set(p, value);
    }
  };
  auto cam2 = sim::SimulatedCamera::Create();
  Aliased aliased(cam2, CSX_Unknown, Guid{});
  check::Result result = check::Run(aliased);
  const std::string text = check::Text(result);
  EXPECT_FALSE(result.Passed()) << text;
  EXPECT_NE(text.find("Invalid properties FAIL: Set(33, 0) succeed [invalid.refused]; "
                      "Brightness changed from 128 to 0 [invalid.refused]"),
            std::string::npos)
      << text;
}

// A second control object on the same device reads what the first wrote;
// one that answers from a copy of its own fails.
TEST(Check, ASecondControlSeesTheFirstOnesWrites) {
  auto cam = sim::SimulatedCamera::Create();
  HandlerSource shared(cam, CSX_Unknown, Guid{});
  check::Result ok = check::Run(shared);
  EXPECT_NE(check::Text(ok).find("Second control     OK\n"), std::string::npos) << check::Text(ok);

  class Detached : public HandlerSource {
   public:
    using HandlerSource::HandlerSource;
    std::unique_ptr<CameraSource> OpenAnother() override {
      return std::make_unique<HandlerSource>(sim::SimulatedCamera::Create(), CSX_Unknown, Guid{});
    }
  };
  auto cam2 = sim::SimulatedCamera::Create();
  const std::string before = StateOf(cam2);
  Detached detached(cam2, CSX_Unknown, Guid{});
  check::Result result = check::Run(detached);
  const std::string text = check::Text(result);
  EXPECT_FALSE(result.Passed()) << text;
  EXPECT_NE(text.find("Second control     FAIL: wrote Brightness = 0 through one control, the "
                      "second reads 128 [second.sees-writes]"),
            std::string::npos)
      << text;
  EXPECT_EQ(StateOf(cam2), before);
}

// Every rig fault on every rig camera: on its first standard control, and
// on the first property of its private sets where the fault shows through
// the family's handler (some private ranges are the handler's own, so a
// range fault there is invisible, like a zero step; a private range carries
// no default): caught by the check named for it.
TEST(Check, EveryInjectedFaultOnEveryRigCameraIsCaughtByItsNamedCheck) {
  const struct {
    const char* name;
    bool sim::ControlFaults::*fault;
    const char* id;
    check::Outcome outcome;
  } faults[] = {
      // A control already at its minimum is caught by the write of the maximum.
      {"ignore-writes", &sim::ControlFaults::ignoreWrites,
       "write.min-reads-back|write.max-reads-back", check::Outcome::kFail},
      {"default-outside", &sim::ControlFaults::defaultOutside, "range.default-inside",
       check::Outcome::kFail},
      {"fail-reads", &sim::ControlFaults::failReads, "support.readable", check::Outcome::kFail},
      {"wide-range", &sim::ControlFaults::wideRange, "range.wider-than-kept",
       check::Outcome::kWarn},
      {"silent-reads", &sim::ControlFaults::silentReads,
       "write.min-reads-back|write.max-reads-back", check::Outcome::kFail},
  };
  // The check of a fresh camera of the subject with one fault injected
  // (set null: procamp id).
  auto run = [](const Subject& s, const Guid* set, uint32_t id, bool sim::ControlFaults::*fault) {
    auto cam = sim::MakeRigCamera(s.set);
    if (set != nullptr) {
      cam->FindPrivateSet(*set)->faults[id].*fault = true;
    } else {
      cam->procAmpFaults[static_cast<int32_t>(id)].*fault = true;
    }
    HandlerSource source(cam, s.chipset, s.set);
    return check::Run(source);
  };
  // Whether a finding with the outcome has one of the ids ("a|b").
  auto named = [](const check::Result& result, const std::string& ids, check::Outcome outcome) {
    for (const std::string& caught : Caught(result, outcome)) {
      const std::string id = caught.substr(caught.rfind(' ') + 1);
      if (("|" + ids + "|").find("|" + id + "|") != std::string::npos) return true;
    }
    return false;
  };
  int standard = 0, privately = 0;
  for (const Subject& s : Subjects()) {
    for (const auto& f : faults) {
      SCOPED_TRACE(std::string(f.name) + " on " + s.name);
      check::Result result = run(s, nullptr, 0, f.fault);
      EXPECT_TRUE(named(result, f.id, f.outcome)) << check::Text(result);
      EXPECT_EQ(result.Passed(), f.outcome != check::Outcome::kFail) << check::Text(result);
      ++standard;
      if (f.fault == &sim::ControlFaults::defaultOutside) continue;
      const auto sets = sim::MakeRigCamera(s.set)->privateSets;
      bool shown = false;
      for (const auto& [set, privateSet] : sets) {
        for (const auto& [id, property] : privateSet.properties) {
          result = run(s, &set, id, f.fault);
          if (Caught(result, check::Outcome::kFail).empty() &&
              Caught(result, check::Outcome::kWarn).empty())
            continue;  // not behind a property of this family's catalogue
          EXPECT_TRUE(named(result, f.id, f.outcome)) << "private id " << id << "\n"
                                                      << check::Text(result);
          ++privately;
          shown = true;
          break;
        }
        if (shown) break;
      }
    }
  }
  EXPECT_EQ(standard, 35);
  EXPECT_GE(privately, 16);
}

}  // namespace
}  // namespace lumora
