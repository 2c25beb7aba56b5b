// The standard property handler on a real COM filter: a handler built on the
// DirectShow adapter over the COM simulated filter reads and writes through
// it, and the model's request log shows what went down to the "driver".
#include <windows.h>
#include <strmif.h>

#include <wrl/client.h>

#include <gtest/gtest.h>

#include "dshow/dshow_filter.h"
#include "dshow/multimedia_clock.h"
#include "property/table_handler.h"
#include "sim/com/sim_filter.h"
#include "tests/win/dshow/sim_filter_fixture.h"

namespace lumora {
namespace {

using sim::Op;
using sim::SimulatedCamera;

const Guid kPrivate = Guid::Parse("9A5A4D4C-6D0E-4E4B-8D1E-2C7B1F0A3E55");

class DShowHandlerTest : public test::SimFilterTest<StandardPropertyHandler> {
 protected:
  // Output pin second: the handler must pick it by direction, as the filter
  // refuses video control on its input pin.
  void SetUp() override {
    cam = SimulatedCamera::Create();
    cam->pins = {0, 1};
  }
  // Builds filter, adapter and handler after the test shaped the model.
  void Build() {
    BuildAdapter();
    if (!adapter) return;
    handler = std::make_unique<StandardPropertyHandler>(adapter.get(), kPrivate, kNullGuid,
                                                        kNullGuid, MultimediaClock());
    cam->ClearLog();
  }
};

TEST_F(DShowHandlerTest, WritingBrightnessSendsProcAmpSetManual) {
  Build();
  ASSERT_EQ(handler->SetValue(VCP_Brightness, 80), hr::Ok);
  ASSERT_EQ(cam->log.size(), 1u);
  const sim::Request& set = cam->log[0];
  EXPECT_EQ(set.op, Op::ProcAmpSet);
  EXPECT_EQ(set.id, 0u);
  EXPECT_EQ(set.value, 80);
  EXPECT_EQ(set.flags, 2u);  // manual
  int32_t value = 0;
  ASSERT_EQ(handler->GetValue(VCP_Brightness, &value), hr::Ok);
  EXPECT_EQ(value, 80);
}

TEST_F(DShowHandlerTest, StandardControlsReadAndRange) {
  cam->cameraControl[6].value = 40;  // Focus, reached by the unnamed property 32
  Build();
  int32_t value = 0;
  ASSERT_EQ(handler->GetValue(32, &value), hr::Ok);
  EXPECT_EQ(value, 40);
  ASSERT_EQ(cam->Requests(Op::CameraGet).size(), 1u);
  EXPECT_EQ(cam->Requests(Op::CameraGet)[0].id, 6u);

  int32_t min = 0, max = 0, step = 0, def = 0, caps = 9;
  ASSERT_EQ(handler->QueryRange(VCP_Hue, &min, &max, &step, &def, &caps), hr::Ok);
  EXPECT_EQ(min, -180);
  EXPECT_EQ(max, 180);
  EXPECT_EQ(step, 1);
  EXPECT_EQ(def, 0);
  EXPECT_EQ(caps, 0) << "the driver's capability flags are not passed on";

  // Support of standard properties is asked through kernel streaming.
  int32_t support = 0;
  ASSERT_EQ(handler->QuerySupport(VCP_Gain, &support), hr::Ok);
  EXPECT_EQ(support, VCS_both);
  auto ks = cam->Requests(Op::KsProperty);
  ASSERT_EQ(ks.size(), 1u);
  EXPECT_EQ(ks[0].set, sim::ks::kSetVideoProcAmp);
  EXPECT_EQ(ks[0].id, 9u);
  EXPECT_EQ(ks[0].flags, sim::ks::kTypeBasicSupport);
  EXPECT_EQ(ks[0].dataLength, 4u);
}

TEST_F(DShowHandlerTest, ReadThroughAMissingProcAmpFailsYetCountsInTheLagRecord) {
  cam->hasVideoProcAmp = false;
  Build();
  int32_t minLag = 7, maxLag = 7, meanLag = 7, count = 7;
  handler->GetLag(0, &minLag, &maxLag, &meanLag, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(meanLag, -1);

  int32_t value = 77;
  EXPECT_EQ(handler->GetValue(VCP_Brightness, &value), hr::Fail);
  EXPECT_EQ(value, 77);
  EXPECT_TRUE(cam->Requests(Op::ProcAmpGet).empty());
  handler->GetLag(0, &minLag, &maxLag, &meanLag, &count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(minLag, maxLag);
  EXPECT_EQ(meanLag, minLag);
  EXPECT_LT(maxLag, 1000) << "measured with the multimedia timer";

  EXPECT_EQ(handler->SetValue(VCP_Brightness, 1), hr::Fail);
  int32_t a = 0, b = 0, c = 0, d = 0, e = 0;
  EXPECT_EQ(handler->QueryRange(VCP_Contrast, &a, &b, &c, &d, &e), hr::Fail);
  EXPECT_TRUE(cam->log.empty()) << "nothing reaches the driver without the interface";
}

TEST_F(DShowHandlerTest, VideoControlBitsFollowTheCapabilityWord) {
  cam->videoCaps = kVideoControlFlipHorizontal | kVideoControlExternalTriggerEnable;
  Build();
  struct Row {
    int32_t property;
    int32_t support;
  };
  const Row rows[] = {
      {VCP_FlipHorizontal, VCS_both}, {VCP_FlipVertical, VCS_no},     {VCP_ExtTrigger, VCS_both},
      {VCP_SWTrigger, VCS_no},        {VCP_ActualFrameRate, VCS_get},
  };
  for (const Row& row : rows) {
    int32_t support = -1;
    ASSERT_EQ(handler->QuerySupport(row.property, &support), hr::Ok) << row.property;
    EXPECT_EQ(support, row.support) << row.property;
  }
  EXPECT_EQ(cam->Requests(Op::VideoGetCaps).size(), 5u);  // the frame rate asks too
}

TEST_F(DShowHandlerTest, VideoControlModeReadsAndWrites) {
  Build();
  ASSERT_EQ(handler->SetValue(VCP_FlipHorizontal, 1), hr::Ok);
  ASSERT_EQ(handler->SetValue(VCP_FlipVertical, 5), hr::Ok);
  EXPECT_EQ(cam->videoMode, 0x3);
  ASSERT_EQ(handler->SetValue(VCP_FlipHorizontal, -1), hr::Ok);  // only above 0 sets
  EXPECT_EQ(cam->videoMode, 0x2);
  auto writes = cam->Requests(Op::VideoSetMode);
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0].value, 0x1);
  EXPECT_EQ(writes[1].value, 0x3);
  EXPECT_EQ(writes[2].value, 0x2);

  cam->videoMode = kVideoControlTrigger | kVideoControlFlipVertical;
  int32_t value = 0;
  ASSERT_EQ(handler->GetValue(VCP_SWTrigger, &value), hr::Ok);
  EXPECT_EQ(value, 255);
  ASSERT_EQ(handler->GetValue(VCP_FlipVertical, &value), hr::Ok);
  EXPECT_EQ(value, 1);
  ASSERT_EQ(handler->GetValue(VCP_ExtTrigger, &value), hr::Ok);
  EXPECT_EQ(value, 0);

  cam->videoMode = 0;
  cam->ClearLog();
  ASSERT_EQ(handler->SetValue(VCP_SWTrigger, 0), hr::Ok);  // the trigger fires whatever the value
  ASSERT_EQ(cam->Requests(Op::VideoSetMode).size(), 1u);
  EXPECT_EQ(cam->Requests(Op::VideoSetMode)[0].value, kVideoControlTrigger);
}

TEST_F(DShowHandlerTest, ActualFrameRateIsMillisecondsPerFrame) {
  cam->frameDuration = 333333;
  Build();
  int32_t value = 0;
  ASSERT_EQ(handler->GetValue(VCP_ActualFrameRate, &value), hr::Ok);
  EXPECT_EQ(value, 33);
  cam->frameDuration = 0x2540BE3FFLL;  // 9999999999: wider than 32 bits
  ASSERT_EQ(handler->GetValue(VCP_ActualFrameRate, &value), hr::Ok);
  EXPECT_EQ(value, 999999);
  EXPECT_EQ(cam->Requests(Op::VideoGetFrameRate).size(), 2u);
}

TEST_F(DShowHandlerTest, PrivatePropertyTravelsThroughIKsControl) {
  // A private set with the value at offset 24, as the standard handler reads it.
  sim::PrivateSet& set = cam->AddPrivateSet(kPrivate, 24, 28);
  set.properties[15] = {3, -10, 10, 0, 2, 6};
  set.properties[16] = {1, 0, 100, 5, 2, 50};  // read-only
  Build();
  const int32_t kRaw15 = 515, kRaw16 = 516;  // raw codes: private ids 15 and 16

  int32_t support = -1;
  ASSERT_EQ(handler->QuerySupport(kRaw15, &support), hr::Ok);
  EXPECT_EQ(support, VCS_both);
  ASSERT_EQ(handler->QuerySupport(kRaw16, &support), hr::Ok);
  EXPECT_EQ(support, VCS_get);

  int32_t min = 0, max = 0, step = 0, def = 0, caps = 0;
  ASSERT_EQ(handler->QueryRange(kRaw15, &min, &max, &step, &def, &caps), hr::Ok);
  EXPECT_EQ(min, -10);
  EXPECT_EQ(max, 10);
  EXPECT_EQ(step, 1) << "a stepping delta of 0 becomes 1";
  EXPECT_EQ(def, -10);

  cam->ClearLog();
  int32_t value = 0;
  ASSERT_EQ(handler->GetValue(kRaw15, &value), hr::Ok);
  EXPECT_EQ(value, 6);
  ASSERT_EQ(handler->SetValue(kRaw15, -3), hr::Ok);
  EXPECT_EQ(set.properties[15].value, -3);
  EXPECT_EQ(handler->SetValue(kRaw16, 1), hr::InvalidArg) << "the driver's answer, unchanged";

  ASSERT_EQ(cam->log.size(), 3u);
  const sim::Request& get = cam->log[0];
  EXPECT_EQ(get.op, Op::KsProperty);
  EXPECT_EQ(get.set, kPrivate);
  EXPECT_EQ(get.id, 15u);
  EXPECT_EQ(get.flags, sim::ks::kTypeGet);
  EXPECT_EQ(get.propertyLength, 296u);
  EXPECT_EQ(get.dataLength, 296u);
  const sim::Request& put = cam->log[1];
  EXPECT_EQ(put.set, kPrivate);
  EXPECT_EQ(put.id, 15u);
  EXPECT_EQ(put.flags, sim::ks::kTypeSet);
  EXPECT_EQ(put.dataLength, 296u);
  EXPECT_EQ(put.DataLong(24), -3);

  int32_t minLag = 0, maxLag = 0, meanLag = 0, count = 0;
  handler->GetLag(15, &minLag, &maxLag, &meanLag, &count);
  EXPECT_EQ(count, 1);
}

TEST_F(DShowHandlerTest, ReleasingHandlerAndFilterLeavesNoComObject) {
  Build();
  EXPECT_GT(sim::SimFilterObjectCount(), 0);
  // The handler keeps its own references: it works after ours is gone.
  com.Reset();
  adapter.reset();
  ASSERT_EQ(handler->SetValue(VCP_Zoom, 200), hr::Ok);
  EXPECT_EQ(cam->cameraControl[3].value, 200);
  EXPECT_GT(sim::SimFilterObjectCount(), 0);
  handler.reset();
  EXPECT_EQ(sim::SimFilterObjectCount(), 0);
  EXPECT_EQ(cam.use_count(), 1) << "the filter let go of the camera";
}

}  // namespace
}  // namespace lumora
