// The family presets of the simulated camera and its raw register protocol,
// asked directly the way a driver is asked.
#include <gtest/gtest.h>

#include "property/philips_handlers.h"
#include "property/property_blocks.h"
#include "sim/families.h"

namespace lumora {
namespace {

using sim::Family;

TEST(SimFamilies, EveryPrivateSetAnswersTheDetectionProbe) {
  for (const sim::FamilyInfo& info : sim::Families()) {
    auto cam = sim::MakeFamilyCamera(info.family);
    auto filter = cam->MakeFilter();
    std::unique_ptr<KsPropertySet> ks;
    ASSERT_EQ(filter->QueryKsPropertySet(&ks), hr::Ok);
    uint32_t support = 0;
    ASSERT_EQ(ks->QuerySupported(info.privateSet, 9, &support), hr::Ok) << info.name;
    EXPECT_EQ(support & 3, sim::ks::kSupportGet | sim::ks::kSupportSet) << info.name;
    EXPECT_EQ(PublicChipset(info.chipset) == CSX_Unknown, false) << info.name;
  }
}

TEST(SimFamilies, PresetsAreIndependentAndNamed) {
  auto a = sim::MakeFamilyCamera(Family::Saa8116);
  auto b = sim::MakeFamilyCamera(Family::Saa8116);
  a->FindPrivateSet(sim::kSetSaa8116)->properties[14].value = 18;
  EXPECT_EQ(b->FindPrivateSet(sim::kSetSaa8116)->properties[14].value, 16);
  EXPECT_STREQ(sim::InfoOf(Family::LogiFusion).name, "LogiFusion");
  EXPECT_EQ(sim::InfoOf(Family::Saa8116Logitech).privateSet,
            Guid::Parse("F83865C0-92C3-11d3-B41E-0010DC973BDB"));
}

struct Layout {
  Family family;
  uint32_t valueOffset;
  uint32_t getBytes;
  uint32_t id;
};

TEST(SimFamilies, ValuesTravelInTheFamilyLayout) {
  const Layout layouts[] = {
      {Family::Saa8112, 28, 296, 10},
      {Family::Saa8116Creative, 28, 296, 14},
      {Family::CreaLiveUltra, 24, 36, 20},
      {Family::LogiFusion, 0, 4, 102},
  };
  for (const Layout& l : layouts) {
    auto cam = sim::MakeFamilyCamera(l.family);
    const Guid set = sim::InfoOf(l.family).privateSet;
    cam->FindPrivateSet(set)->properties[l.id].value = 0x1234;
    PropertyRequest request;
    request.SetSet(set);
    request.SetId(l.id);
    request.SetFlags(sim::ks::kTypeGet);
    PropertyData data;
    uint32_t returned = 0;
    ASSERT_EQ(cam->KsProperty(request.bytes(), 296, data.bytes(), 296, &returned), hr::Ok);
    EXPECT_EQ(returned, l.getBytes) << sim::InfoOf(l.family).name;
    EXPECT_EQ(data.Long(l.valueOffset), 0x1234) << sim::InfoOf(l.family).name;
  }
}

// One block as property and data, as the raw-access requests are sent.
HResult Raw(sim::SimulatedCamera& cam, const Guid& set, uint32_t id, uint32_t flags, int32_t at28,
            int32_t* out = nullptr) {
  PropertyRequest block;
  block.SetSet(set);
  block.SetId(id);
  block.SetFlags(flags);
  block.SetLong(28, at28);
  uint32_t returned = 0;
  HResult h = cam.KsProperty(block.bytes(), 296, block.bytes(), 296, &returned);
  if (out != nullptr) *out = block.Long(28);
  return h;
}

// The protocol is the same whether or not the camera logs its requests.
class SimRawAccessTest : public ::testing::TestWithParam<bool> {};

TEST_P(SimRawAccessTest, Protocol) {
  auto cam = sim::MakeFamilyCamera(Family::Saa8112);
  cam->logRequests = GetParam();
  const Guid set = sim::kSetSaa8112;
  int32_t v = 0;
  EXPECT_EQ(Raw(*cam, kNullGuid, 2, sim::ks::kTypeSet, 12345), hr::AccessDenied) << "wrong key";
  EXPECT_FALSE(cam->rawAccess.unlocked);
  ASSERT_EQ(Raw(*cam, kNullGuid, 2, sim::ks::kTypeSet, sim::raw::kUnlockKey), hr::Ok);
  ASSERT_EQ(Raw(*cam, set, 0, sim::ks::kTypeSet, 0x10), hr::Ok);  // select
  EXPECT_EQ(cam->rawAccess.selectedIndex, 0x10);
  ASSERT_EQ(Raw(*cam, set, 1, sim::ks::kTypeGet, 0, &v), hr::Ok);
  EXPECT_EQ(v, 0x42);
  ASSERT_EQ(Raw(*cam, set, 1, sim::ks::kTypeSet, 0x7E), hr::Ok);
  EXPECT_EQ(cam->rawAccess.registers[set][0x10], 0x7E);
  EXPECT_EQ(Raw(*cam, sim::kSetSaa8116, 1, sim::ks::kTypeGet, 0), sim::kNotFound)
      << "nothing selected there";

  ASSERT_EQ(Raw(*cam, kNullGuid, 2, sim::ks::kTypeSet, 0), hr::Ok);  // lock
  EXPECT_EQ(cam->rawAccess.selectedIndex, 0x10) << "the selection is remembered";
  EXPECT_EQ(Raw(*cam, set, 1, sim::ks::kTypeGet, 0), hr::AccessDenied);
  EXPECT_EQ(Raw(*cam, set, 1, sim::ks::kTypeSet, 1), hr::AccessDenied);
  EXPECT_EQ(cam->rawAccess.registers[set][0x10], 0x7E);
  // Locked, id 0 is the ordinary white-balance mode again.
  ASSERT_EQ(Raw(*cam, set, 0, sim::ks::kTypeSet, 3), hr::Ok);
  EXPECT_EQ(cam->FindPrivateSet(set)->properties[0].value, 3);
  EXPECT_EQ(cam->rawAccess.selectedIndex, 0x10);
  EXPECT_EQ(cam->log.size(), GetParam() ? 10u : 0u);  // one per request
}

INSTANTIATE_TEST_SUITE_P(Logging, SimRawAccessTest, ::testing::Bool());

TEST(SimRawAccess, OnlyThePhilipsFamiliesSpeakIt) {
  for (Family f : {Family::CreaLiveUltra, Family::LogiFusion}) {
    auto cam = sim::MakeFamilyCamera(f);
    EXPECT_EQ(Raw(*cam, kNullGuid, 2, sim::ks::kTypeSet, sim::raw::kUnlockKey), sim::kSetNotFound);
  }
}

}  // namespace
}  // namespace lumora
