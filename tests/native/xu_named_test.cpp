// Finding a camera's controls by what users type: a GUID and selector for
// raw access, a field name for named access, and raw values as hex text.
#include <gtest/gtest.h>

#include "tests/native/xu_fake_driver.h"
#include "xu/named.h"

namespace lumora::xu {
namespace {

const Guid kPeripheral = Guid::Parse("FFE52D21-8030-4E2C-82D9-F587D00540BD");
const Guid kUserHw = Guid::Parse("63610682-5070-49AB-B8CC-B3855E8D221F");

// What discovery finds on a camera with the user-hardware LED unit (with a
// control length of `ledLength`) at node 5.
std::vector<UnitFacts> CameraWithUserHwLed(uint32_t ledLength) {
  testing::FakeDriver d;
  d.nodes[5].guid = kUserHw;
  d.nodes[5].controls[1] = testing::MakeControl(Bytes(ledLength, 0));
  DiscoveryOptions options;
  options.candidates = {kPeripheral, kUserHw};
  std::vector<UnitFacts> units;
  EXPECT_TRUE(DiscoverUnits(d, options, &units).ok());
  return units;
}

Definitions Shipped() {
  Definitions d = LoadDefinitions({LUMORA_XU_DEFINITIONS_DIR});
  EXPECT_TRUE(d.errors().empty());
  return d;
}

TEST(XuNamedAccess, ANameAmongSeveralUnitsFindsTheOneTheCameraHas) {
  auto units = CameraWithUserHwLed(3);
  const Definitions definitions = Shipped();
  NamedField f;
  ASSERT_TRUE(FindNamedField(units, definitions, "led mode", &f).ok());
  EXPECT_EQ(f.unit->nodeId, 5u);
  EXPECT_EQ(f.definition->unit, kUserHw);
  EXPECT_EQ(f.definition->fields[f.field].byte, 0u);  // byte 0 here, byte 1 on the peripheral unit
  Status s = FindNamedField(units, definitions, "Field of View", &f);
  EXPECT_EQ(s.message, "this camera has no extension-unit control named \"Field of View\"");
}

TEST(XuNamedAccess, ADefinitionThatDoesNotFitSaysWhy) {
  auto units = CameraWithUserHwLed(2);
  NamedField f;
  Status s = FindNamedField(units, Shipped(), "LED Mode", &f);
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message.find("is for a 3-byte control; the device's has 2 bytes"), std::string::npos)
      << s.message;
  // The raw control is still found.
  const UnitFacts* unit = nullptr;
  const ControlFacts* control = nullptr;
  EXPECT_TRUE(FindRawControl(units, kUserHw, 1, &unit, &control).ok());
  EXPECT_EQ(*control->length, 2u);
}

TEST(XuRawNames, UnknownGuidOrSelectorIsNamed) {
  auto units = CameraWithUserHwLed(3);
  const UnitFacts* unit = nullptr;
  const ControlFacts* control = nullptr;
  Status s = FindRawControl(units, kPeripheral, 9, &unit, &control);
  EXPECT_EQ(s.message, "this camera has no extension unit ffe52d21-8030-4e2c-82d9-f587d00540bd");
  s = FindRawControl(units, kUserHw, 4, &unit, &control);
  EXPECT_EQ(s.message, "unit 63610682-5070-49ab-b8cc-b3855e8d221f has no control 4");
}

TEST(XuRawNames, HexTextAndGuidText) {
  Bytes v;
  ASSERT_TRUE(ParseHexText("0001000A00", &v));
  EXPECT_EQ(v, Bytes({0x00, 0x01, 0x00, 0x0a, 0x00}));
  EXPECT_EQ(HexText(v), "0001000a00");
  for (const char* bad : {"", "0", "0g", "00 01", "0x01"}) {
    Bytes kept = {7};
    EXPECT_FALSE(ParseHexText(bad, &kept)) << bad;
    EXPECT_EQ(kept, Bytes({7}));
  }
  Guid g;
  EXPECT_TRUE(ParseGuidText("{ffe52d21-8030-4e2c-82d9-f587d00540bd}", &g));
  EXPECT_EQ(g, kPeripheral);
  EXPECT_FALSE(ParseGuidText("ffe52d21-8030-4e2c-82d9-f587d00540bd}", &g));
  EXPECT_FALSE(ParseGuidText("{ffe52d21-8030-4e2c-82d9-f587d00540b}", &g));
  EXPECT_FALSE(ParseGuidText("00000000-0000-0000-0000-000000000000", &g));
}

}  // namespace
}  // namespace lumora::xu
