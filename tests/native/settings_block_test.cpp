// Block reads and writes of settings arrays against a scripted control.
#include "property/settings_block.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "property/catalogue.h"

namespace lumora {
namespace {

// A control whose answers are set per property; records every call.
class ScriptedControl : public SettingsAccess {
 public:
  struct Answer {
    HResult supportResult = hr::Ok;
    int32_t support = VCS_both;
    HResult getResult = hr::Ok;
    int32_t value = 0;
  };
  std::map<int32_t, Answer> answers;  // properties not listed: defaults above
  std::vector<int32_t> reads;
  std::vector<std::pair<int32_t, int32_t>> writes;
  std::vector<float> progress;

  HResult QuerySupport(int32_t property, int32_t* support) override {
    const Answer& a = answers[property];
    *support = a.support;
    return a.supportResult;
  }
  HResult GetValue(int32_t property, int32_t* value) override {
    reads.push_back(property);
    const Answer& a = answers[property];
    if (hr::Succeeded(a.getResult)) *value = a.value;
    return a.getResult;
  }
  HResult SetValue(int32_t property, int32_t value) override {
    writes.emplace_back(property, value);
    return hr::Ok;
  }
  void Progress(float percent) override { progress.push_back(percent); }
};

std::vector<float> ExpectedProgress(uint32_t count) {
  std::vector<float> expected = {0.0f};
  for (uint32_t k = 0; k < count && k < kSettingsBlockLimit; ++k) {
    expected.push_back(100.0f * static_cast<float>(k) / static_cast<float>(count));
  }
  expected.push_back(100.0f);
  return expected;
}

TEST(SettingsBlockTest, ProgressSequencesFollowTheElementCount) {
  struct Row {
    uint32_t count;
    std::vector<float> expected;
  };
  const Row rows[] = {
      {0, {0.0f, 100.0f}},
      {1, {0.0f, 0.0f, 100.0f}},
      {5, {0.0f, 0.0f, 20.0f, 40.0f, 60.0f, 80.0f, 100.0f}},
      {40, ExpectedProgress(40)},
  };
  for (const Row& row : rows) {
    for (bool write : {false, true}) {
      ScriptedControl control;
      std::vector<int16_t> elements(row.count + 1, 7);  // one guard element
      if (write) {
        WriteSettingsBlock(control, elements.data(), row.count);
      } else {
        ReadSettingsBlock(control, elements.data(), row.count);
      }
      EXPECT_EQ(control.progress, row.expected) << row.count << (write ? " write" : " read");
    }
  }
  EXPECT_EQ(ExpectedProgress(40).size(), 33u);
  EXPECT_FLOAT_EQ(BlockProgress(1, 40), 2.5f);
}

TEST(SettingsBlockTest, ReadCoversAtMostThirtyOneElements) {
  ScriptedControl control;
  for (int32_t p = 0; p < 40; ++p) control.answers[p].value = 100 + p;
  std::vector<int16_t> elements(40, -7);
  ReadSettingsBlock(control, elements.data(), 40);
  ASSERT_EQ(control.reads.size(), 31u);
  for (int32_t k = 0; k < 31; ++k) {
    EXPECT_EQ(control.reads[k], k);
    EXPECT_EQ(elements[k], 100 + k);
  }
  for (int k = 31; k < 40; ++k) EXPECT_EQ(elements[k], -7) << k;
}

TEST(SettingsBlockTest, ReadKeepsTheLowSixteenBitsAndZeroesFailures) {
  struct Row {
    HResult result;
    int32_t value;
    int16_t element;
  };
  const Row rows[] = {
      {hr::Ok, 70000, 4464},   {hr::Ok, -1, -1},       {hr::Ok, 0x12348000, -32768},
      {hr::Ok, 65535, -1},     {hr::False, 5, 5},  // any success counts
      {hr::NoInterface, 5, 0}, {hr::InvalidArg, 5, 0},
  };
  ScriptedControl control;
  for (int32_t p = 0; p < 7; ++p) {
    control.answers[p].getResult = rows[p].result;
    control.answers[p].value = rows[p].value;
  }
  std::vector<int16_t> elements(7, 99);
  ReadSettingsBlock(control, elements.data(), 7);
  for (int32_t p = 0; p < 7; ++p) EXPECT_EQ(elements[p], rows[p].element) << "row " << p;
}

TEST(SettingsBlockTest, WriteOnlyWhatSupportAnswersExactlyOkWithTheSetBit) {
  struct Row {
    HResult supportResult;
    int32_t support;
    bool written;
  };
  const Row rows[] = {
      {hr::Ok, VCS_both, true},           {hr::Ok, VCS_set, true},
      {hr::Ok, VCS_get, false},           {hr::Ok, VCS_no, false},
      {hr::False, VCS_both, false},                                    // a success other than S_OK
      {hr::NoInterface, VCS_both, false}, {hr::Ok, 0x7FFFFFFE, true},  // only bit 1 matters
  };
  ScriptedControl control;
  const int32_t count = static_cast<int32_t>(sizeof rows / sizeof rows[0]);
  for (int32_t p = 0; p < count; ++p) {
    control.answers[p].supportResult = rows[p].supportResult;
    control.answers[p].support = rows[p].support;
  }
  std::vector<int16_t> elements(count);
  for (int32_t p = 0; p < count; ++p) elements[p] = static_cast<int16_t>(p + 10);
  const std::vector<int16_t> before = elements;
  WriteSettingsBlock(control, elements.data(), static_cast<uint32_t>(count));
  std::vector<std::pair<int32_t, int32_t>> expected;
  for (int32_t p = 0; p < count; ++p) {
    if (rows[p].written) expected.emplace_back(p, p + 10);
  }
  EXPECT_EQ(control.writes, expected);
  EXPECT_EQ(elements, before);
  EXPECT_TRUE(control.reads.empty());
}

TEST(SettingsBlockTest, WriteSignExtendsElements) {
  ScriptedControl control;
  const int16_t elements[] = {-1, -32768, 32767, 0};
  WriteSettingsBlock(control, elements, 4);
  const std::vector<std::pair<int32_t, int32_t>> expected = {
      {0, -1}, {1, -32768}, {2, 32767}, {3, 0}};
  EXPECT_EQ(control.writes, expected);
}

TEST(SettingsBlockTest, WriteStopsBeforeFocus) {
  ScriptedControl control;
  std::vector<int16_t> elements(33, 1);
  WriteSettingsBlock(control, elements.data(), 33);
  ASSERT_EQ(control.writes.size(), 31u);
  EXPECT_EQ(control.writes.back().first, 30);
}

}  // namespace
}  // namespace lumora
