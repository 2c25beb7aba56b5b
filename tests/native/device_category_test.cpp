// The table of well-known device categories.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "enumeration/device_category.h"

namespace lumora {
namespace {

TEST(DeviceCategory, TextIsLowerCaseInBraces) {
  struct Row {
    int32_t value;
    const char* text;
  };
  const Row rows[] = {
      {0, "{860bb310-5d01-11d0-bd3b-00a0c911ce86}"},
      {5, "{083863f1-70de-11d0-bd40-00a0c911ce86}"},
      {10, "{2721ae20-7e70-11d0-a5d6-28db04c10000}"},
  };
  for (const Row& r : rows) {
    auto text = KnownDeviceCategoryText(r.value);
    ASSERT_TRUE(text.has_value()) << r.value;
    EXPECT_EQ(*text, r.text) << r.value;
  }
}

TEST(DeviceCategory, EveryValueInRangeHasADistinctIdentifier) {
  std::set<std::string> seen;
  for (int32_t v = 0; v < kKnownDeviceCategoryCount; ++v) {
    auto text = KnownDeviceCategoryText(v);
    ASSERT_TRUE(text.has_value()) << v;
    EXPECT_EQ(text->size(), 38u) << v;
    EXPECT_EQ(text->find_first_of("ABCDEF"), std::string::npos) << *text;
    EXPECT_TRUE(seen.insert(*text).second) << *text;
  }
}

TEST(DeviceCategory, ValuesOutsideTheTableHaveNone) {
  for (int32_t v : {11, 12, -1, INT32_MIN, INT32_MAX}) {
    EXPECT_FALSE(KnownDeviceCategoryClsid(v).has_value()) << v;
    EXPECT_FALSE(KnownDeviceCategoryText(v).has_value()) << v;
  }
}

}  // namespace
}  // namespace lumora
