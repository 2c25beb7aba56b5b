// Automatic and manual modes and defaults of every handler, checked against
// the simulated camera's own metadata: which properties have modes, what a
// mode switch sends to the driver, and the input that must write nothing.
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "property/handler_factory.h"
#include "property/table_handler.h"
#include "sim/families.h"
#include "tests/native/handler_test_support.h"

namespace lumora {
namespace {

using sim::Op;
using sim::SimulatedCamera;
using test::Path;

// A camera and the handler attachment would give it.
struct Subject {
  const char* name;
  std::shared_ptr<SimulatedCamera> cam;
  Guid privateSet;
  std::unique_ptr<PropertyHandler> handler;
};

Subject MakeSubject(const char* name, std::shared_ptr<SimulatedCamera> cam, int32_t chipset,
                    const Guid& privateSet, Clock& clock) {
  auto filter = cam->MakeFilter();
  auto handler = CreatePropertyHandler(chipset, filter.get(), privateSet, clock);
  cam->ClearLog();
  return Subject{name, std::move(cam), privateSet, std::move(handler)};
}

// The plain camera on the standard handler and every family on its own.
std::vector<Subject> AllSubjects(Clock& clock) {
  std::vector<Subject> out;
  out.push_back(MakeSubject("Standard", SimulatedCamera::Create(), CSX_Unknown, kNullGuid, clock));
  for (const sim::FamilyInfo& info : sim::Families()) {
    out.push_back(MakeSubject(info.name, sim::MakeFamilyCamera(info.family), info.chipset,
                              info.privateSet, clock));
  }
  return out;
}

// The metadata of the standard control a route reaches, or null.
const sim::StandardControl* ControlOf(const SimulatedCamera& cam, const test::Route& route) {
  const auto* controls = route.path == Path::ProcAmp         ? &cam.procAmp
                         : route.path == Path::CameraControl ? &cam.cameraControl
                                                             : nullptr;
  if (controls == nullptr) return nullptr;
  auto it = controls->find(static_cast<int32_t>(route.id));
  return it == controls->end() ? nullptr : &it->second;
}

bool WroteAnything(const SimulatedCamera& cam) {
  return !cam.Requests(Op::ProcAmpSet).empty() || !cam.Requests(Op::CameraSet).empty() ||
         !cam.Requests(Op::VideoSetMode).empty() || !test::KsWrites(cam).empty();
}

TEST(Modes, EveryCatalogueValueAnswersFromTheCameraMetadata) {
  sim::SimClock clock;
  for (Subject& s : AllSubjects(clock)) {
    for (int32_t p = 0; p < kCatalogueSize; ++p) {
      SCOPED_TRACE(std::string(s.name) + " property " + std::to_string(p));
      const test::Route route = test::RouteOf(*s.handler, *s.cam, s.privateSet, p);
      const sim::StandardControl* control = ControlOf(*s.cam, route);
      s.cam->ClearLog();
      int32_t modes = -1, mode = -1, def = -1;
      const bool standard = route.path == Path::ProcAmp || route.path == Path::CameraControl;
      if (standard && control == nullptr) {
        // Routed to a control the camera lacks: the driver's answer.
        EXPECT_EQ(s.handler->QueryModes(p, &modes), sim::kNotFound);
        EXPECT_EQ(modes, -1);
      } else if (control != nullptr) {
        ASSERT_EQ(s.handler->QueryModes(p, &modes), hr::Ok);
        EXPECT_EQ(modes, control->capsFlags & 3);
        ASSERT_EQ(s.handler->GetMode(p, &mode), hr::Ok);
        EXPECT_EQ(mode, (control->flags & 1) != 0 ? VCM_Auto : VCM_Manual);
        ASSERT_EQ(s.handler->QueryDefault(p, &def), hr::Ok);
        EXPECT_EQ(def, control->defaultValue);
      } else {
        ASSERT_EQ(s.handler->QueryModes(p, &modes), hr::Ok);
        EXPECT_EQ(modes, 0);
        EXPECT_EQ(s.handler->GetMode(p, &mode), hr::NotImpl);
        EXPECT_EQ(mode, -1);
        EXPECT_EQ(s.handler->SetMode(p, VCM_Auto), hr::NotImpl);
        EXPECT_EQ(s.handler->SetMode(p, VCM_Manual), hr::NotImpl);
      }
      EXPECT_FALSE(WroteAnything(*s.cam));
    }
  }
}

class StandardModes : public ::testing::Test {
 protected:
  void SetUp() override {
    cam = SimulatedCamera::Create();
    auto filter = cam->MakeFilter();
    h = std::make_unique<StandardPropertyHandler>(filter.get(), kNullGuid, kNullGuid, kNullGuid,
                                                  clock);
    cam->ClearLog();
  }
  int32_t Read(int32_t property) {
    int32_t v = INT32_MIN;
    EXPECT_EQ(h->GetValue(property, &v), hr::Ok);
    return v;
  }

  std::shared_ptr<SimulatedCamera> cam;
  sim::SimClock clock;
  std::unique_ptr<StandardPropertyHandler> h;
};

// Exposure (camera control 4), white balance (proc-amp 7), gain (proc-amp 9)
// and focus (unnamed 32: camera control 6) offer both modes.
TEST_F(StandardModes, SwitchesWriteTheCurrentValueWithTheModeFlag) {
  const struct {
    int32_t property;
    Op set;
    sim::StandardControl* control;
  } rows[] = {
      {VCP_Exposure, Op::CameraSet, &cam->cameraControl[4]},
      {VCP_WhiteBalance, Op::ProcAmpSet, &cam->procAmp[7]},
      {VCP_Gain, Op::ProcAmpSet, &cam->procAmp[9]},
      {32, Op::CameraSet, &cam->cameraControl[6]},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.property);
    ASSERT_EQ(row.control->capsFlags, 3);
    row.control->flags = VCM_Manual;
    const int32_t manualValue = row.control->value;

    cam->ClearLog();
    ASSERT_EQ(h->SetMode(row.property, VCM_Auto), hr::Ok);
    ASSERT_EQ(cam->Requests(row.set).size(), 1u);
    EXPECT_EQ(cam->Requests(row.set)[0].flags, static_cast<uint32_t>(VCM_Auto));
    EXPECT_EQ(cam->Requests(row.set)[0].value, manualValue);
    int32_t mode = 0;
    ASSERT_EQ(h->GetMode(row.property, &mode), hr::Ok);
    EXPECT_EQ(mode, VCM_Auto);
    // The camera moves the value by itself now.
    const int32_t first = Read(row.property);
    EXPECT_NE(Read(row.property), first);

    cam->ClearLog();
    const int32_t before = row.control->value;
    ASSERT_EQ(h->SetMode(row.property, VCM_Manual), hr::Ok);
    ASSERT_EQ(cam->Requests(row.set).size(), 1u);
    EXPECT_EQ(cam->Requests(row.set)[0].flags, static_cast<uint32_t>(VCM_Manual));
    EXPECT_EQ(cam->Requests(row.set)[0].value, before);
    ASSERT_EQ(h->GetMode(row.property, &mode), hr::Ok);
    EXPECT_EQ(mode, VCM_Manual);
    EXPECT_EQ(Read(row.property), Read(row.property));
  }
}

TEST_F(StandardModes, ModesTheControlDoesNotOfferAreRefused) {
  // Hue is manual only; brightness reports no modes at all.
  cam->procAmp[0].capsFlags = 0;
  int32_t modes = -1, mode = -1;
  ASSERT_EQ(h->QueryModes(VCP_Hue, &modes), hr::Ok);
  EXPECT_EQ(modes, VCM_Manual);
  EXPECT_EQ(h->SetMode(VCP_Hue, VCM_Auto), hr::NotImpl);
  ASSERT_EQ(h->QueryModes(VCP_Brightness, &modes), hr::Ok);
  EXPECT_EQ(modes, 0);
  EXPECT_EQ(h->GetMode(VCP_Brightness, &mode), hr::NotImpl);
  EXPECT_EQ(mode, -1);
  EXPECT_EQ(h->SetMode(VCP_Brightness, VCM_Manual), hr::NotImpl);
  EXPECT_TRUE(cam->Requests(Op::ProcAmpSet).empty());
  EXPECT_EQ(h->SetMode(VCP_Hue, VCM_Manual), hr::Ok);
}

TEST_F(StandardModes, BadInputWritesNothing) {
  for (int32_t bad : {0, 3, -1, 4, 0x102, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(h->SetMode(VCP_Exposure, bad), hr::InvalidArg) << bad;
  }
  EXPECT_TRUE(cam->log.empty()) << "a bad mode reaches no driver";
  // Raw codes (33 and above, negative) have no modes, even where the code
  // names a standard control; nothing is asked of the driver.
  for (int32_t raw : {33, 204, 1000, -1, INT32_MIN}) {
    int32_t modes = -1, mode = -1;
    EXPECT_EQ(h->QueryModes(raw, &modes), hr::Ok) << raw;
    EXPECT_EQ(modes, 0) << raw;
    EXPECT_EQ(h->GetMode(raw, &mode), hr::NotImpl) << raw;
    EXPECT_EQ(h->SetMode(raw, VCM_Auto), hr::NotImpl) << raw;
  }
  EXPECT_TRUE(cam->log.empty());
}

TEST_F(StandardModes, FailuresPassThroughAndWriteNothing) {
  int32_t modes = -1, mode = -1;
  cam->failures[Op::CameraGetRange] = sim::kNotFound;
  EXPECT_EQ(h->QueryModes(VCP_Exposure, &modes), sim::kNotFound);
  EXPECT_EQ(h->SetMode(VCP_Exposure, VCM_Manual), sim::kNotFound);
  cam->failures.clear();
  cam->failures[Op::CameraGet] = hr::Fail;
  EXPECT_EQ(h->GetMode(VCP_Exposure, &mode), hr::Fail);
  EXPECT_EQ(h->SetMode(VCP_Exposure, VCM_Manual), hr::Fail);
  EXPECT_EQ(modes, -1);
  EXPECT_EQ(mode, -1);
  EXPECT_TRUE(cam->Requests(Op::CameraSet).empty());
}

TEST(Modes, MissingInterfacesFailAsTheOtherAccessPathsDo) {
  sim::SimClock clock;
  const struct {
    void (*drop)(SimulatedCamera&);
    HResult expected;
  } rows[] = {
      {[](SimulatedCamera& c) { c.DropEveryPropertyInterface(); }, hr::NoInterface},
      {[](SimulatedCamera& c) { c.hasCameraControl = false; }, hr::Fail},
  };
  for (const auto& row : rows) {
    auto cam = SimulatedCamera::Create();
    row.drop(*cam);
    auto filter = cam->MakeFilter();
    StandardPropertyHandler h(filter.get(), kNullGuid, kNullGuid, kNullGuid, clock);
    int32_t modes = -1, mode = -1, def = -1;
    EXPECT_EQ(h.QueryModes(VCP_Exposure, &modes), row.expected);
    EXPECT_EQ(h.GetMode(VCP_Exposure, &mode), row.expected);
    EXPECT_EQ(h.SetMode(VCP_Exposure, VCM_Auto), row.expected);
    EXPECT_EQ(h.QueryDefault(VCP_Exposure, &def), row.expected);
    EXPECT_EQ(modes, -1);
    EXPECT_EQ(mode, -1);
    EXPECT_EQ(def, -1);
    EXPECT_TRUE(cam->Requests(Op::CameraSet).empty());
  }
}

// Defaults that are not the driver's standard range: fixed defaults of the
// chipset tables count, invented ones (a private range's minimum, the
// video-control pseudo set) do not.
TEST(Defaults, OnlyReportedDefaultsAnswer) {
  sim::SimClock clock;
  const struct {
    const char* subject;
    int32_t property;
    HResult result;
    int32_t value;
  } rows[] = {
      {"Standard", VCP_Brightness, hr::Ok, 128},
      {"Standard", VCP_FlipHorizontal, hr::NotImpl, -1},
      {"Standard", VCP_ActualFrameRate, hr::NotImpl, -1},
      {"Standard", VCP_WhiteBalanceMode, hr::NotImpl, -1},
      {"Standard", -1, hr::NotImpl, -1},
      {"Standard", 204, hr::Ok, -6},  // raw code: camera-control Exposure
      {"Saa8112", VCP_Exposure, hr::Ok, 0},
      {"Saa8112", VCP_Gain, hr::Ok, 33},
      {"Saa8116", VCP_WhiteBalRed, hr::Ok, 127},
      {"Saa8116", VCP_Exposure, hr::NotImpl, -1},
      {"Saa8116", 515, hr::NotImpl, -1},
      {"LogiFusion", VCP_WhiteBalRed, hr::NotImpl, -1},
  };
  std::vector<Subject> subjects = AllSubjects(clock);
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.subject) + " property " + std::to_string(row.property));
    Subject* s = nullptr;
    for (Subject& candidate : subjects) {
      if (std::string(candidate.name) == row.subject) s = &candidate;
    }
    ASSERT_NE(s, nullptr);
    int32_t value = -1;
    EXPECT_EQ(s->handler->QueryDefault(row.property, &value), row.result);
    EXPECT_EQ(value, row.value);
  }
}

// Many cameras drop a manual value written while the control is automatic;
// switching to manual first and then writing the value sets it at once.
TEST_F(StandardModes, ManualAtAValueOnACameraThatKeepsItsAutoValue) {
  cam->keepsAutoValueOnManualWrite = true;
  sim::StandardControl& exposure = cam->cameraControl[4];
  ASSERT_EQ(exposure.flags, VCM_Auto);
  const int32_t autoValue = exposure.value;
  ASSERT_EQ(h->SetValue(VCP_Exposure, -9), hr::Ok);
  EXPECT_EQ(exposure.value, autoValue) << "the value written while automatic is dropped";
  EXPECT_EQ(exposure.flags, VCM_Manual);

  ASSERT_EQ(h->SetMode(VCP_Exposure, VCM_Auto), hr::Ok);
  ASSERT_EQ(h->SetMode(VCP_Exposure, VCM_Manual), hr::Ok);
  ASSERT_EQ(h->SetValue(VCP_Exposure, -9), hr::Ok);
  EXPECT_EQ(Read(VCP_Exposure), -9);
}

}  // namespace
}  // namespace lumora
