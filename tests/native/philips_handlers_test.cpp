// The SAA8112 and SAA8116 handlers driven through the simulated cameras of
// their families: the code tables, the value at offset 28, the conversions
// keyed by the caller's catalogue value, the fixed ranges, the 1000 limit and
// raw register access.
#include <gtest/gtest.h>

#include <climits>

#include "property/philips_handlers.h"
#include "tests/native/handler_test_support.h"

namespace lumora {
namespace {

using sim::Family;
using sim::Op;
using namespace test;

class Saa8112Test : public FamilyTest<Saa8112PropertyHandler> {
 protected:
  Saa8112Test() : FamilyTest(Family::Saa8112, 28) {}
};

class Saa8116Test : public FamilyTest<Saa8116PropertyHandler> {
 protected:
  Saa8116Test() : FamilyTest(Family::Saa8116, 28) {}
};

// --- code tables -------------------------------------------------------------

// clang-format off
const Route kSaa8112Routes[33] = {
    ProcAmp(0), ProcAmp(1), ProcAmp(2), ProcAmp(3), ProcAmp(4), ProcAmp(5), ProcAmp(6),
    ProcAmp(7), ProcAmp(8),
    Private(0),   // 9  WhiteBalanceMode
    Private(3),   // 10 WhiteBalRed
    Private(4),   // 11 WhiteBalBlue
    Private(6),   // 12 FlickerFree
    None(),       // 13 Flicker50_60
    Private(12),  // 14 FPS
    Private(8),   // 15 Exposure
    Private(10),  // 16 Gain
    Private(16),  // 17 FlipHorizontal
    None(),       // 18 FlipVertical
    Private(7),   // 19 AutoExposure
    None(),       // 20 AutoAll
    Video(21),    // 21 ActualFrameRate
    None(),       // 22 LED
    Private(17),  // 23 Setting
    Video(24),    // 24 ExtTrigger
    Video(25),    // 25 SWTrigger
    Camera(0), Camera(1), Camera(2), Camera(3), Camera(4), Camera(5), Camera(6),
};
// clang-format on

// clang-format off
const Route kSaa8116Routes[33] = {
    ProcAmp(0), ProcAmp(1), ProcAmp(2), ProcAmp(3), ProcAmp(4), ProcAmp(5), ProcAmp(6),
    ProcAmp(7), ProcAmp(8),
    Private(0),   // 9  WhiteBalanceMode
    Private(3),   // 10 WhiteBalRed
    Private(4),   // 11 WhiteBalBlue
    Private(6),   // 12 FlickerFree
    Private(30),  // 13 Flicker50_60
    Private(11),  // 14 FPS
    Private(8),   // 15 Exposure
    Private(9),   // 16 Gain
    Private(15),  // 17 FlipHorizontal
    Private(16),  // 18 FlipVertical
    Private(7),   // 19 AutoExposure
    Private(23),  // 20 AutoAll
    None(),       // 21 ActualFrameRate
    Private(14),  // 22 LED
    Private(17),  // 23 Setting
    Video(24),    // 24 ExtTrigger
    Video(25),    // 25 SWTrigger
    Camera(0), Camera(1), Camera(2), Camera(3), Camera(4), Camera(5), Camera(6),
};
// clang-format on

TEST_F(Saa8112Test, EveryCatalogueValueReachesItsRow) { ExpectRoutes(kSaa8112Routes); }

TEST_F(Saa8116Test, EveryCatalogueValueReachesItsRow) { ExpectRoutes(kSaa8116Routes); }

TEST_F(Saa8116Test, RelativesWorkWithTheSetTheyAreGiven) {
  for (Family f : {Family::Saa8116Creative, Family::Saa8116Logitech}) {
    const sim::FamilyInfo& other = sim::InfoOf(f);
    auto relative = sim::MakeFamilyCamera(f);
    auto h = MakeOver<Saa8116PropertyHandler>(*relative, other.privateSet, clock);
    relative->FindPrivateSet(other.privateSet)->properties[14].value = 17;
    int32_t v = 0;
    ASSERT_EQ(h->GetValue(VCP_LED, &v), hr::Ok) << other.name;
    EXPECT_EQ(v, 17);
    EXPECT_EQ(relative->Requests(Op::KsProperty).back().set, other.privateSet);
  }
}

// --- value placement ---------------------------------------------------------

// Gain is written as given (capped at 63) and read as the device holds it, so
// a value read back, saved and written again stays the same device value.
TEST_F(Saa8112Test, GainWritesTheValueAtOffset28OfPrivateId10AndReadsItBack) {
  auto h = Make();
  ASSERT_EQ(h->SetValue(VCP_Gain, 10), hr::Ok);
  sim::Request w = OnlyKsWrite(*cam);
  EXPECT_EQ(w.set, info.privateSet);
  EXPECT_EQ(w.id, 10u);
  EXPECT_EQ(w.propertyLength, 296u);
  EXPECT_EQ(w.dataLength, 296u);
  EXPECT_EQ(w.DataLong(28), 10);
  for (uint32_t off = 0; off < 28; off += 4) EXPECT_EQ(w.DataLong(off), 0) << off;
  for (uint32_t off = 24; off < 296; off += 4) EXPECT_EQ(w.PropertyLong(off), 0) << off;

  int32_t v = 0;
  ASSERT_EQ(h->GetValue(VCP_Gain, &v), hr::Ok);
  EXPECT_EQ(v, 10);
  sim::Request r = cam->Requests(Op::KsProperty).back();
  EXPECT_EQ(r.flags, sim::ks::kTypeGet);
  EXPECT_EQ(r.dataLength, 296u);

  EXPECT_EQ(Written(*h, VCP_Gain, 63, 10), 63);
  EXPECT_EQ(Written(*h, VCP_Gain, 64, 10), 63);
  for (int32_t g = 0; g <= 63; ++g) {
    ASSERT_EQ(h->SetValue(VCP_Gain, g), hr::Ok);
    ASSERT_EQ(h->GetValue(VCP_Gain, &v), hr::Ok);
    EXPECT_EQ(v, g) << "gain " << g << " does not read back as written";
  }
}

TEST_F(Saa8112Test, ReadTakesOffset28NotOffset24) {
  cam->FindPrivateSet(info.privateSet)->valueOffset = 24;  // a driver in the wrong layout
  auto h = Make();
  Prop(17).value = 2;
  int32_t v = -1;
  ASSERT_EQ(h->GetValue(VCP_Setting, &v), hr::Ok);
  EXPECT_EQ(v, 0);
}

TEST_F(Saa8112Test, CodesBelow500KeepTheStandardLayout) {
  auto h = Make();
  EXPECT_EQ(h->SetValue(350, 9), sim::kSetNotFound);  // null-set slot 3, id 50
  sim::Request w = OnlyKsWrite(*cam);
  EXPECT_TRUE(w.set.IsNull());
  EXPECT_EQ(w.id, 50u);
  EXPECT_EQ(w.DataLong(24), 9);
  EXPECT_EQ(w.DataLong(28), 0);
  EXPECT_EQ(w.dataLength, 296u);
}

// --- conversions -------------------------------------------------------------

TEST_F(Saa8112Test, WritesAreConvertedByCatalogueValue) {
  // clang-format off
  ExpectWrites({
      {VCP_WhiteBalanceMode, 0, 9, 4},   {VCP_WhiteBalanceMode, 0, -5, -5},
      {VCP_WhiteBalanceMode, 0, 3, 3},   {VCP_WhiteBalRed, 3, 200, 127},
      {VCP_WhiteBalBlue, 4, 128, 127},   {VCP_WhiteBalBlue, 4, 127, 127},
      {VCP_FlickerFree, 6, 1, 255},      {VCP_FlickerFree, 6, 0, 0},
      {VCP_FlickerFree, 6, -3, 255},     {VCP_FlipHorizontal, 16, 7, 255},
      {VCP_FPS, 12, 9, 5},               {VCP_FPS, 12, 4, 4},
      {VCP_Exposure, 8, 11, 10},         {VCP_Gain, 10, 62, 62},
      {VCP_Gain, 10, 0, 0},              {VCP_Gain, 10, INT_MAX, 63},
      {VCP_AutoExposure, 7, 1, 0},       {VCP_AutoExposure, 7, 0, 255},
      {VCP_AutoExposure, 7, 2, 255},     {VCP_Setting, 17, 5, 2},
      {VCP_Setting, 17, 1, 1},
  });
  // clang-format on
}

TEST_F(Saa8112Test, ReadsAreConvertedByCatalogueValue) {
  // clang-format off
  ExpectReads({
      {VCP_WhiteBalanceMode, 0, 7, 4}, {VCP_WhiteBalRed, 3, 200, 127},
      {VCP_WhiteBalBlue, 4, 90, 90},   {VCP_FlickerFree, 6, 255, 1},
      {VCP_FlickerFree, 6, 0, 0},      {VCP_FlipHorizontal, 16, 255, 1},
      {VCP_FPS, 12, 9, 5},             {VCP_Exposure, 8, 12, 10},
      {VCP_Gain, 10, 70, 63},          {VCP_Gain, 10, 11, 11},
      {VCP_AutoExposure, 7, 0, 1},     {VCP_AutoExposure, 7, 255, 0},
      {VCP_Setting, 17, 9, 9},
  });
  // clang-format on
}

TEST_F(Saa8116Test, WritesAreConvertedByCatalogueValue) {
  // clang-format off
  ExpectWrites({
      {VCP_LED, 14, 40, 18},              {VCP_LED, 14, 5, 16},
      {VCP_LED, 14, 17, 17},              {VCP_WhiteBalanceMode, 0, 5, 4},
      {VCP_WhiteBalRed, 3, 300, 255},     {VCP_WhiteBalBlue, 4, 200, 200},
      {VCP_FlickerFree, 6, 1, 255},       {VCP_Flicker50_60, 30, 1, 255},
      {VCP_Flicker50_60, 30, 0, 0},       {VCP_FlipHorizontal, 15, 2, 255},
      {VCP_FlipVertical, 16, 1, 255},     {VCP_AutoAll, 23, 9, 255},
      {VCP_FPS, 11, 9, 6},                {VCP_FPS, 11, 6, 6},
      {VCP_Exposure, 8, 50, 10},          {VCP_Gain, 9, 70, 63},
      {VCP_Gain, 9, 10, 10},              {VCP_AutoExposure, 7, 1, 0},
      {VCP_AutoExposure, 7, 0, 255},      {VCP_Setting, 17, 3, 2},
  });
  // clang-format on
}

TEST_F(Saa8116Test, ReadsAreConvertedByCatalogueValue) {
  // clang-format off
  ExpectReads({
      {VCP_WhiteBalanceMode, 0, 9, 4}, {VCP_WhiteBalRed, 3, 300, 300},
      {VCP_FlickerFree, 6, 255, 1},    {VCP_Flicker50_60, 30, 255, 1},
      {VCP_FlipVertical, 16, 255, 1},  {VCP_AutoAll, 23, 0, 0},
      {VCP_FPS, 11, 8, 6},             {VCP_Exposure, 8, 50, 10},
      {VCP_Gain, 9, 70, 63},           {VCP_AutoExposure, 7, 0, 1},
      {VCP_LED, 14, 40, 40},           {VCP_Setting, 17, 9, 9},
  });
  // clang-format on
}

TEST_F(Saa8112Test, RawCodesTakeNoConversion) {
  auto h = Make();
  EXPECT_EQ(Written(*h, 510, 70, 10), 70) << "no cap for the raw gain code";
  EXPECT_EQ(Written(*h, 516, 7, 16), 7) << "no 255 for the raw mirror code";
  EXPECT_EQ(Written(*h, 512, 50, 12), 50) << "no cap for the raw frame-rate code";
  EXPECT_EQ(ReadAs(*h, 516, 16, 255), 255);
  EXPECT_EQ(ReadAs(*h, 507, 7, 0), 0) << "no inversion for the raw exposure code";
}

TEST_F(Saa8116Test, RawCodesTakeNoConversion) {
  auto h = Make();
  EXPECT_EQ(Written(*h, 514, 40, 14), 40) << "LED range is the catalogue value's";
  EXPECT_EQ(Written(*h, 509, 99, 9), 99);
}

// --- ranges ------------------------------------------------------------------

TEST_F(Saa8112Test, FixedRangesWithoutTheDriver) {
  cam->DropEveryPropertyInterface();
  auto h = Make();
  ExpectFixedRanges(*h, *cam,
                    {{VCP_WhiteBalanceMode, 0, 4, 4},
                     {VCP_WhiteBalRed, 0, 127, 63},
                     {VCP_WhiteBalBlue, 0, 127, 63},
                     {VCP_FlickerFree, 0, 1, 0},
                     {VCP_FlipHorizontal, 0, 1, 0},
                     {VCP_FPS, 0, 5, 0},
                     {VCP_Exposure, 0, 10, 0},
                     {VCP_Gain, 0, 63, 33},
                     {VCP_AutoExposure, 0, 1, 0},
                     {VCP_Setting, 0, 2, 0}});
  EXPECT_EQ(RangeOf(*h, VCP_Brightness).result, hr::NoInterface);
  EXPECT_EQ(RangeOf(*h, VCP_LED).result, hr::InvalidArg);
  EXPECT_EQ(RangeOf(*h, VCP_FlipVertical).result, hr::InvalidArg);
  EXPECT_EQ(RangeOf(*h, 510).result, hr::NoInterface) << "raw gain code asks the driver";
}

TEST_F(Saa8116Test, FixedRangesWithoutTheDriver) {
  cam->DropEveryPropertyInterface();
  auto h = Make();
  ExpectFixedRanges(*h, *cam,
                    {{VCP_WhiteBalanceMode, 0, 4, 4},
                     {VCP_FlickerFree, 0, 1, 0},
                     {VCP_Flicker50_60, 0, 1, 0},
                     {VCP_FlipHorizontal, 0, 1, 0},
                     {VCP_FlipVertical, 0, 1, 0},
                     {VCP_AutoAll, 0, 1, 0},
                     {VCP_FPS, 0, 6, 0},
                     {VCP_AutoExposure, 0, 1, 0},
                     {VCP_LED, 16, 18, 16},
                     {VCP_Setting, 0, 2, 0}});
  EXPECT_EQ(RangeOf(*h, VCP_Exposure).result, hr::NoInterface);
  EXPECT_EQ(RangeOf(*h, VCP_Gain).result, hr::NoInterface);
  EXPECT_EQ(RangeOf(*h, VCP_ActualFrameRate).result, hr::InvalidArg);
}

TEST_F(Saa8116Test, WhiteBalanceGainsTakeTheDriverRangeWithDefault127) {
  Prop(3).min = 2;
  Prop(3).max = 250;
  auto h = Make();
  RangeAnswer a = RangeOf(*h, VCP_WhiteBalRed);
  EXPECT_EQ(a.result, hr::Ok);
  EXPECT_EQ(a.min, 2);
  EXPECT_EQ(a.max, 250);
  EXPECT_EQ(a.def, 127);
  ASSERT_EQ(cam->Requests(Op::KsProperty).size(), 1u);
  EXPECT_EQ(cam->Requests(Op::KsProperty)[0].flags, sim::ks::kTypeBasicSupport);

  cam->failures[Op::KsProperty] = sim::kNotFound;  // path fails: E_FAIL, default still 127
  a = RangeOf(*h, VCP_WhiteBalBlue);
  EXPECT_EQ(a.result, hr::Fail);
  EXPECT_EQ(a.def, 127);
  EXPECT_EQ(a.min, 0);
}

TEST_F(Saa8116Test, WhiteBalanceDefault127EvenWithoutKsControl) {
  cam->hasKsControl = false;
  auto h = Make();
  RangeAnswer a = RangeOf(*h, VCP_WhiteBalRed);
  EXPECT_EQ(a.result, hr::NoInterface);
  EXPECT_EQ(a.def, 127);
}

TEST_F(Saa8116Test, ExposureAndGainRangesComeFromTheDriver) {
  Prop(8).max = 14;
  auto h = Make();
  RangeAnswer a = RangeOf(*h, VCP_Exposure);
  EXPECT_EQ(a.result, hr::Ok);
  EXPECT_EQ(a.max, 14);
  EXPECT_EQ(a.def, 0);
}

// --- limits and driver failures ---------------------------------------------

TEST_F(Saa8112Test, CodesOf1000AndAboveAreRefusedForValuesOnly) {
  auto h = Make();
  int32_t v = 77;
  EXPECT_EQ(h->GetValue(1000, &v), hr::InvalidArg);
  EXPECT_EQ(h->SetValue(1000, 1), hr::InvalidArg);
  EXPECT_EQ(h->GetValue(INT_MAX, &v), hr::InvalidArg);
  EXPECT_EQ(v, 77);
  EXPECT_TRUE(cam->log.empty());

  int32_t support = -1;
  EXPECT_EQ(h->QuerySupport(1000, &support), hr::Ok);
  ASSERT_EQ(cam->Requests(Op::KsProperty).size(), 1u) << "no limit on support queries";
  EXPECT_TRUE(cam->Requests(Op::KsProperty)[0].set.IsNull());
  RangeOf(*h, 1000);
  EXPECT_EQ(cam->Requests(Op::KsProperty).size(), 2u) << "no limit on range queries";

  cam->ClearLog();
  h->SetValue(999, 5);  // null set id 0, private layout
  sim::Request w = OnlyKsWrite(*cam);
  EXPECT_TRUE(w.set.IsNull());
  EXPECT_EQ(w.id, 0u);
  EXPECT_EQ(w.DataLong(28), 5);
}

TEST_F(Saa8116Test, DriverRefusalsPassThroughAndLeaveTheOutputAlone) {
  auto h = Make();
  cam->failures[Op::KsProperty] = sim::kNotFound;
  int32_t v = 77;
  EXPECT_EQ(h->GetValue(VCP_LED, &v), sim::kNotFound);
  EXPECT_EQ(v, 77);
  EXPECT_EQ(h->SetValue(VCP_LED, 17), sim::kNotFound);
  int32_t support = -1;
  EXPECT_EQ(h->QuerySupport(VCP_LED, &support), hr::Ok);
  EXPECT_EQ(support, VCS_no);
}

TEST_F(Saa8116Test, ShortDriverAnswers) {
  auto h = Make();
  cam->ksBytesReturnedOverride = 2;  // fewer bytes than the 4-byte access word
  int32_t support = -1;
  EXPECT_EQ(h->QuerySupport(VCP_LED, &support), hr::Ok);
  EXPECT_EQ(support, VCS_no);
  // A value read passes the driver's result through; the value comes from
  // the zero-filled block the driver wrote into.
  Prop(14).value = 17;
  int32_t v = 0;
  EXPECT_EQ(h->GetValue(VCP_LED, &v), hr::Ok);
  EXPECT_EQ(v, 17);
}

TEST_F(Saa8112Test, WithoutKsControlNothingReachesTheDriver) {
  cam->hasKsControl = false;
  auto h = Make();
  int32_t v = 5, support = -1;
  EXPECT_EQ(h->GetValue(VCP_Gain, &v), hr::NoInterface);
  EXPECT_EQ(h->SetValue(VCP_Gain, 3), hr::NoInterface);
  EXPECT_EQ(h->QuerySupport(VCP_Gain, &support), hr::NoInterface);
  EXPECT_EQ(support, VCS_no);
  EXPECT_EQ(h->QuerySupport(VCP_LED, &support), hr::Ok);
  EXPECT_EQ(h->EnableRawAccess(1), hr::NoInterface);
  EXPECT_EQ(h->ReadRaw(510, &v), hr::NoInterface);
  EXPECT_EQ(h->WriteRaw(510, 1), hr::NoInterface);
  EXPECT_EQ(v, 5);
  EXPECT_TRUE(cam->log.empty());
}

// --- raw access --------------------------------------------------------------

// Both Philips handlers share raw access; run the same checks over each.
class RawAccessTest : public ::testing::TestWithParam<Family> {
 protected:
  void SetUp() override {
    cam = sim::MakeFamilyCamera(GetParam());
    set = sim::InfoOf(GetParam()).privateSet;
    h = GetParam() == Family::Saa8112
            ? std::unique_ptr<PropertyHandler>(MakeOver<Saa8112PropertyHandler>(*cam, set, clock))
            : std::unique_ptr<PropertyHandler>(MakeOver<Saa8116PropertyHandler>(*cam, set, clock));
  }

  std::vector<sim::Request> LockRequests() const {
    std::vector<sim::Request> out;
    for (const sim::Request& r : cam->Requests(Op::KsProperty)) {
      if (r.set.IsNull() && r.id == sim::raw::kLockId) out.push_back(r);
    }
    return out;
  }

  std::shared_ptr<sim::SimulatedCamera> cam;
  Guid set;
  sim::SimClock clock;
  std::unique_ptr<PropertyHandler> h;
};

TEST_P(RawAccessTest, LockedUntilEnabled) {
  int32_t v = 9;
  EXPECT_EQ(h->ReadRaw(516, &v), hr::AccessDenied);
  EXPECT_EQ(h->WriteRaw(516, 1), hr::AccessDenied);
  EXPECT_EQ(v, 9);
  EXPECT_TRUE(cam->log.empty());
}

TEST_P(RawAccessTest, UnlockRequestUsesOneBlockWithTheKey) {
  ASSERT_EQ(h->EnableRawAccess(1), hr::Ok);
  EXPECT_EQ(h->RawAccessEnabled(), 1);
  ASSERT_EQ(cam->log.size(), 1u);
  const sim::Request& r = cam->log[0];
  EXPECT_TRUE(r.set.IsNull());
  EXPECT_EQ(r.id, 2u);
  EXPECT_EQ(r.flags, sim::ks::kTypeSet);
  EXPECT_EQ(r.propertyLength, 296u);
  EXPECT_EQ(r.dataLength, 296u);
  EXPECT_EQ(r.PropertyLong(24), 0);
  EXPECT_EQ(r.PropertyLong(28), sim::raw::kUnlockKey);
  EXPECT_EQ(r.property, r.data) << "one block as property and data";
  EXPECT_TRUE(cam->rawAccess.unlocked);

  ASSERT_EQ(h->EnableRawAccess(0), hr::Ok);
  EXPECT_EQ(cam->log.back().PropertyLong(28), 0);
  EXPECT_EQ(h->RawAccessEnabled(), 0);
  EXPECT_FALSE(cam->rawAccess.unlocked);
}

TEST_P(RawAccessTest, FlagIsKeptAsGiven) {
  ASSERT_EQ(h->EnableRawAccess(7), hr::Ok);
  EXPECT_EQ(h->RawAccessEnabled(), 7);
  EXPECT_EQ(cam->log.back().PropertyLong(28), sim::raw::kUnlockKey);
  ASSERT_EQ(h->EnableRawAccess(-1), hr::Ok);
  EXPECT_EQ(h->RawAccessEnabled(), -1);
}

TEST_P(RawAccessTest, SelectThenRead) {
  ASSERT_EQ(h->EnableRawAccess(1), hr::Ok);
  cam->ClearLog();
  int32_t v = 0;
  ASSERT_EQ(h->ReadRaw(500 + 0x10, &v), hr::Ok);
  EXPECT_EQ(v, 0x42);
  ASSERT_EQ(cam->log.size(), 2u);
  const sim::Request& select = cam->log[0];
  EXPECT_EQ(select.set, set);
  EXPECT_EQ(select.id, 0u);
  EXPECT_EQ(select.flags, sim::ks::kTypeSet);
  EXPECT_EQ(select.PropertyLong(28), 0x10);
  EXPECT_EQ(select.property, select.data);
  const sim::Request& read = cam->log[1];
  EXPECT_EQ(read.set, set);
  EXPECT_EQ(read.id, 1u);
  EXPECT_EQ(read.flags, sim::ks::kTypeGet);
  EXPECT_EQ(read.PropertyLong(28), 0x10) << "as left by the select";
  EXPECT_EQ(read.propertyLength, 296u);
  EXPECT_EQ(read.dataLength, 296u);
  EXPECT_EQ(cam->rawAccess.selectedIndex, 0x10);
}

TEST_P(RawAccessTest, WriteSendsTheLowEightBits) {
  ASSERT_EQ(h->EnableRawAccess(1), hr::Ok);
  cam->ClearLog();
  ASSERT_EQ(h->WriteRaw(500 + 0x20, 0x1FF), hr::Ok);
  ASSERT_EQ(cam->log.size(), 2u);
  EXPECT_EQ(cam->log[1].id, 1u);
  EXPECT_EQ(cam->log[1].flags, sim::ks::kTypeSet);
  EXPECT_EQ(cam->log[1].DataLong(28), 0xFF);
  EXPECT_EQ(cam->rawAccess.registers[set][0x20], 0xFF);
  int32_t v = 0;
  ASSERT_EQ(h->ReadRaw(500 + 0x20, &v), hr::Ok);
  EXPECT_EQ(v, 0xFF);
  ASSERT_EQ(h->WriteRaw(500 + 0x20, -1), hr::Ok);
  EXPECT_EQ(cam->log.back().DataLong(28), 0xFF);
}

TEST_P(RawAccessTest, CodesAreUsedWithoutTranslationOrLimit) {
  ASSERT_EQ(h->EnableRawAccess(1), hr::Ok);
  cam->ClearLog();
  int32_t v = 0;
  h->ReadRaw(5, &v);  // proc-amp set, index 5
  EXPECT_EQ(cam->log[0].set, sim::ks::kSetVideoProcAmp);
  EXPECT_EQ(cam->log[0].PropertyLong(28), 5);
  cam->ClearLog();
  h->ReadRaw(16, &v);  // not catalogue value 16 (gain): proc-amp index 16
  EXPECT_EQ(cam->log[0].set, sim::ks::kSetVideoProcAmp);
  EXPECT_EQ(cam->log[0].PropertyLong(28), 16);
  cam->ClearLog();
  h->WriteRaw(1500, 3);  // beyond 1000: the null set, index 0
  EXPECT_TRUE(cam->log[0].set.IsNull());
  EXPECT_EQ(cam->log[0].id, 0u);
  EXPECT_EQ(cam->log[0].PropertyLong(28), 0);
}

TEST_P(RawAccessTest, NegativeCodesAreRefused) {
  ASSERT_EQ(h->EnableRawAccess(1), hr::Ok);
  cam->ClearLog();
  int32_t v = 4;
  EXPECT_EQ(h->ReadRaw(-1, &v), hr::InvalidArg);
  EXPECT_EQ(h->WriteRaw(-250, 1), hr::InvalidArg);
  EXPECT_EQ(v, 4);
  EXPECT_TRUE(cam->log.empty());
}

TEST_P(RawAccessTest, RefusedUnlockFailsAndKeepsTheFlag) {
  cam->rawAccess.unlockValue = sim::raw::kUnlockKey + 1;  // a driver with another key
  EXPECT_EQ(h->EnableRawAccess(1), hr::Fail);
  EXPECT_EQ(h->RawAccessEnabled(), 0);
  cam->rawAccess.unlockValue = sim::raw::kUnlockKey;
  ASSERT_EQ(h->EnableRawAccess(3), hr::Ok);
  cam->failures[Op::KsProperty] = hr::AccessDenied;
  EXPECT_EQ(h->EnableRawAccess(0), hr::Fail);
  EXPECT_EQ(h->RawAccessEnabled(), 3);
  cam->failures.clear();
}

TEST_P(RawAccessTest, RefusedSelectOrTransferGivesEFail) {
  ASSERT_EQ(h->EnableRawAccess(1), hr::Ok);
  int32_t v = 66;
  cam->refuseKs = [](const sim::Request& r) { return r.id == 0 ? sim::kNotFound : hr::Ok; };
  cam->ClearLog();
  EXPECT_EQ(h->ReadRaw(516, &v), hr::Fail);
  EXPECT_EQ(cam->log.size(), 1u) << "no read after a refused select";
  cam->refuseKs = [](const sim::Request& r) { return r.id == 1 ? hr::AccessDenied : hr::Ok; };
  EXPECT_EQ(h->ReadRaw(516, &v), hr::Fail);
  EXPECT_EQ(h->WriteRaw(516, 1), hr::Fail);
  EXPECT_EQ(v, 66);
}

TEST_P(RawAccessTest, DestructionRelocksOnce) {
  ASSERT_EQ(h->EnableRawAccess(1), hr::Ok);
  cam->ClearLog();
  h.reset();
  std::vector<sim::Request> locks = LockRequests();
  ASSERT_EQ(locks.size(), 1u);
  EXPECT_EQ(locks[0].PropertyLong(28), 0);
  EXPECT_EQ(locks[0].flags, sim::ks::kTypeSet);
  EXPECT_FALSE(cam->rawAccess.unlocked);
  EXPECT_EQ(cam->log.front().op, Op::KsProperty) << "relock before the interfaces go";
}

TEST_P(RawAccessTest, NoRelockWhenNeverOrNoLongerUnlocked) {
  h.reset();
  EXPECT_TRUE(LockRequests().empty());

  SetUp();
  ASSERT_EQ(h->EnableRawAccess(1), hr::Ok);
  ASSERT_EQ(h->EnableRawAccess(0), hr::Ok);
  cam->ClearLog();
  h.reset();
  EXPECT_TRUE(LockRequests().empty());
}

TEST_P(RawAccessTest, RefusedRelockIsIgnored) {
  ASSERT_EQ(h->EnableRawAccess(1), hr::Ok);
  cam->failures[Op::KsProperty] = hr::Fail;
  cam->ClearLog();
  h.reset();
  EXPECT_EQ(LockRequests().size(), 1u);
  EXPECT_EQ(cam->Requests(Op::Release).size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Philips, RawAccessTest,
                         ::testing::Values(Family::Saa8112, Family::Saa8116),
                         [](const ::testing::TestParamInfo<Family>& i) {
                           return std::string(sim::InfoOf(i.param).name);
                         });

}  // namespace
}  // namespace lumora
