// The standard property path: catalogue translation, code resolution, the four
// access paths and the lag statistics, driven through the simulated camera.
#include <gtest/gtest.h>

#include "property/table_handler.h"
#include "sim/simulated_camera.h"
#include "tests/native/handler_test_support.h"

namespace lumora {
namespace {

using sim::Op;
using sim::SimulatedCamera;

class StandardHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override { cam = SimulatedCamera::Create(); }

  std::unique_ptr<StandardPropertyHandler> Make(const Guid& privateSet = kNullGuid) {
    return test::MakeOver<StandardPropertyHandler>(*cam, privateSet, clock);
  }

  std::shared_ptr<SimulatedCamera> cam;
  sim::SimClock clock;
};

TEST_F(StandardHandlerTest, InitFillsTheElevenSlots) {
  const Guid priv = Guid::Parse("35DBC300-F98F-11D2-AFD0-00104B13EAF2");
  auto h = Make(priv);
  EXPECT_EQ(h->PropertySetSlot(0), sim::ks::kSetVideoProcAmp);
  EXPECT_EQ(h->PropertySetSlot(1), kSetVideoControl);
  EXPECT_EQ(h->PropertySetSlot(2), sim::ks::kSetCameraControl);
  EXPECT_EQ(h->PropertySetSlot(5), priv);
  for (int slot : {3, 4, 6, 7, 8, 9, 10}) EXPECT_TRUE(h->PropertySetSlot(slot).IsNull()) << slot;
}

TEST_F(StandardHandlerTest, TranslationTakesTheTableOnlyBelow33) {
  EXPECT_EQ(PropertyHandler::Translate(StandardPropertyHandler::kCodeTable, 32), 206);
  EXPECT_EQ(PropertyHandler::Translate(StandardPropertyHandler::kCodeTable, 33), 33);
  EXPECT_EQ(PropertyHandler::Translate(StandardPropertyHandler::kCodeTable, -3), -3);
  EXPECT_EQ(PropertyHandler::Translate(StandardPropertyHandler::kCodeTable, VCP_Focus), 205);
  EXPECT_EQ(PropertyHandler::Translate(StandardPropertyHandler::kCodeTable, VCP_Iris), 204);
}

TEST_F(StandardHandlerTest, WriteBrightnessSendsProcAmpSetManual) {
  auto h = Make();
  ASSERT_EQ(h->SetValue(VCP_Brightness, 80), hr::Ok);
  auto sets = cam->Requests(Op::ProcAmpSet);
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].id, 0u);
  EXPECT_EQ(sets[0].value, 80);
  EXPECT_EQ(sets[0].flags, 2u);
  EXPECT_EQ(cam->procAmp[0].value, 80);
}

TEST_F(StandardHandlerTest, ReadsReachTheMappedControls) {
  auto h = Make();
  cam->procAmp[9].value = 21;
  cam->cameraControl[4].value = -7;
  cam->cameraControl[5].value = 9;
  cam->cameraControl[6].value = 40;
  // Manual: in automatic mode the camera moves a value between two reads.
  cam->cameraControl[4].flags = cam->cameraControl[6].flags = VCM_Manual;
  int32_t v = 0;
  ASSERT_EQ(h->GetValue(VCP_Gain, &v), hr::Ok);
  EXPECT_EQ(v, 21);
  ASSERT_EQ(h->GetValue(VCP_Exposure, &v), hr::Ok);
  EXPECT_EQ(v, -7);
  ASSERT_EQ(h->GetValue(VCP_CamExposure, &v), hr::Ok);  // 30: camera-control Exposure
  EXPECT_EQ(v, -7);
  ASSERT_EQ(h->GetValue(VCP_Focus, &v), hr::Ok);  // 31: camera-control Iris
  EXPECT_EQ(v, 9);
  ASSERT_EQ(h->GetValue(32, &v), hr::Ok);  // unnamed 32: camera-control Focus
  EXPECT_EQ(v, 40);
}

TEST_F(StandardHandlerTest, UnmappedPropertiesAreNotAvailable) {
  auto h = Make();
  int32_t support = 77, v = 55, a = 1, b = 1, c = 1, d = 1, e = 1;
  EXPECT_EQ(h->QuerySupport(VCP_WhiteBalanceMode, &support), hr::Ok);
  EXPECT_EQ(support, VCS_no);
  EXPECT_EQ(h->GetValue(VCP_LED, &v), hr::InvalidArg);
  EXPECT_EQ(v, 55);
  EXPECT_EQ(h->SetValue(VCP_FPS, 3), hr::InvalidArg);
  EXPECT_EQ(h->QueryRange(VCP_AutoAll, &a, &b, &c, &d, &e), hr::InvalidArg);
  EXPECT_EQ(h->GetValue(-1, &v), hr::InvalidArg);
  EXPECT_TRUE(cam->log.empty()) << "nothing may reach the driver";
}

TEST_F(StandardHandlerTest, RawCodesResolveIntoTheirSets) {
  const Guid priv = Guid::Parse("1B3C6C20-CCE8-11D3-A59B-00104B13EAF2");
  cam->AddPrivateSet(priv, 24, 296).properties[15].value = 1234;
  cam->FindPrivateSet(priv)->properties[150].value = 42;
  auto h = Make(priv);
  int32_t v = 0;
  ASSERT_EQ(h->GetValue(515, &v), hr::Ok);
  EXPECT_EQ(v, 1234);
  ASSERT_EQ(h->GetValue(650, &v), hr::Ok);
  EXPECT_EQ(v, 42);
  auto ks = cam->Requests(Op::KsProperty);
  ASSERT_EQ(ks.size(), 2u);
  EXPECT_EQ(ks[0].set, priv);
  EXPECT_EQ(ks[0].id, 15u);
  EXPECT_EQ(ks[0].flags, sim::ks::kTypeGet);
  EXPECT_EQ(ks[0].propertyLength, 296u);
  EXPECT_EQ(ks[0].dataLength, 296u);
  EXPECT_EQ(ks[1].id, 150u);

  cam->ClearLog();
  h->GetValue(750, &v);   // the null set, id 0
  h->GetValue(1000, &v);  // accepted by the standard handler
  ks = cam->Requests(Op::KsProperty);
  ASSERT_EQ(ks.size(), 2u);
  for (const auto& r : ks) {
    EXPECT_TRUE(r.set.IsNull());
    EXPECT_EQ(r.id, 0u);
  }
  cam->ClearLog();
  h->GetValue(33, &v);  // proc-amp id 33
  ASSERT_EQ(cam->Requests(Op::ProcAmpGet).size(), 1u);
  EXPECT_EQ(cam->Requests(Op::ProcAmpGet)[0].id, 33u);
}

// The private set spans codes 500..699: id 199 is its last, code 700 is the
// null set's id 0. Ids from 50 on have no lag record and none is written.
TEST_F(StandardHandlerTest, PrivateIdsEndAt199AndLagRecordsAt49) {
  const Guid priv = Guid::Parse("1B3C6C20-CCE8-11D3-A59B-00104B13EAF2");
  cam->AddPrivateSet(priv, 24, 296).properties[199].value = 7;
  cam->FindPrivateSet(priv)->properties[49].value = 8;
  cam->FindPrivateSet(priv)->properties[50].value = 9;
  auto h = Make(priv);
  int32_t v = 0;
  ASSERT_EQ(h->GetValue(kPrivateEnd - 1, &v), hr::Ok);
  EXPECT_EQ(v, 7);
  h->GetValue(kPrivateEnd, &v);
  auto ks = cam->Requests(Op::KsProperty);
  ASSERT_EQ(ks.size(), 2u);
  EXPECT_EQ(ks[0].set, priv);
  EXPECT_EQ(ks[0].id, 199u);
  EXPECT_TRUE(ks[1].set.IsNull());
  EXPECT_EQ(ks[1].id, 0u);

  clock.step = 3;
  ASSERT_EQ(h->GetValue(kPrivateBase + 49, &v), hr::Ok);
  ASSERT_EQ(h->GetValue(kPrivateBase + 50, &v), hr::Ok);
  EXPECT_EQ(v, 9);
  int32_t mn = 0, mx = 0, mean = 0, count = 0;
  h->GetLag(49, &mn, &mx, &mean, &count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(mx, 3);
}

// Resolution refuses a code that names no set and leaves the request alone.
TEST_F(StandardHandlerTest, NegativeCodesResolveToNothing) {
  struct Resolver : StandardPropertyHandler {
    using PropertyHandler::Resolve;
    using StandardPropertyHandler::StandardPropertyHandler;
  };
  auto filter = cam->MakeFilter();
  Resolver r(filter.get(), kNullGuid, kNullGuid, kNullGuid, clock);
  for (PropertyCode code : {-1, -99, -100, -150, -2147483647 - 1}) {
    PropertyRequest request;
    request.SetId(77);
    EXPECT_FALSE(r.Resolve(code, &request)) << code;
    EXPECT_EQ(request.Id(), 77u) << code;
    EXPECT_TRUE(request.Set().IsNull()) << code;
  }
  PropertyRequest request;
  ASSERT_TRUE(r.Resolve(499, &request));
  EXPECT_TRUE(request.Set().IsNull());  // slot 4
  EXPECT_EQ(request.Id(), 99u);
}

TEST_F(StandardHandlerTest, SupportComesFromBasicSupportQuery) {
  auto h = Make();
  int32_t support = -1;
  ASSERT_EQ(h->QuerySupport(VCP_Brightness, &support), hr::Ok);
  EXPECT_EQ(support, VCS_both);
  auto ks = cam->Requests(Op::KsProperty);
  ASSERT_EQ(ks.size(), 1u);
  EXPECT_EQ(ks[0].set, sim::ks::kSetVideoProcAmp);
  EXPECT_EQ(ks[0].flags, sim::ks::kTypeBasicSupport);
  EXPECT_EQ(ks[0].dataLength, 4u);

  // A proc-amp id the driver lacks, a failing query and a wrong answer size
  // all read as not supported, with S_OK.
  EXPECT_EQ(h->QuerySupport(33, &support), hr::Ok);
  EXPECT_EQ(support, VCS_no);
  cam->ksBytesReturnedOverride = 8;
  EXPECT_EQ(h->QuerySupport(VCP_Brightness, &support), hr::Ok);
  EXPECT_EQ(support, VCS_no);
  cam->ksBytesReturnedOverride = -1;
  cam->failures[Op::KsProperty] = hr::Fail;
  EXPECT_EQ(h->QuerySupport(VCP_Brightness, &support), hr::Ok);
  EXPECT_EQ(support, VCS_no);
}

TEST_F(StandardHandlerTest, VideoControlSupportFollowsTheCapabilityWord) {
  cam->videoCaps = kVideoControlFlipHorizontal | kVideoControlTrigger;
  auto h = Make();
  int32_t s = -1;
  h->QuerySupport(VCP_FlipHorizontal, &s);
  EXPECT_EQ(s, VCS_both);
  h->QuerySupport(VCP_FlipVertical, &s);
  EXPECT_EQ(s, VCS_no);
  h->QuerySupport(VCP_SWTrigger, &s);
  EXPECT_EQ(s, VCS_both);
  h->QuerySupport(VCP_ActualFrameRate, &s);
  EXPECT_EQ(s, VCS_get);
  EXPECT_TRUE(cam->Requests(Op::KsProperty).empty());

  cam->failures[Op::VideoGetCaps] = hr::Fail;  // word counts as 0
  h->QuerySupport(VCP_FlipHorizontal, &s);
  EXPECT_EQ(s, VCS_no);
  h->QuerySupport(VCP_ActualFrameRate, &s);
  EXPECT_EQ(s, VCS_get);
  h->QuerySupport(119, &s);  // a pseudo id without meaning
  EXPECT_EQ(s, VCS_no);
}

TEST_F(StandardHandlerTest, VideoControlValues) {
  auto h = Make();
  int32_t v = -1;
  cam->videoMode = kVideoControlTrigger;
  ASSERT_EQ(h->GetValue(VCP_SWTrigger, &v), hr::Ok);
  EXPECT_EQ(v, 255);
  ASSERT_EQ(h->GetValue(VCP_FlipHorizontal, &v), hr::Ok);
  EXPECT_EQ(v, 0);

  cam->videoMode = kVideoControlFlipHorizontal;
  ASSERT_EQ(h->SetValue(VCP_SWTrigger, 0), hr::Ok);  // trigger is set whatever the value
  EXPECT_EQ(cam->Requests(Op::VideoSetMode).back().value,
            kVideoControlFlipHorizontal | kVideoControlTrigger);
  ASSERT_EQ(h->SetValue(VCP_FlipHorizontal, -1), hr::Ok);  // only values above 0 set it
  EXPECT_EQ(cam->Requests(Op::VideoSetMode).back().value & kVideoControlFlipHorizontal, 0);
  ASSERT_EQ(h->SetValue(VCP_FlipVertical, 1), hr::Ok);
  EXPECT_NE(cam->Requests(Op::VideoSetMode).back().value & kVideoControlFlipVertical, 0);

  cam->frameDuration = 333333;
  ASSERT_EQ(h->GetValue(VCP_ActualFrameRate, &v), hr::Ok);
  EXPECT_EQ(v, 33);
  EXPECT_EQ(h->SetValue(VCP_ActualFrameRate, 5), hr::Fail);
  EXPECT_EQ(h->GetValue(119, &v), hr::NotImpl);

  cam->failures[Op::VideoGetMode] = hr::AccessDenied;
  EXPECT_EQ(h->GetValue(VCP_FlipHorizontal, &v), hr::Fail);
  EXPECT_EQ(h->SetValue(VCP_FlipHorizontal, 1), hr::Fail);
}

TEST_F(StandardHandlerTest, VideoControlRanges) {
  auto h = Make();
  int32_t mn = 9, mx = 9, st = 9, df = 9, caps = 9;
  ASSERT_EQ(h->QueryRange(VCP_ExtTrigger, &mn, &mx, &st, &df, &caps), hr::Ok);
  EXPECT_EQ(mn, 0);
  EXPECT_EQ(mx, 1);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(df, 0);
  EXPECT_EQ(caps, 0);
  ASSERT_EQ(h->QueryRange(VCP_ActualFrameRate, &mn, &mx, &st, &df, &caps), hr::Ok);
  EXPECT_EQ(mx, 9999);
  EXPECT_EQ(h->QueryRange(119, &mn, &mx, &st, &df, &caps), hr::NotImpl);
  EXPECT_EQ(mx, 0);
}

TEST_F(StandardHandlerTest, StandardRangesDropTheFlagsAndMendTheStep) {
  cam->procAmp[4].step = 0;
  auto h = Make();
  int32_t mn, mx, st, df, caps = 9;
  ASSERT_EQ(h->QueryRange(VCP_Sharpness, &mn, &mx, &st, &df, &caps), hr::Ok);
  EXPECT_EQ(mn, 0);
  EXPECT_EQ(mx, 7);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(df, 3);
  EXPECT_EQ(caps, 0) << "capability flags always stay 0";
  ASSERT_EQ(h->QueryRange(VCP_Exposure, &mn, &mx, &st, &df, &caps), hr::Ok);
  EXPECT_EQ(mn, -11);
  EXPECT_EQ(caps, 0);
}

TEST_F(StandardHandlerTest, PrivateRangeFromTheDescription) {
  const Guid priv = Guid::Parse("1B3C6C20-CCE8-11D3-A59B-00104B13EAF2");
  auto& prop = cam->AddPrivateSet(priv, 28, 296).properties[15];
  prop.min = -4;
  prop.max = 12;
  prop.step = 0;
  auto h = Make(priv);
  int32_t mn, mx, st, df, caps;
  ASSERT_EQ(h->QueryRange(515, &mn, &mx, &st, &df, &caps), hr::Ok);
  EXPECT_EQ(mn, -4);
  EXPECT_EQ(mx, 12);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(df, -4);
  EXPECT_EQ(caps, 0);
  EXPECT_EQ(cam->Requests(Op::KsProperty).back().dataLength, 72u);

  prop.membersFlags = 0;  // not a range: outputs stay 0, also the step
  ASSERT_EQ(h->QueryRange(515, &mn, &mx, &st, &df, &caps), hr::Ok);
  EXPECT_EQ(mn, 0);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(h->QueryRange(516, &mn, &mx, &st, &df, &caps), hr::Fail);  // unknown id
}

TEST_F(StandardHandlerTest, MissingKsControlFailsEveryAccessPath) {
  cam->DropEveryPropertyInterface();
  auto h = Make();
  int32_t s = 9, v = 9, a, b, c, d, e;
  EXPECT_EQ(h->QuerySupport(VCP_FlipHorizontal, &s), hr::NoInterface);
  EXPECT_EQ(s, VCS_no);
  EXPECT_EQ(h->QuerySupport(VCP_LED, &s), hr::Ok);  // answered by the handler itself
  EXPECT_EQ(h->GetValue(VCP_Brightness, &v), hr::NoInterface);
  EXPECT_EQ(h->SetValue(VCP_Brightness, 1), hr::NoInterface);
  EXPECT_EQ(h->QueryRange(VCP_Brightness, &a, &b, &c, &d, &e), hr::NoInterface);
  EXPECT_EQ(h->GetValue(VCP_LED, &v), hr::InvalidArg);
  EXPECT_TRUE(cam->log.empty());
}

TEST_F(StandardHandlerTest, FilterWithoutAnyInterfaceStillYieldsAHandler) {
  cam->hasVideoControl = cam->hasVideoProcAmp = cam->hasCameraControl = cam->hasKsControl = false;
  auto h = Make();
  int32_t v = 0;
  EXPECT_EQ(h->GetValue(VCP_Brightness, &v), hr::NoInterface);
  PropertyHandler* base = h.get();
  EXPECT_EQ(base->EnableRawAccess(1), hr::NoInterface);
  EXPECT_EQ(base->ReadRaw(510, &v), hr::NoInterface);
  EXPECT_EQ(base->WriteRaw(510, 1), hr::NoInterface);
}

TEST_F(StandardHandlerTest, MissingStandardInterfaceGivesEFailAndStillCountsTheLag) {
  cam->hasVideoProcAmp = false;
  auto h = Make();
  int32_t v = 0, mn, mx, mean, count;
  EXPECT_EQ(h->GetValue(VCP_Brightness, &v), hr::Fail);
  EXPECT_EQ(h->SetValue(VCP_Brightness, 3), hr::Fail);
  int32_t a, b, st, d, e;
  EXPECT_EQ(h->QueryRange(VCP_Brightness, &a, &b, &st, &d, &e), hr::Fail);
  EXPECT_EQ(st, 1);
  h->GetLag(0, &mn, &mx, &mean, &count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(mn, 0);
}

TEST_F(StandardHandlerTest, LagStatistics) {
  auto h = Make();
  int32_t mn = 5, mx = 5, mean = 5, count = 5, v;
  EXPECT_TRUE(h->GetLag(3, &mn, &mx, &mean, &count));
  EXPECT_EQ(mn, -1);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(mean, -1);
  EXPECT_EQ(count, 0);

  clock.step = 4;
  h->GetValue(VCP_Saturation, &v);  // proc-amp id 3
  clock.step = 10;
  h->GetValue(VCP_Saturation, &v);
  h->GetValue(VCP_Zoom, &v);            // camera-control id 3 shares record 3
  h->GetValue(VCP_FlipHorizontal, &v);  // video control: not timed
  h->SetValue(VCP_Saturation, 7);       // writes: not timed
  h->GetLag(3, &mn, &mx, &mean, &count);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(mn, 4);
  EXPECT_EQ(mx, 10);
  EXPECT_EQ(mean, 8);

  mn = mx = mean = count = 123;
  EXPECT_TRUE(h->GetLag(49, &mn, &mx, &mean, &count));
  mn = mx = mean = count = 123;
  EXPECT_FALSE(h->GetLag(50, &mn, &mx, &mean, &count));
  EXPECT_FALSE(h->GetLag(-1, &mn, &mx, &mean, &count));
  EXPECT_EQ(mn, 123);
  EXPECT_EQ(count, 123);
}

TEST_F(StandardHandlerTest, ReleasesInterfacesInOrder) {
  auto h = Make();
  h.reset();
  std::vector<std::string> released;
  for (const auto& r : cam->Requests(Op::Release)) released.push_back(r.what);
  EXPECT_EQ(released, (std::vector<std::string>{"Pin", "VideoControl", "CameraControl",
                                                "VideoProcAmp", "KsControl"}));
}

TEST_F(StandardHandlerTest, CapturePinIsTheFirstOutputPin) {
  cam->pins = {0, 0, 1, 1};
  auto filter = cam->MakeFilter();
  std::unique_ptr<Pin> pin;
  ASSERT_EQ(FindPin(filter.get(), 1, 1, &pin), hr::Ok);
  EXPECT_EQ(FindPin(filter.get(), 1, 2, &pin), hr::Fail);
  EXPECT_EQ(pin, nullptr);
  EXPECT_EQ(FindPin(nullptr, 1, 0, &pin), hr::Fail);
  cam->ClearLog();
  cam->pins = {0};
  // No output pin: video control stays, pin stays null, reads go through
  // with a null pin.
  auto h = Make();
  int32_t v;
  EXPECT_EQ(h->GetValue(VCP_FlipHorizontal, &v), hr::Ok);
}

TEST(GuidText, LowerCaseWithDashes) {
  EXPECT_EQ(Guid::Parse("{1B3C6C20-CCE8-11D3-A59B-00104B13EAF2}").ToString(),
            "1b3c6c20-cce8-11d3-a59b-00104b13eaf2");
  EXPECT_EQ(kNullGuid.ToString(), "00000000-0000-0000-0000-000000000000");
  EXPECT_TRUE(Guid::Parse("not a guid").IsNull());
  Guid g = Guid::Parse("F83865C0-92C3-11d3-B41E-0010DC973BDB");
  EXPECT_EQ(g.data1, 0xF83865C0u);
  EXPECT_EQ(g.data4[7], 0xDB);
}

}  // namespace
}  // namespace lumora
