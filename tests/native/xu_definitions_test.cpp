// Definition files as users write them (errors reported as one line with
// file and line, the other files still loading), the shipped definitions
// against the facts of their sources, and field writes that change only
// their own bits, checked on the requests a driver receives.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/native/xu_fake_driver.h"
#include "xu/fields.h"

namespace lumora::xu {
namespace {

using testing::FakeDriver;

const Guid kPeripheral = Guid::Parse("FFE52D21-8030-4E2C-82D9-F587D00540BD");
const Guid kKiyoPro = Guid::Parse("23E49ED0-1178-4F31-AE52-D2FB8A8D3B48");
const Guid kBrio = Guid::Parse("49E40215-F434-47FE-B158-0E885023E51B");

std::string OneControl(const std::string& fields, const std::string& extra = "") {
  return "{\"units\": [{\"guid\": \"0D2A52E1-1111-4222-8333-944455556666\", \"controls\": [\n"
         "  {\"selector\": 3, \"name\": \"Test\"" +
         extra + ", \"fields\": [\n" + fields + "\n  ]}\n]}]}";
}

// The one error line of a text that must be refused.
std::string ErrorOf(const std::string& text) {
  Definitions d;
  EXPECT_FALSE(d.AddText("user.json", text));
  EXPECT_EQ(d.errors().size(), 1u);
  EXPECT_TRUE(d.controls().empty());
  return d.errors().empty() ? "" : d.errors()[0];
}

TEST(XuDefinitionFiles, SyntaxErrorsNameFileAndLineAndOtherFilesStillLoad) {
  Definitions d;
  EXPECT_FALSE(d.AddText("broken.json", "{\n  \"units\": [\n    {\"guid\": \"x\",,}\n  ]\n}\n"));
  EXPECT_TRUE(d.AddText("good.json", OneControl(R"({"name": "A", "type": "integer", "byte": 0})")));
  ASSERT_EQ(d.errors().size(), 1u);
  EXPECT_EQ(d.errors()[0].rfind("broken.json:3: ", 0), 0u) << d.errors()[0];
  EXPECT_EQ(d.errors()[0].find('\n'), std::string::npos);
  EXPECT_EQ(d.controls().size(), 1u);
  // A file cut short reports its last line; an empty one its first.
  EXPECT_EQ(ErrorOf("{\n\"units\": [\n").rfind("user.json:3: ", 0), 0u);
  EXPECT_EQ(ErrorOf("").rfind("user.json:1: ", 0), 0u);
  EXPECT_EQ(ErrorOf("{\"units\": [5\n\"x\"]}").rfind("user.json:2: ", 0), 0u);
}

TEST(XuDefinitionFiles, ProblemsInsideAValidDocumentNameTheLineOfTheValue) {
  std::string text = OneControl(
      "    {\"name\": \"A\", \"type\": \"integer\", \"byte\": 0},\n"
      "    {\"name\": \"B\", \"type\": \"integer\", \"byte\": 1,\n"
      "     \"bits\": 8, \"bit\": 9}",
      "");
  EXPECT_EQ(ErrorOf(text).rfind("user.json:5: \"bit\" must be from 0 to 7", 0), 0u)
      << ErrorOf(text);
  std::string beyond = OneControl(
      "    {\"name\": \"A\", \"type\": \"integer\", \"byte\": 0},\n"
      "    {\"name\": \"B\", \"type\": \"integer\", \"byte\": 1, \"bits\": 9}",
      ", \"length\": 2");
  EXPECT_EQ(ErrorOf(beyond), "user.json:4: field \"B\" reaches past the control's 2 bytes");
  std::string unknownKey = OneControl(
      "    {\"name\": \"A\", \"type\": \"integer\", \"byte\": 0,\n"
      "     \"sigend\": true}");
  EXPECT_EQ(ErrorOf(unknownKey), "user.json:4: unknown key \"sigend\"");
  EXPECT_NE(ErrorOf("{\"units\": [{\"guid\": \"FFE52D21-8030-4E2C-82D9\"}]}").find("is not a GUID"),
            std::string::npos);
  // A number followed by a line break is on its own line, not the next.
  EXPECT_EQ(ErrorOf("{\"units\": [{\"guid\": \"0D2A52E1-1111-4222-8333-944455556666\",\n"
                    "\"controls\": [{\"name\": \"n\", \"selector\":\n 32\n}]}]}"),
            "user.json:3: \"selector\" must be from 1 to 31");
}

TEST(XuDefinitionFiles, BadMenusAreRefused) {
  auto menu = [](const std::string& entries, const std::string& width = "8") {
    return OneControl("    {\"name\": \"M\", \"type\": \"menu\", \"byte\": 0, \"bits\": " + width +
                      ",\n     \"menu\": [" + entries + "]}");
  };
  EXPECT_NE(ErrorOf(menu("")).find("list of entries"), std::string::npos);
  EXPECT_NE(
      ErrorOf(menu(R"({"label": "a", "value": 0}, {"label": "A", "value": 1})")).find("twice"),
      std::string::npos);
  EXPECT_NE(ErrorOf(menu(R"({"label": "a", "value": 0}, {"label": "b", "value": 0})"))
                .find("the same value"),
            std::string::npos);
  EXPECT_NE(ErrorOf(menu(R"({"label": "a", "value": 4})", "2")).find("from 0 to 3"),
            std::string::npos);
  EXPECT_NE(ErrorOf(menu(R"({"label": "a", "bytes": "ff02"})", "24")).find("fill the field"),
            std::string::npos);
  EXPECT_NE(ErrorOf(menu(R"({"label": "a", "bytes": "fg"})")).find("pairs of hex digits"),
            std::string::npos);
  EXPECT_NE(ErrorOf(menu(R"({"label": "a", "value": 1, "bytes": "01"})")).find("either"),
            std::string::npos);
  EXPECT_NE(ErrorOf(menu(R"({"label": "", "value": 1})")).find("empty"), std::string::npos);
}

TEST(XuDefinitionFiles, ALaterFileOverridesControlByControl) {
  Definitions d;
  ASSERT_TRUE(
      d.AddText("shipped.json", OneControl(R"({"name": "Old", "type": "integer", "byte": 0})")));
  ASSERT_TRUE(
      d.AddText("user.json", OneControl(R"({"name": "New", "type": "boolean", "byte": 1})")));
  ASSERT_EQ(d.controls().size(), 1u);
  EXPECT_EQ(d.controls()[0].file, "user.json");
  EXPECT_TRUE(d.FindField("old").empty());
  ASSERT_EQ(d.FindField("NEW").size(), 1u);
}

TEST(XuDefinitionFiles, AFolderLoadsEveryGoodFileAndOneLinePerBadOne) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() /
                 ("lumora-xu-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::create_directories(dir);
  std::ofstream(dir / "a.json") << "{\"units\": [}";
  std::ofstream(dir / "b.json") << OneControl(R"({"name": "B", "type": "integer", "byte": 0})");
  std::ofstream(dir / "notes.txt") << "not a definition";
  Definitions d = LoadDefinitions({(dir / "missing").u8string(), dir.u8string()});
  fs::remove_all(dir);
  ASSERT_EQ(d.errors().size(), 1u);
  EXPECT_NE(d.errors()[0].find("a.json:1: "), std::string::npos) << d.errors()[0];
  EXPECT_EQ(d.controls().size(), 1u);
}

// The shipped files, as installed.
Definitions Shipped() {
  Definitions d = LoadDefinitions({LUMORA_XU_DEFINITIONS_DIR});
  for (const std::string& e : d.errors()) ADD_FAILURE() << e;
  return d;
}

TEST(XuShippedDefinitions, LoadCleanlyAndCiteASourceEverywhere) {
  Definitions d = Shipped();
  EXPECT_GE(d.units().size(), 8u);
  for (const UnitDefinition& u : d.units()) EXPECT_FALSE(u.source.empty()) << u.name;
  for (const ControlDefinition& c : d.controls()) EXPECT_FALSE(c.source.empty()) << c.name;
  ASSERT_NE(d.FindControl(kPeripheral, 9), nullptr);
  EXPECT_EQ(*d.FindControl(kPeripheral, 9)->length, 5u);
  EXPECT_EQ(d.FindField("LED Mode").size(), 2u);  // peripheral and user hardware control units
}

// A camera with one unit at node 4, as a driver presents it.
struct Camera {
  FakeDriver driver;
  ControlFacts facts;
  Camera(const Guid& unit, uint32_t selector, Bytes current) {
    driver.nodes[4].guid = unit;
    driver.nodes[4].controls[selector] = testing::MakeControl(std::move(current));
    Requester rq(driver, 0);
    facts = *DescribeControl(rq, 4, unit, selector, true);
    driver.log.clear();
  }
  Bytes& Current(uint32_t selector) { return driver.nodes[4].controls[selector].current; }
};

TEST(XuFieldWrite, LedModeChangesOnlyItsByte) {
  Definitions d = Shipped();
  Camera cam(kPeripheral, 9, {0xAA, 1, 0xBB, 20, 0xCC});
  const ControlDefinition& led = *d.FindControl(kPeripheral, 9);
  ASSERT_TRUE(WriteField(cam.driver, 4, led, 0, cam.facts, "blink").ok());
  EXPECT_EQ(cam.Current(9), Bytes({0xAA, 2, 0xBB, 20, 0xCC}));
  EXPECT_EQ(cam.driver.Count(kTypeGet), 1u);  // read, then write
  EXPECT_EQ(cam.driver.Count(kTypeSet), 1u);
  std::string text;
  ASSERT_TRUE(ReadField(cam.driver, 4, led, 1, cam.facts, &text).ok());
  EXPECT_EQ(text, "20");
}

TEST(XuFieldWrite, CommandMenusSendTheSourcesBytes) {
  Definitions d = Shipped();
  Camera cam(kKiyoPro, 1, Bytes(8, 0x77));
  const ControlDefinition& isp = *d.FindControl(kKiyoPro, 1);
  size_t hdr = d.FindField("HDR")[0].second, af = d.FindField("Autofocus Mode")[0].second;
  ASSERT_TRUE(WriteField(cam.driver, 4, isp, hdr, cam.facts, "on").ok());
  EXPECT_EQ(cam.Current(1), Bytes({0xff, 0x02, 0x01, 0, 0, 0, 0, 0}));
  EXPECT_EQ(cam.driver.Count(kTypeGet), 0u);  // an action is not read first
  ASSERT_TRUE(WriteField(cam.driver, 4, isp, af, cam.facts, "passive").ok());
  EXPECT_EQ(cam.Current(1), Bytes({0xff, 0x06, 0x01, 0, 0, 0, 0, 0}));
  EXPECT_EQ(FormatField(isp.fields[af], cam.Current(1)), "passive");
}

TEST(XuFieldWrite, BitFieldsKeepTheirNeighbours) {
  Definitions d;
  ASSERT_TRUE(d.AddText("bits.json",
                        OneControl(
                            R"({"name": "Two", "type": "integer", "byte": 0, "bit": 3, "bits": 2},
         {"name": "Wide", "type": "integer", "byte": 1, "bit": 4, "bits": 12, "signed": true},
         {"name": "Flag", "type": "boolean", "byte": 3, "bit": 7})")));
  const ControlDefinition& c = d.controls()[0];
  Camera cam(c.unit, 3, {0xFF, 0xFF, 0xFF, 0x7F});
  ASSERT_TRUE(WriteField(cam.driver, 4, c, 0, cam.facts, "0").ok());
  EXPECT_EQ(cam.Current(3), Bytes({0xE7, 0xFF, 0xFF, 0x7F}));
  ASSERT_TRUE(WriteField(cam.driver, 4, c, 1, cam.facts, "-2").ok());
  EXPECT_EQ(cam.Current(3), Bytes({0xE7, 0xEF, 0xFF, 0x7F}));
  EXPECT_EQ(FormatField(c.fields[1], cam.Current(3)), "-2");
  ASSERT_TRUE(WriteField(cam.driver, 4, c, 2, cam.facts, "on").ok());
  EXPECT_EQ(cam.Current(3), Bytes({0xE7, 0xEF, 0xFF, 0xFF}));
  ASSERT_TRUE(WriteField(cam.driver, 4, c, 1, cam.facts, "0x7ff").ok());
  EXPECT_EQ(cam.Current(3), Bytes({0xE7, 0xFF, 0x7F, 0xFF}));
}

TEST(XuFieldWrite, RefusedBeforeAnythingIsWritten) {
  Definitions d;
  ASSERT_TRUE(d.AddText(
      "r.json",
      OneControl(
          R"({"name": "Ranged", "type": "integer", "byte": 0, "range": {"min": 2, "max": 9}},
         {"name": "Device", "type": "integer", "byte": 1, "range": "device"},
         {"name": "Menu", "type": "menu", "byte": 3, "menu": [{"label": "x", "value": 1}]},
         {"name": "Blob", "type": "raw", "byte": 0, "bits": 16})")));
  ASSERT_TRUE(d.AddText("fixed.json", R"({"units": [{"guid": "0D2A52E1-1111-4222-8333-944455556666",
      "controls": [{"selector": 4, "name": "Fixed", "kind": "readonly",
                    "fields": [{"name": "Fixed", "type": "integer", "byte": 0}]}]}]})"));
  const ControlDefinition& c = d.controls()[0];
  const ControlDefinition& fixed = *d.FindControl(c.unit, 4);
  Camera cam(c.unit, 3, {5, 5, 5, 5});
  cam.facts.minimum = Bytes({0, 3, 0, 0});
  cam.facts.maximum = Bytes({0, 6, 0, 0});
  // Outside the definition's range, the device's range, not a number, not
  // a label, not the raw field's hex digits.
  const std::vector<std::pair<size_t, std::string>> refused = {
      {0, "1"}, {0, "10"},  {0, "seven"}, {0, "-0x1"}, {1, "7"},
      {1, "2"}, {1, "0x"},  {1, "0x 6"},  {1, "6 "},   {1, "0xFFFFFFFFFFFFFFFF"},
      {2, "y"}, {3, "abc"}, {3, "zz00"}};
  for (const auto& [field, text] : refused) {
    Status s = WriteField(cam.driver, 4, c, field, cam.facts, text);
    EXPECT_FALSE(s.ok()) << c.fields[field].name << " = " << text;
    EXPECT_NE(s.message.find("nothing written"), std::string::npos) << s.message;
  }
  Status s = WriteField(cam.driver, 4, fixed, 0, cam.facts, "1");
  EXPECT_EQ(s.code, hr::AccessDenied);
  EXPECT_NE(s.message.find("read-only: nothing written"), std::string::npos) << s.message;
  EXPECT_TRUE(cam.driver.log.empty());
  EXPECT_TRUE(WriteField(cam.driver, 4, c, 1, cam.facts, "6").ok());
  EXPECT_TRUE(WriteField(cam.driver, 4, c, 3, cam.facts, "0102").ok());
  EXPECT_EQ(cam.Current(3), Bytes({1, 2, 5, 5}));
}

TEST(XuFieldWrite, ADefinitionThatContradictsTheDeviceIsRefusedTheRawControlStaysUsable) {
  Definitions d = Shipped();
  // A camera whose unit has the peripheral GUID but a 3-byte selector 9.
  Camera cam(kPeripheral, 9, {1, 2, 3});
  const ControlDefinition& led = *d.FindControl(kPeripheral, 9);
  std::string misfit = CheckAgainstDevice(led, 3);
  EXPECT_NE(misfit.find("logitech.json:"), std::string::npos) << misfit;
  EXPECT_NE(misfit.find("the device's has 3 bytes"), std::string::npos) << misfit;
  Status s = WriteField(cam.driver, 4, led, 0, cam.facts, "on");
  EXPECT_FALSE(s.ok());
  std::string text;
  EXPECT_FALSE(ReadField(cam.driver, 4, led, 0, cam.facts, &text).ok());
  EXPECT_TRUE(cam.driver.log.empty());
  EXPECT_TRUE(WriteControl(cam.driver, 4, kPeripheral, cam.facts, Bytes({3, 2, 1})).ok());
  // Without a length in the definition, a field past the device's bytes.
  Definitions mine;
  ASSERT_TRUE(
      mine.AddText("mine.json", OneControl(R"({"name": "F", "type": "integer", "byte": 3})")));
  EXPECT_NE(CheckAgainstDevice(mine.controls()[0], 3).find("field \"F\" reaches past"),
            std::string::npos);
  EXPECT_EQ(CheckAgainstDevice(mine.controls()[0], 4), "");
}

TEST(XuFieldRead, FieldsDecodeAsTheirTypes) {
  Definitions d = Shipped();
  const ControlDefinition& fov = *d.FindControl(kBrio, 5);
  EXPECT_EQ(FormatField(fov.fields[0], {1}), "78");
  EXPECT_EQ(FormatField(fov.fields[0], {7}), "7");  // a value the menu does not name
  EXPECT_EQ(FormatField(fov.fields[0], {}), "");
}

}  // namespace
}  // namespace lumora::xu
