// The shared text helpers (base/text.h).
#include "base/text.h"

#include <gtest/gtest.h>

#include <climits>

namespace lumora {
namespace {

TEST(EqualNoCase, AsciiOnly) {
  EXPECT_TRUE(EqualNoCase("VCP_Brightness", "vcp_BRIGHTNESS"));
  EXPECT_TRUE(EqualNoCase("", ""));
  EXPECT_FALSE(EqualNoCase("Gain", "Gains"));
  EXPECT_FALSE(EqualNoCase("Gain", "Gai"));
  EXPECT_FALSE(EqualNoCase("a", "b"));
  EXPECT_FALSE(EqualNoCase("[", "{"));  // differ by the case bit, not letters
  // Bytes above 127 compare as they are, whatever the locale.
  EXPECT_TRUE(EqualNoCase("\xC4", "\xC4"));
  EXPECT_FALSE(EqualNoCase("\xC4", "\xE4"));
}

TEST(ParseInteger, RangeAndLimits) {
  const struct {
    const char* text;
    int64_t lo, hi;
    bool ok;
    int64_t value;
  } cases[] = {
      {"9223372036854775807", INT64_MIN, INT64_MAX, true, INT64_MAX},
      {"-9223372036854775808", INT64_MIN, INT64_MAX, true, INT64_MIN},
      {"9223372036854775808", INT64_MIN, INT64_MAX, false, 0},
      {"-9223372036854775809", INT64_MIN, INT64_MAX, false, 0},
      {"000000000000000000000012", INT64_MIN, INT64_MAX, true, 12},
      {"-0", 0, 0, true, 0},
      {"4294967295", 0, UINT32_MAX, true, 4294967295},
      {"4294967296", 0, UINT32_MAX, false, 0},
      {"0", 1, 5, false, 0},
      {"5", 1, 5, true, 5},
      {"6", 1, 5, false, 0},
      {"+", 0, 9, false, 0},
      {"5 ", 0, 9, false, 0},
      {"\t5", 0, 9, false, 0},
      {"--5", -9, 9, false, 0},
  };
  for (const auto& c : cases) {
    int64_t v = 77;
    EXPECT_EQ(ParseInteger(c.text, c.lo, c.hi, &v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : 77) << c.text << ": written only on success";
  }
}

TEST(ParseInteger, NotNulTerminated) {
  const std::string_view text("123456", 3);
  int64_t v = 0;
  ASSERT_TRUE(ParseInteger(text, 0, 1000, &v));
  EXPECT_EQ(v, 123);
}

}  // namespace
}  // namespace lumora
