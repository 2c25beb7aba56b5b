// Filters that offer the standard DirectShow interfaces but no IKsControl
// (capture cards, software and virtual cameras, Wine's capture filter): the
// standard properties go through IAMVideoProcAmp, IAMCameraControl and
// IAMVideoControl, and support is claimed only where the filter answers.
#include <gtest/gtest.h>

#include "property/detection.h"
#include "property/table_handler.h"
#include "sim/simulated_camera.h"
#include "tests/native/handler_test_support.h"

namespace lumora {
namespace {

using sim::Op;
using sim::SimulatedCamera;

constexpr int32_t kUntouched = 0x5A5A5A5A;

class StandardInterfaceTest : public ::testing::Test {
 protected:
  // A filter as Wine's capture filter is: four proc-amp controls, an
  // IAMVideoControl whose every method fails, nothing else.
  void SetUp() override {
    cam = SimulatedCamera::Create();
    cam->hasKsControl = cam->hasKsPropertySet = cam->hasCameraControl = false;
    for (auto it = cam->procAmp.begin(); it != cam->procAmp.end();) {
      it = it->first > 3 ? cam->procAmp.erase(it) : std::next(it);
    }
    cam->procAmp[0] = {-64, 64, 1, 0, 2, 5, 2};  // brightness, manual only
    for (Op op : {Op::VideoGetCaps, Op::VideoGetMode, Op::VideoSetMode, Op::VideoGetFrameRate}) {
      cam->failures[op] = hr::NotImpl;
    }
  }

  std::unique_ptr<StandardPropertyHandler> Make() {
    return test::MakeOver<StandardPropertyHandler>(*cam, kNullGuid, clock);
  }

  std::shared_ptr<SimulatedCamera> cam;
  sim::SimClock clock;
};

TEST_F(StandardInterfaceTest, SupportIsWhatTheInterfacesAnswer) {
  auto h = Make();
  const struct {
    int32_t property;
    int32_t support;
  } rows[] = {
      {VCP_Brightness, VCS_both},    {VCP_Contrast, VCS_both}, {VCP_Hue, VCS_both},
      {VCP_Saturation, VCS_both},    {VCP_Sharpness, VCS_no},  {VCP_Gain, VCS_no},
      {VCP_Exposure, VCS_no},        {VCP_Focus, VCS_no},      {VCP_FlipHorizontal, VCS_no},
      {VCP_ActualFrameRate, VCS_no}, {VCP_SWTrigger, VCS_no},  {VCP_LED, VCS_no},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(PropertyName(row.property));
    int32_t support = -1;
    EXPECT_EQ(h->QuerySupport(row.property, &support), hr::Ok);
    EXPECT_EQ(support, row.support);
  }
}

TEST_F(StandardInterfaceTest, ValuesRangesModesAndDefaultsReachTheControl) {
  auto h = Make();
  int32_t mn = 0, mx = 0, st = 0, df = 0, caps = 0;
  ASSERT_EQ(h->QueryRange(VCP_Brightness, &mn, &mx, &st, &df, &caps), hr::Ok);
  EXPECT_EQ(mn, -64);
  EXPECT_EQ(mx, 64);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(df, 0);

  ASSERT_EQ(h->SetValue(VCP_Brightness, -7), hr::Ok);
  EXPECT_EQ(cam->procAmp[0].value, -7) << "the write reached the control";
  int32_t v = 0;
  ASSERT_EQ(h->GetValue(VCP_Brightness, &v), hr::Ok);
  EXPECT_EQ(v, -7);

  int32_t modes = -1, mode = -1, def = -1;
  ASSERT_EQ(h->QueryModes(VCP_Brightness, &modes), hr::Ok);
  EXPECT_EQ(modes, VCM_Manual);
  ASSERT_EQ(h->GetMode(VCP_Brightness, &mode), hr::Ok);
  EXPECT_EQ(mode, VCM_Manual);
  EXPECT_EQ(h->SetMode(VCP_Brightness, VCM_Auto), hr::NotImpl) << "auto is not offered";
  ASSERT_EQ(h->QueryDefault(VCP_Brightness, &def), hr::Ok);
  EXPECT_EQ(def, 0);
}

TEST_F(StandardInterfaceTest, UnsupportedPropertiesFailAndWriteNothing) {
  auto h = Make();
  for (int32_t p :
       {VCP_Sharpness, VCP_Exposure, VCP_FlipHorizontal, VCP_ActualFrameRate, VCP_ExtTrigger}) {
    SCOPED_TRACE(PropertyName(p));
    int32_t mn = kUntouched, mx = kUntouched, st, df, caps;
    EXPECT_TRUE(hr::Failed(h->QueryRange(p, &mn, &mx, &st, &df, &caps)));
    int32_t v = kUntouched;
    EXPECT_TRUE(hr::Failed(h->GetValue(p, &v)));
    EXPECT_EQ(v, kUntouched);
    EXPECT_TRUE(hr::Failed(h->SetValue(p, 1)));
  }
  // The vendor sets are out of reach without IKsControl.
  int32_t v = kUntouched, support = -1;
  EXPECT_EQ(h->GetValue(510, &v), hr::NoInterface);
  EXPECT_EQ(h->QuerySupport(510, &support), hr::NoInterface);
  EXPECT_EQ(support, VCS_no);
  EXPECT_EQ(v, kUntouched);
}

// Range succeeds, read fails: the read is a failure, never the last value.
TEST_F(StandardInterfaceTest, InconsistentAnswersGiveFailuresNotStaleValues) {
  auto h = Make();
  int32_t v = 0;
  ASSERT_EQ(h->GetValue(VCP_Contrast, &v), hr::Ok);
  cam->procAmpFaults[1].failReads = true;
  int32_t support = -1;
  EXPECT_EQ(h->QuerySupport(VCP_Contrast, &support), hr::Ok);
  EXPECT_EQ(support, VCS_both);
  v = kUntouched;
  EXPECT_EQ(h->GetValue(VCP_Contrast, &v), sim::kGenFailure);
  EXPECT_EQ(v, kUntouched);
  int32_t mode = kUntouched;
  EXPECT_TRUE(hr::Failed(h->GetMode(VCP_Contrast, &mode)));
  EXPECT_EQ(mode, kUntouched);

  // A control that vanishes between two calls.
  cam->failures[Op::ProcAmpGetRange] = sim::kDeviceNotConnected;
  cam->failures[Op::ProcAmpSet] = sim::kDeviceNotConnected;
  EXPECT_EQ(h->QuerySupport(VCP_Brightness, &support), hr::Ok);
  EXPECT_EQ(support, VCS_no);
  EXPECT_EQ(h->SetValue(VCP_Brightness, 3), sim::kDeviceNotConnected);
  int32_t mn = kUntouched, mx, st, df, caps;
  EXPECT_EQ(h->QueryRange(VCP_Brightness, &mn, &mx, &st, &df, &caps), sim::kDeviceNotConnected);
}

TEST_F(StandardInterfaceTest, AWorkingVideoControlIsUsedAsOnAKernelStreamingFilter) {
  cam->failures.clear();
  cam->videoCaps = kVideoControlFlipVertical;
  auto h = Make();
  int32_t support = -1;
  EXPECT_EQ(h->QuerySupport(VCP_ActualFrameRate, &support), hr::Ok);
  EXPECT_EQ(support, VCS_get);
  EXPECT_EQ(h->QuerySupport(VCP_FlipVertical, &support), hr::Ok);
  EXPECT_EQ(support, VCS_both);
  int32_t v = 0;
  ASSERT_EQ(h->GetValue(VCP_ActualFrameRate, &v), hr::Ok);
  EXPECT_EQ(v, 33);
  ASSERT_EQ(h->SetValue(VCP_FlipVertical, 1), hr::Ok);
  EXPECT_EQ(cam->videoMode & kVideoControlFlipVertical, kVideoControlFlipVertical);
  int32_t mn, mx = 0, st, df, caps;
  EXPECT_EQ(h->QueryRange(VCP_FlipHorizontal, &mn, &mx, &st, &df, &caps), hr::NotImpl)
      << "a flip the capability word lacks has no range";
}

TEST_F(StandardInterfaceTest, CameraControlAloneServesTheCameraProperties) {
  cam->hasVideoProcAmp = cam->hasVideoControl = false;
  cam->hasCameraControl = true;
  auto h = Make();
  int32_t support = -1;
  EXPECT_EQ(h->QuerySupport(VCP_Zoom, &support), hr::Ok);
  EXPECT_EQ(support, VCS_both);
  EXPECT_EQ(h->QuerySupport(VCP_Brightness, &support), hr::Ok);
  EXPECT_EQ(support, VCS_no);
  int32_t v = 0;
  ASSERT_EQ(h->SetValue(VCP_Zoom, cam->cameraControl[3].min), hr::Ok);
  ASSERT_EQ(h->GetValue(VCP_Zoom, &v), hr::Ok);
  EXPECT_EQ(v, cam->cameraControl[3].min);
}

// Read support of the actual frame rate is claimed only when the pin
// answers, on a kernel-streaming filter too; so is its range.
TEST(ActualFrameRateClaim, OnlyWhenThePinAnswersAtAttachment) {
  sim::SimClock clock;
  for (bool ks : {true, false}) {
    SCOPED_TRACE(ks ? "kernel streaming" : "standard interfaces");
    auto cam = SimulatedCamera::Create();
    cam->hasKsControl = ks;
    cam->failures[Op::VideoGetFrameRate] = hr::Fail;
    auto filter = cam->MakeFilter();
    StandardPropertyHandler h(filter.get(), kNullGuid, kNullGuid, kNullGuid, clock);
    cam->failures.clear();  // answering later changes nothing
    int32_t support = -1, mn, mx = kUntouched, st, df, caps;
    EXPECT_EQ(h.QuerySupport(VCP_ActualFrameRate, &support), hr::Ok);
    EXPECT_EQ(support, VCS_no);
    EXPECT_EQ(h.QueryRange(VCP_ActualFrameRate, &mn, &mx, &st, &df, &caps), hr::NotImpl);
  }
}

TEST(StandardInterfaceAttachment, SucceedsWithChipsetUnknownWithoutKernelStreaming) {
  struct Events : AttachmentEvents {
    void DebugLog(const char*) override {}
    void UseDefaultFilterName(const char*) override {}
  } events;
  sim::SimClock clock;
  const struct {
    const char* name;
    bool ksControl;
    bool standard;
    HResult result;
  } rows[] = {
      {"standard interfaces only", false, true, hr::Ok},
      {"no property interface at all", false, false, hr::Ok},
      {"kernel-streaming filter without IKsPropertySet", true, true, hr::NoInterface},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto cam = SimulatedCamera::Create();
    cam->hasKsPropertySet = false;
    cam->hasKsControl = row.ksControl;
    cam->hasVideoProcAmp = cam->hasCameraControl = cam->hasVideoControl = row.standard;
    auto filter = cam->MakeFilter();
    AttachmentInput in;
    in.filter = filter.get();
    in.clock = &clock;
    AttachmentState state;
    EXPECT_EQ(AttachFilter(in, state, events), row.result);
    ASSERT_TRUE(state.handler);
    int32_t support = -1;
    HResult h = state.handler->QuerySupport(VCP_Brightness, &support);
    EXPECT_EQ(support, row.standard ? VCS_both : VCS_no);
    EXPECT_EQ(h, row.standard ? hr::Ok : hr::NoInterface);
  }
}

}  // namespace
}  // namespace lumora
