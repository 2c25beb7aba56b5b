// The catalogue as the tools ask it: names, kinds and standard routes.
#include "property/catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tools/report.h"

namespace lumora {
namespace {

TEST(Catalogue, NamesAndAliasesFindTheirValue) {
  for (int32_t p = 0; p < catalogue::kNamed; ++p) {
    ASSERT_NE(PropertyName(p), nullptr) << p;
    EXPECT_EQ(PropertyFromName(PropertyName(p)), p) << PropertyName(p);
    EXPECT_EQ(PropertyFromName(("vcp_" + std::string(PropertyName(p))).c_str()), p);
  }
  EXPECT_EQ(PropertyName(catalogue::kNamed), nullptr);
  EXPECT_EQ(PropertyName(-1), nullptr);
  EXPECT_STREQ(PropertyName(VCP_CamExposure), "Iris");
  EXPECT_EQ(PropertyFromName("CAMEXPOSURE"), 30);
  EXPECT_EQ(PropertyFromName("lastSetting"), 20);
  EXPECT_EQ(PropertyFromName("VCP_"), -1);
  EXPECT_EQ(PropertyFromName("Brightnes"), -1);
  EXPECT_EQ(PropertyFromName(nullptr), -1);
}

TEST(Catalogue, KindsTheToolsUse) {
  std::set<int32_t> triggers, notKept;
  for (int32_t p = -1; p <= kCatalogueSize; ++p) {
    if (catalogue::KindOf(p) == catalogue::Kind::kTrigger) triggers.insert(p);
    if (!catalogue::IsKept(p)) notKept.insert(p);
  }
  // The check never touches the triggers; profiles and reset skip actions
  // and the trigger that fires once.
  EXPECT_EQ(triggers, (std::set<int32_t>{VCP_ExtTrigger, VCP_SWTrigger}));
  EXPECT_EQ(notKept, (std::set<int32_t>{VCP_Setting, VCP_SWTrigger}));
  const std::vector<int32_t> autos(std::begin(catalogue::kAutoSwitches),
                                   std::end(catalogue::kAutoSwitches));
  EXPECT_EQ(autos, (std::vector<int32_t>{VCP_AutoAll, VCP_WhiteBalanceMode, VCP_AutoExposure}));
  for (int32_t p : autos) EXPECT_EQ(catalogue::KindOf(p), catalogue::Kind::kAuto) << p;
}

TEST(Catalogue, ReachCounts) {
  // The settings block stops before VCP_Focus; value calls after VCP_SWTrigger.
  EXPECT_EQ(catalogue::kBlockRows, VCP_Focus);
  EXPECT_EQ(catalogue::kValueCallRows, VCP_SWTrigger + 1);
  EXPECT_EQ(catalogue::kNamed, VCP_LastElement + 1);
}

TEST(Catalogue, StandardExposureOnEveryChipset) {
  const int32_t chipsets[] = {CSX_Unknown, CSX_SAA8112, CSX_SAA8116, CSX_CREALIVEULTRA,
                              CSX_LOGIFUSION};
  for (int32_t chipset : chipsets) {
    for (int32_t p = 0; p < kCatalogueSize; ++p) {
      const bool expected = p == VCP_CamExposure || (p == VCP_Exposure && chipset == CSX_Unknown);
      EXPECT_EQ(IsStandardExposure(chipset, p), expected) << chipset << " " << p;
    }
  }
  EXPECT_FALSE(IsStandardExposure(2, VCP_CamExposure)) << "an internal value is no public chipset";
}

TEST(Catalogue, ReportLabelsAreOneWidth) {
  std::set<std::string> labels;
  for (int32_t p = 0; p < kCatalogueSize; ++p) {
    EXPECT_EQ(ReportName(p).size(), 18u) << p;
    labels.insert(ReportName(p));
  }
  EXPECT_EQ(labels.size(), static_cast<size_t>(kCatalogueSize)) << "labels repeat";
  EXPECT_EQ(ReportName(kCatalogueSize), "");
  EXPECT_EQ(ReportName(-1), "");
}

// A window finds and shows a property by its title: every named property
// has one of its own, in words where the name runs them together.
TEST(Catalogue, EveryNamedPropertyHasItsOwnTitle) {
  std::set<std::string> titles;
  for (int32_t p = 0; p < kCatalogueSize; ++p) {
    if (PropertyName(p) == nullptr) {
      EXPECT_EQ(PropertyTitle(p), nullptr) << p;
      continue;
    }
    ASSERT_NE(PropertyTitle(p), nullptr) << p;
    EXPECT_TRUE(titles.insert(PropertyTitle(p)).second) << PropertyTitle(p) << " repeats";
  }
  EXPECT_STREQ(PropertyTitle(VCP_WhiteBalRed), "White balance red");
  EXPECT_EQ(PropertyTitle(kCatalogueSize), nullptr);
  EXPECT_EQ(PropertyTitle(-1), nullptr);
}

TEST(Catalogue, ChipsetNames) {
  EXPECT_STREQ(ChipsetName(CSX_SAA8116), "SAA8116");
  EXPECT_STREQ(ChipsetName(CSX_Unknown), "unknown");
  EXPECT_STREQ(ChipsetName(2), "unknown");
  EXPECT_STREQ(ChipsetName(-7), "unknown");
}

}  // namespace
}  // namespace lumora
