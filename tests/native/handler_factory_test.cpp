// Handler choice by internal chipset value.
#include <gtest/gtest.h>

#include <typeinfo>

#include "property/handler_factory.h"
#include "property/philips_handlers.h"
#include "property/vendor_handlers.h"
#include "sim/families.h"

namespace lumora {
namespace {

struct Choice {
  int32_t chipset;
  const std::type_info& type;
};

TEST(HandlerFactory, ChoosesByInternalChipsetValue) {
  const Choice choices[] = {
      {0, typeid(StandardPropertyHandler)},      {1, typeid(Saa8112PropertyHandler)},
      {2, typeid(Saa8116PropertyHandler)},       {3, typeid(Saa8116PropertyHandler)},
      {4, typeid(CreaLiveUltraPropertyHandler)}, {5, typeid(LogiFusionPropertyHandler)},
      {6, typeid(StandardPropertyHandler)},      {-1, typeid(StandardPropertyHandler)},
  };
  const Guid set = Guid::Parse("1B3C6C20-CCE8-11D3-A59B-00104B13EAF2");
  for (const Choice& c : choices) {
    auto cam = sim::SimulatedCamera::Create();
    auto filter = cam->MakeFilter();
    sim::SimClock clock;
    std::unique_ptr<PropertyHandler> h = CreatePropertyHandler(c.chipset, filter.get(), set, clock);
    ASSERT_NE(h, nullptr);
    PropertyHandler& ref = *h;
    EXPECT_EQ(typeid(ref), c.type) << "chipset " << c.chipset;
    EXPECT_EQ(h->PropertySetSlot(kPrivateSetSlot), set);
    EXPECT_EQ(h->PropertySetSlot(0), sim::ks::kSetVideoProcAmp);
    EXPECT_TRUE(h->PropertySetSlot(6).IsNull());
  }
}

TEST(HandlerFactory, EachFamilyPresetMeetsItsHandler) {
  for (const sim::FamilyInfo& info : sim::Families()) {
    auto cam = sim::MakeFamilyCamera(info.family);
    auto filter = cam->MakeFilter();
    sim::SimClock clock;
    auto h = CreatePropertyHandler(info.chipset, filter.get(), info.privateSet, clock);
    ASSERT_NE(h, nullptr);
    // Catalogue value 9 is private on the Philips and Logitech handlers and
    // not available on the Creative one.
    int32_t support = -1;
    EXPECT_EQ(h->QuerySupport(VCP_WhiteBalanceMode, &support), hr::Ok) << info.name;
    EXPECT_EQ(support, info.family == sim::Family::CreaLiveUltra ? VCS_no : VCS_both) << info.name;
  }
}

TEST(HandlerFactory, WorksWithoutAFilter) {
  sim::SimClock clock;
  auto h = CreatePropertyHandler(1, nullptr, kNullGuid, clock);
  ASSERT_NE(h, nullptr);
  int32_t v = 0;
  EXPECT_EQ(h->GetValue(VCP_Gain, &v), hr::NoInterface);
  int32_t mn, mx, st, df, caps;
  EXPECT_EQ(h->QueryRange(VCP_Gain, &mn, &mx, &st, &df, &caps), hr::Ok);
  EXPECT_EQ(df, 33);
}

}  // namespace
}  // namespace lumora
