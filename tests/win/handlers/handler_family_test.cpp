// Each family's handler, chosen by the factory, driven through the DirectShow
// adapter over the COM simulated filter of the family's camera; the model's
// request log shows the bytes that reached the "driver".
#include <windows.h>
#include <strmif.h>

#include <wrl/client.h>

#include <gtest/gtest.h>

#include <vector>

#include "dshow/dshow_filter.h"
#include "dshow/multimedia_clock.h"
#include "property/handler_factory.h"
#include "property/philips_handlers.h"
#include "sim/com/sim_filter.h"
#include "sim/families.h"
#include "tests/native/handler_test_support.h"
#include "tests/win/dshow/sim_filter_fixture.h"

namespace lumora {
namespace {

using sim::Family;
using sim::Op;

class HandlerFamilyTest : public test::SimFilterTest<> {
 protected:
  void Build(Family family) {
    info = &sim::InfoOf(family);
    cam = sim::MakeFamilyCamera(family);
    BuildAdapter();
    if (!adapter) return;
    handler =
        CreatePropertyHandler(info->chipset, adapter.get(), info->privateSet, MultimediaClock());
    ASSERT_NE(handler, nullptr);
    cam->ClearLog();
  }

  // The single KsProperty set-request since the log was cleared.
  sim::Request OnlyWrite() { return test::OnlyKsWrite(*cam); }

  const sim::FamilyInfo* info = nullptr;
};

TEST_F(HandlerFamilyTest, Saa8112GainAtOffset28AndRawAccess) {
  Build(Family::Saa8112);
  ASSERT_EQ(handler->SetValue(VCP_Gain, 10), S_OK);
  sim::Request w = OnlyWrite();
  EXPECT_EQ(w.set, info->privateSet);
  EXPECT_EQ(w.id, 10u);
  EXPECT_EQ(w.propertyLength, 296u);
  EXPECT_EQ(w.dataLength, 296u);
  EXPECT_EQ(w.DataLong(28), 10);
  EXPECT_EQ(w.DataLong(24), 0);
  int32_t v = 0;
  ASSERT_EQ(handler->GetValue(VCP_Gain, &v), S_OK);
  EXPECT_EQ(v, 10);

  EXPECT_EQ(handler->ReadRaw(516, &v), E_ACCESSDENIED);
  ASSERT_EQ(handler->EnableRawAccess(1), S_OK);
  ASSERT_EQ(handler->ReadRaw(500 + 0x10, &v), S_OK);
  EXPECT_EQ(v, 0x42);
  ASSERT_EQ(handler->WriteRaw(500 + 0x10, 0x1FF), S_OK);
  EXPECT_EQ(cam->log.back().DataLong(28), 0xFF);
  EXPECT_EQ(cam->rawAccess.registers[info->privateSet][0x10], 0xFF);

  cam->ClearLog();
  handler.reset();
  int locks = 0;
  for (const sim::Request& r : cam->Requests(Op::KsProperty)) {
    if (r.set.IsNull() && r.id == sim::raw::kLockId && r.PropertyLong(28) == 0) ++locks;
  }
  EXPECT_EQ(locks, 1);
  EXPECT_FALSE(cam->rawAccess.unlocked);
}

TEST_F(HandlerFamilyTest, Saa8116FamilyLedIsHeldWithin16To18) {
  for (Family f : {Family::Saa8116, Family::Saa8116Creative, Family::Saa8116Logitech}) {
    Build(f);
    ASSERT_EQ(handler->SetValue(VCP_LED, 40), S_OK) << info->name;
    sim::Request w = OnlyWrite();
    EXPECT_EQ(w.set, info->privateSet) << info->name;
    EXPECT_EQ(w.id, 14u);
    EXPECT_EQ(w.DataLong(28), 18) << info->name;
    cam->ClearLog();
    ASSERT_EQ(handler->SetValue(VCP_LED, 5), S_OK);
    EXPECT_EQ(OnlyWrite().DataLong(28), 16);
    int32_t mn = 0, mx = 0, st = 0, df = 0, caps = 9;
    ASSERT_EQ(handler->QueryRange(VCP_LED, &mn, &mx, &st, &df, &caps), S_OK);
    EXPECT_EQ(mn, 16);
    EXPECT_EQ(mx, 18);
    TearDown();
  }
}

TEST_F(HandlerFamilyTest, CreativeRawCodeWrites36Bytes) {
  Build(Family::CreaLiveUltra);
  ASSERT_EQ(handler->SetValue(520, 77), S_OK);
  sim::Request w = OnlyWrite();
  EXPECT_EQ(w.set, info->privateSet);
  EXPECT_EQ(w.id, 20u);
  EXPECT_EQ(w.dataLength, 36u);
  EXPECT_EQ(w.DataLong(24), 77);
  int32_t v = 0;
  ASSERT_EQ(handler->GetValue(520, &v), S_OK);
  EXPECT_EQ(v, 77);
  EXPECT_EQ(handler->EnableRawAccess(1), E_NOINTERFACE);
  int32_t support = -1;
  EXPECT_EQ(handler->QuerySupport(VCP_WhiteBalanceMode, &support), S_OK);
  EXPECT_EQ(support, VCS_no);
}

TEST_F(HandlerFamilyTest, LogitechColorEnableIsABareFourByteValue) {
  Build(Family::LogiFusion);
  ASSERT_EQ(handler->SetValue(VCP_ColorEnable, 0), S_OK);
  sim::Request w = OnlyWrite();
  EXPECT_EQ(w.set, info->privateSet);
  EXPECT_EQ(w.id, 102u);
  EXPECT_EQ(w.dataLength, 4u);
  EXPECT_EQ(w.data, (std::vector<uint8_t>{3, 0, 0, 0}));
  int32_t v = -1;
  ASSERT_EQ(handler->GetValue(VCP_ColorEnable, &v), S_OK);
  EXPECT_EQ(v, 0) << "device value 3 (monochrome) reads as colour off";
  ASSERT_EQ(handler->SetValue(VCP_FPS, -5), S_OK);
  ASSERT_FALSE(cam->Requests(Op::CameraSet).empty());
  EXPECT_EQ(cam->Requests(Op::CameraSet).back().id, 4u);
}

}  // namespace
}  // namespace lumora
