// The probe's report assembly, chipset names and the "Set" number
// conversion (tools/report.*).
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/report.h"
#include "property/catalogue.h"
#include "tests/report_labels.h"

namespace lumora {
namespace {

struct SetTextCase {
  const char* text;
  SetTextResult result;
  int32_t value;
};

TEST(SetTextValue, LeadingNumberRoundedHalfToEven) {
  const SetTextCase cases[] = {
      {"0", SetTextResult::kOk, 0},
      {"42", SetTextResult::kOk, 42},
      {"12.5", SetTextResult::kOk, 12},
      {"13.5", SetTextResult::kOk, 14},
      {"12.51", SetTextResult::kOk, 13},
      {"-2.5", SetTextResult::kOk, -2},
      {"-3.5", SetTextResult::kOk, -4},
      {"0.5", SetTextResult::kOk, 0},
      {".5", SetTextResult::kOk, 0},
      {"1.5", SetTextResult::kOk, 2},
      {"-0.4", SetTextResult::kOk, 0},
      {"+7", SetTextResult::kOk, 7},
      {"  19", SetTextResult::kOk, 19},
      {"\t-8", SetTextResult::kOk, -8},
      {"25abc", SetTextResult::kOk, 25},
      {"3.7.1", SetTextResult::kOk, 4},
      {"1e3", SetTextResult::kOk, 1000},
      {"2.5E1", SetTextResult::kOk, 25},
      {"1e", SetTextResult::kOk, 1},
      {"1e+", SetTextResult::kOk, 1},
      {"15d-1", SetTextResult::kOk, 2},
      {"abc", SetTextResult::kOk, 0},
      {"", SetTextResult::kOk, 0},
      {"-", SetTextResult::kOk, 0},
      {".", SetTextResult::kOk, 0},
      {"x12", SetTextResult::kOk, 0},
      {"2147483647", SetTextResult::kOk, 2147483647},
      {"-2147483648", SetTextResult::kOk, INT32_MIN},
      {"2147483647.4", SetTextResult::kOk, 2147483647},
      {"-2147483648.5", SetTextResult::kOk, INT32_MIN},
      {"2147483647.5", SetTextResult::kOverflow, 0},
      {"2147483648", SetTextResult::kOverflow, 0},
      {"-2147483649", SetTextResult::kOverflow, 0},
      {"1e10", SetTextResult::kOverflow, 0},
      {"1e400", SetTextResult::kOverflow, 0},
      {"99999999999999999999999999", SetTextResult::kOverflow, 0},
  };
  for (const auto& c : cases) {
    int32_t value = -12345;
    EXPECT_EQ(SetTextValue(c.text, &value), c.result) << '"' << c.text << '"';
    if (c.result == SetTextResult::kOk) {
      EXPECT_EQ(value, c.value) << '"' << c.text << '"';
    } else {
      EXPECT_EQ(value, -12345) << "an overflow leaves the value alone: " << c.text;
    }
  }
}

TEST(ChipsetName, KnownValuesAndUnknown) {
  const std::map<int32_t, std::string> names = {
      {3, "SAA8116"}, {1, "SAA8112"}, {4, "CREALIVEULTRA"}, {5, "LOGIFUSION"},
      {0, "unknown"}, {2, "unknown"}, {6, "unknown"},       {-1, "unknown"},
  };
  for (const auto& [value, name] : names) EXPECT_EQ(ChipsetName(value), name) << value;
  EXPECT_EQ(ReportHeader(3), "Chipset is SAA8116\r\n");
  EXPECT_EQ(ReportHeader(0), "Chipset is unknown\r\n");
}

// A camera answering from tables; records which calls the report made.
class FakeSource : public ReportSource {
 public:
  std::map<int32_t, int32_t> support;  // missing: the call fails
  std::map<int32_t, std::pair<int32_t, int32_t>> range;
  std::map<int32_t, int32_t> value;
  std::set<int32_t> rangeAsked, valueAsked;

  bool Support(int32_t p, int32_t* s) override {
    auto it = support.find(p);
    if (it == support.end()) return false;
    *s = it->second;
    return true;
  }
  bool Range(int32_t p, int32_t* min, int32_t* max) override {
    rangeAsked.insert(p);
    auto it = range.find(p);
    if (it == range.end()) return false;
    *min = it->second.first;
    *max = it->second.second;
    return true;
  }
  bool Value(int32_t p, int32_t* v) override {
    valueAsked.insert(p);
    auto it = value.find(p);
    if (it == value.end()) return false;
    *v = it->second;
    return true;
  }
};

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2) {
    lines.push_back(text.substr(start, pos - start));
  }
  EXPECT_EQ(start, text.size()) << "the report ends with a line break";
  return lines;
}

TEST(ReportBody, OneLinePerPropertyWithTheCallsItShows) {
  FakeSource cam;
  cam.support = {{0, 3}, {1, 1}, {2, 2}, {3, 0}, {5, 3}, {6, 7}, {15, 3}, {26, 1}, {31, 3}};
  cam.range = {{0, {0, 255}}, {1, {-10, 10}}, {6, {1, 2}}, {15, {-2147483647 - 1, 2147483647}}};
  cam.value = {{0, 128}, {5, -3}, {6, 1}, {15, 0}};
  const auto lines = SplitCrLf(ReportBody(cam));
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[0], "Brightness         read write   Range 0\t- 255\tValue is 128");
  EXPECT_EQ(lines[1], "Contrast           read only    Range -10\t- 10\tValue is not supp.");
  EXPECT_EQ(lines[2], "Hue                write only   ");
  EXPECT_EQ(lines[3], "Saturation         not supported");
  EXPECT_EQ(lines[4], "Sharpness          not supported") << "a failed support read counts as 0";
  EXPECT_EQ(lines[5], "Gamma              read write   Range not supp.\tValue is -3");
  EXPECT_EQ(lines[6], "ColorEnable        ?????????????Range 1\t- 2\tValue is 1");
  EXPECT_EQ(lines[15],
            "Exposure           read write   Range -2147483648\t- 2147483647\tValue is 0");
  EXPECT_EQ(lines[26], "Pan Cam            read only    Range not supp.\tValue is not supp.");
  EXPECT_EQ(lines[31], "Iris Setting       read write   Range not supp.\tValue is not supp.");
  for (int32_t i = 0; i < 32; ++i) {
    EXPECT_EQ(lines[i].substr(0, 18), test::kReportLabels[i]) << i;
  }
  // Range and value are asked exactly of the lines that show them.
  const std::set<int32_t> shown = {0, 1, 5, 6, 15, 26, 31};
  EXPECT_EQ(cam.rangeAsked, shown);
  EXPECT_EQ(cam.valueAsked, shown);
}

TEST(ReportBody, NothingSupportedStillListsEveryProperty) {
  FakeSource cam;
  const std::string body = ReportBody(cam);
  const auto lines = SplitCrLf(body);
  ASSERT_EQ(lines.size(), 32u);
  for (const auto& line : lines) EXPECT_EQ(line.substr(18), " not supported");
  EXPECT_TRUE(cam.rangeAsked.empty());
  EXPECT_EQ(body.find("Focus"), std::string::npos) << "property 32 is not reported";
}

}  // namespace
}  // namespace lumora
