// The Creative Live Ultra and Logitech Fusion handlers driven through the
// simulated cameras of their families: code tables, value placement and
// write lengths (36 and 4 bytes), conversions, fixed ranges and the 1000
// limit.
#include <gtest/gtest.h>

#include "property/vendor_handlers.h"
#include "tests/native/handler_test_support.h"

namespace lumora {
namespace {

using sim::Family;
using sim::Op;
using namespace test;

class CreaLiveUltraTest : public FamilyTest<CreaLiveUltraPropertyHandler> {
 protected:
  CreaLiveUltraTest() : FamilyTest(Family::CreaLiveUltra, 24) {}
};

class LogiFusionTest : public FamilyTest<LogiFusionPropertyHandler> {
 protected:
  LogiFusionTest() : FamilyTest(Family::LogiFusion, 0) {}
};

// clang-format off
const Route kCreaLiveUltraRoutes[33] = {
    ProcAmp(0), ProcAmp(1), ProcAmp(2), ProcAmp(3), ProcAmp(4), ProcAmp(5), ProcAmp(6),
    ProcAmp(7), ProcAmp(8),
    None(),      // 9  WhiteBalanceMode
    None(),      // 10 WhiteBalRed
    None(),      // 11 WhiteBalBlue
    None(),      // 12 FlickerFree
    None(),      // 13 Flicker50_60
    None(),      // 14 FPS
    None(),      // 15 Exposure
    ProcAmp(9),  // 16 Gain
    Video(17),   // 17 FlipHorizontal
    Video(18),   // 18 FlipVertical
    None(),      // 19 AutoExposure
    None(),      // 20 AutoAll
    Video(21),   // 21 ActualFrameRate
    None(),      // 22 LED
    None(),      // 23 Setting
    None(),      // 24 ExtTrigger
    None(),      // 25 SWTrigger
    Camera(0), Camera(1), Camera(2), Camera(3), Camera(4), Camera(5), Camera(6),
};
// clang-format on

// clang-format off
const Route kLogiFusionRoutes[33] = {
    ProcAmp(0), ProcAmp(1), ProcAmp(2), ProcAmp(3), ProcAmp(4), ProcAmp(5),
    Private(102),  // 6  ColorEnable
    ProcAmp(7), ProcAmp(8),
    Private(15),   // 9  WhiteBalanceMode
    None(),        // 10 WhiteBalRed
    None(),        // 11 WhiteBalBlue
    Private(56),   // 12 FlickerFree
    Private(56),   // 13 Flicker50_60
    Camera(4),     // 14 FPS
    Private(23),   // 15 Exposure
    Private(28),   // 16 Gain
    Private(5),    // 17 FlipHorizontal
    Private(6),    // 18 FlipVertical
    Private(32),   // 19 AutoExposure
    None(),        // 20 AutoAll
    None(),        // 21 ActualFrameRate
    None(),        // 22 LED
    Private(31),   // 23 Setting
    Private(2),    // 24 ExtTrigger
    Private(2),    // 25 SWTrigger
    Camera(0), Camera(1), Camera(2), Camera(3), Camera(4), Camera(5), Camera(6),
};
// clang-format on

// --- Creative Live Ultra -------------------------------------------------------

TEST_F(CreaLiveUltraTest, EveryCatalogueValueReachesItsRow) { ExpectRoutes(kCreaLiveUltraRoutes); }

TEST_F(CreaLiveUltraTest, RawPrivateCodeWrites36BytesWithTheValueAtOffset24) {
  auto h = Make();
  ASSERT_EQ(h->SetValue(520, 77), hr::Ok);
  sim::Request w = OnlyKsWrite(*cam);
  EXPECT_EQ(w.set, info.privateSet);
  EXPECT_EQ(w.id, 20u);
  EXPECT_EQ(w.propertyLength, 296u);
  EXPECT_EQ(w.dataLength, 36u);
  ASSERT_EQ(w.data.size(), 36u);
  EXPECT_EQ(w.DataLong(24), 77);
  EXPECT_EQ(w.DataLong(28), 0);
  for (uint32_t off = 0; off < 24; off += 4) EXPECT_EQ(w.DataLong(off), 0) << off;
  EXPECT_EQ(Prop(20).value, 77);

  Prop(21).value = 4321;
  int32_t v = 0;
  ASSERT_EQ(h->GetValue(521, &v), hr::Ok);
  EXPECT_EQ(v, 4321);
  EXPECT_EQ(cam->Requests(Op::KsProperty).back().dataLength, 296u) << "reads pass the block";
}

TEST_F(CreaLiveUltraTest, CodesBelow500WriteTheWholeBlock) {
  auto h = Make();
  h->SetValue(350, 9);
  sim::Request w = OnlyKsWrite(*cam);
  EXPECT_TRUE(w.set.IsNull());
  EXPECT_EQ(w.dataLength, 296u);
  EXPECT_EQ(w.DataLong(24), 9);
}

TEST_F(CreaLiveUltraTest, FlipsAreSwitches) {
  auto h = Make();
  // Any non-zero value switches on; -1 too (the standard handler clears it).
  for (int32_t given : {5, -1, 1}) {
    cam->videoMode = 0;
    cam->ClearLog();
    ASSERT_EQ(h->SetValue(VCP_FlipHorizontal, given), hr::Ok);
    EXPECT_EQ(cam->Requests(Op::VideoSetMode).back().value, kVideoControlFlipHorizontal) << given;
  }
  cam->videoMode = kVideoControlFlipHorizontal | kVideoControlFlipVertical;
  ASSERT_EQ(h->SetValue(VCP_FlipVertical, 0), hr::Ok);
  EXPECT_EQ(cam->videoMode, kVideoControlFlipHorizontal);
  int32_t v = -1;
  ASSERT_EQ(h->GetValue(VCP_FlipHorizontal, &v), hr::Ok);
  EXPECT_EQ(v, 1);
  ASSERT_EQ(h->GetValue(VCP_FlipVertical, &v), hr::Ok);
  EXPECT_EQ(v, 0);
}

TEST_F(CreaLiveUltraTest, RangesAndSupport) {
  cam->DropEveryPropertyInterface();
  auto h = Make();
  ExpectFixedRanges(*h, *cam, {{VCP_FlipHorizontal, 0, 1, 0}, {VCP_FlipVertical, 0, 1, 0}});
  EXPECT_EQ(RangeOf(*h, VCP_WhiteBalanceMode).result, hr::InvalidArg);
  EXPECT_EQ(RangeOf(*h, VCP_Gain).result, hr::NoInterface);
  int32_t support = -1;
  EXPECT_EQ(h->QuerySupport(VCP_WhiteBalanceMode, &support), hr::Ok);
  EXPECT_EQ(support, VCS_no);
}

TEST_F(CreaLiveUltraTest, GainIsTheProcAmpGain) {
  cam->procAmp[9].value = 21;
  auto h = Make();
  int32_t v = 0;
  ASSERT_EQ(h->GetValue(VCP_Gain, &v), hr::Ok);
  EXPECT_EQ(v, 21);
  ASSERT_EQ(h->SetValue(VCP_Gain, 30), hr::Ok);
  EXPECT_EQ(cam->Requests(Op::ProcAmpSet).back().id, 9u);
  EXPECT_EQ(cam->procAmp[9].value, 30);
}

// --- Logitech Fusion -----------------------------------------------------------

TEST_F(LogiFusionTest, EveryCatalogueValueReachesItsRow) { ExpectRoutes(kLogiFusionRoutes); }

TEST_F(LogiFusionTest, ColorEnableWritesTheBareValue3ToPrivateId102) {
  auto h = Make();
  ASSERT_EQ(h->SetValue(VCP_ColorEnable, 0), hr::Ok);
  sim::Request w = OnlyKsWrite(*cam);
  EXPECT_EQ(w.set, info.privateSet);
  EXPECT_EQ(w.id, 102u);
  EXPECT_EQ(w.propertyLength, 296u);
  EXPECT_EQ(w.dataLength, 4u);
  EXPECT_EQ(w.data, (std::vector<uint8_t>{3, 0, 0, 0}));
  EXPECT_EQ(Prop(102).value, 3);
}

TEST_F(LogiFusionTest, WritesAreConvertedByCatalogueValue) {
  // clang-format off
  ExpectWrites({
      {VCP_ColorEnable, 102, 0, 3},      {VCP_ColorEnable, 102, 1, 0},
      {VCP_ColorEnable, 102, -2, 0},     {VCP_WhiteBalanceMode, 15, 4, 1},
      {VCP_WhiteBalanceMode, 15, 9, 1},  {VCP_WhiteBalanceMode, 15, 3, 0},
      {VCP_WhiteBalanceMode, 15, 0, 0},  {VCP_FlickerFree, 56, 1, 1},
      {VCP_FlickerFree, 56, 5, 1},       {VCP_FlickerFree, 56, 0, 0},
      {VCP_Flicker50_60, 56, 0, 1},      {VCP_Flicker50_60, 56, 1, 2},
      {VCP_Flicker50_60, 56, -4, 2},     {VCP_FlipHorizontal, 5, 7, 1},
      {VCP_FlipVertical, 6, 0, 0},       {VCP_AutoExposure, 32, 3, 1},
      {VCP_Setting, 31, 2, 0},           {VCP_Setting, 31, 1, 0},
      {VCP_ExtTrigger, 2, 1, 0},         {VCP_SWTrigger, 2, 5, 1},
      {VCP_SWTrigger, 2, 0, 0},          {VCP_Exposure, 23, 300, 300},
      {VCP_Gain, 28, 1000, 1000},
  });
  // clang-format on
}

TEST_F(LogiFusionTest, ReadsAreConvertedByCatalogueValue) {
  // clang-format off
  ExpectReads({
      {VCP_ColorEnable, 102, 0, 1},     {VCP_ColorEnable, 102, 3, 0},
      {VCP_WhiteBalanceMode, 15, 0, 3}, {VCP_WhiteBalanceMode, 15, 1, 4},
      {VCP_FlickerFree, 56, 2, 1},      {VCP_FlickerFree, 56, 0, 0},
      {VCP_Flicker50_60, 56, 2, 1},     {VCP_Flicker50_60, 56, 1, 0},
      {VCP_FlipHorizontal, 5, 9, 1},    {VCP_AutoExposure, 32, 0, 0},
      {VCP_Setting, 31, 7, 7},          {VCP_ExtTrigger, 2, 0, 1},
      {VCP_ExtTrigger, 2, 5, 1},        {VCP_SWTrigger, 2, 1, 1},
      {VCP_SWTrigger, 2, 2, 0},         {VCP_Exposure, 23, 321, 321},
  });
  // clang-format on
}

TEST_F(LogiFusionTest, ReadsTakeTheFirstFourBytes) {
  cam->FindPrivateSet(info.privateSet)->valueOffset = 28;  // a driver in the Philips layout
  auto h = Make();
  Prop(28).value = 99;
  int32_t v = -1;
  ASSERT_EQ(h->GetValue(VCP_Gain, &v), hr::Ok);
  EXPECT_EQ(v, 0);
}

TEST_F(LogiFusionTest, RawCodesTakeNoConversionAndKeepThePlacement) {
  auto h = Make();
  EXPECT_EQ(Written(*h, 602, 0, 102), 0) << "raw colour code is not inverted";
  EXPECT_EQ(Written(*h, 556, 1, 56), 1) << "raw flicker code is not mapped to 2";
  EXPECT_EQ(cam->log.back().dataLength, 4u);
  EXPECT_EQ(ReadAs(*h, 502, 2, 0), 0) << "raw trigger code is not forced to 1";

  cam->ClearLog();
  h->SetValue(350, 9);  // below 500: offset 24 and the whole block
  sim::Request w = OnlyKsWrite(*cam);
  EXPECT_EQ(w.dataLength, 296u);
  EXPECT_EQ(w.DataLong(24), 9);
  EXPECT_EQ(w.DataLong(0), 0);
}

TEST_F(LogiFusionTest, FixedRangesWithoutTheDriver) {
  cam->hasKsControl = false;
  auto h = Make();
  ExpectFixedRanges(*h, *cam,
                    {{VCP_ColorEnable, 0, 1, 1},
                     {VCP_WhiteBalanceMode, 3, 4, 4},
                     {VCP_FlickerFree, 0, 1, 0},
                     {VCP_Flicker50_60, 0, 1, 0},
                     {VCP_FlipHorizontal, 0, 1, 0},
                     {VCP_FlipVertical, 0, 1, 0},
                     {VCP_AutoExposure, 0, 1, 0},
                     {VCP_Setting, 2, 2, 2},
                     {VCP_ExtTrigger, 0, 0, 0},
                     {VCP_SWTrigger, 1, 1, 0}});
  EXPECT_EQ(RangeOf(*h, VCP_Exposure).result, hr::NoInterface);
  EXPECT_EQ(RangeOf(*h, VCP_LED).result, hr::InvalidArg);
}

TEST_F(LogiFusionTest, PrivateRangeFromTheDriver) {
  auto h = Make();
  RangeAnswer a = RangeOf(*h, VCP_Exposure);
  EXPECT_EQ(a.result, hr::Ok);
  EXPECT_EQ(a.min, 1);
  EXPECT_EQ(a.max, 500);
  EXPECT_EQ(a.def, 1);
}

TEST_F(LogiFusionTest, FrameRateIsTheCameraControlExposure) {
  auto h = Make();
  ASSERT_EQ(h->SetValue(VCP_FPS, -5), hr::Ok);
  auto sets = cam->Requests(Op::CameraSet);
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].id, 4u);
  EXPECT_EQ(sets[0].value, -5);
  EXPECT_EQ(sets[0].flags, 2u);
}

// --- both ----------------------------------------------------------------------

template <class H>
void ExpectValueLimitAndNoRawAccess(sim::Family family) {
  auto cam = sim::MakeFamilyCamera(family);
  sim::SimClock clock;
  auto h = MakeOver<H>(*cam, sim::InfoOf(family).privateSet, clock);
  int32_t v = 5;
  EXPECT_EQ(h->GetValue(1000, &v), hr::InvalidArg);
  EXPECT_EQ(h->SetValue(1000, 1), hr::InvalidArg);
  EXPECT_EQ(h->GetValue(-7, &v), hr::InvalidArg);
  EXPECT_EQ(v, 5);
  EXPECT_EQ(h->EnableRawAccess(1), hr::NoInterface);
  EXPECT_EQ(h->ReadRaw(520, &v), hr::NoInterface);
  EXPECT_EQ(h->WriteRaw(520, 1), hr::NoInterface);
  EXPECT_TRUE(cam->log.empty());
  int32_t support = -1;
  EXPECT_EQ(h->QuerySupport(1000, &support), hr::Ok);
  EXPECT_EQ(cam->Requests(Op::KsProperty).size(), 1u) << "support has no limit";
  h.reset();
  EXPECT_EQ(cam->Requests(Op::KsProperty).size(), 1u) << "no relock request";
}

TEST(VendorHandlers, ValueLimitAndNoRawAccess) {
  ExpectValueLimitAndNoRawAccess<CreaLiveUltraPropertyHandler>(Family::CreaLiveUltra);
  ExpectValueLimitAndNoRawAccess<LogiFusionPropertyHandler>(Family::LogiFusion);
}

TEST_F(LogiFusionTest, DriverRefusalsAndShortAnswers) {
  auto h = Make();
  cam->failures[Op::KsProperty] = sim::kNotFound;
  int32_t v = 8;
  EXPECT_EQ(h->GetValue(VCP_Gain, &v), sim::kNotFound);
  EXPECT_EQ(h->SetValue(VCP_Gain, 1), sim::kNotFound);
  EXPECT_EQ(v, 8);
  cam->failures.clear();
  cam->ksBytesReturnedOverride = 0;
  int32_t support = -1;
  EXPECT_EQ(h->QuerySupport(VCP_Gain, &support), hr::Ok);
  EXPECT_EQ(support, VCS_no);
  cam->ksBytesReturnedOverride = 4;
  EXPECT_EQ(h->QuerySupport(VCP_Gain, &support), hr::Ok);
  EXPECT_EQ(support, VCS_both);
}

}  // namespace
}  // namespace lumora
