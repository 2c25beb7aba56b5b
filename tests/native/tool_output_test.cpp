// Script-facing pieces of the lumora tool: --json on the command line, the
// documents as a JSON parser reads them, exposure times, and the rig's fault
// list (a parser fed hostile text).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "property/catalogue.h"
#include "sim/rig_devices.h"
#include "tools/camera_source.h"
#include "tools/cli_args.h"
#include "tools/json_output.h"
#include "tools/report.h"

namespace lumora {
namespace {

TEST(JsonOption, AcceptedWhereDocumentedAndRefusedElsewhere) {
  cli::Invocation inv;
  std::string error;
  ASSERT_TRUE(cli::ParseArguments({"get", "--json", "2", "Brightness"}, &inv, &error)) << error;
  EXPECT_TRUE(inv.json);
  EXPECT_EQ(inv.cam, "2");
  EXPECT_EQ(inv.property, "Brightness");
  for (const char* command : {"list", "report", "check"}) {
    std::vector<std::string> args{command};
    if (std::string(command) != "list") args.push_back("1");
    args.push_back("--json");
    EXPECT_TRUE(cli::ParseArguments(args, &inv, &error)) << command << ": " << error;
    EXPECT_TRUE(inv.json) << command;
  }
  ASSERT_TRUE(cli::ParseArguments({"load", "1", "a.profile", "--json"}, &inv, &error)) << error;
  EXPECT_TRUE(inv.json);
  EXPECT_EQ(inv.file, "a.profile");
  EXPECT_FALSE(cli::ParseArguments({"set", "1", "Brightness", "5", "--json"}, &inv, &error));
  EXPECT_NE(error.find("has no --json"), std::string::npos) << error;
  EXPECT_TRUE(cli::WantsJson({"frob", "--json"}));
  EXPECT_FALSE(cli::WantsJson({"list", "--jsonx"}));
}

TEST(JsonDocuments, ParseAndKeepTextThatIsNotUtf8Valid) {
  auto error = nlohmann::json::parse(json::ErrorDocument("bad \xff name \xc3"));
  EXPECT_EQ(error["error"], "bad \xEF\xBF\xBD name \xEF\xBF\xBD");

  json::ListedCamera cam;
  cam.index = 3;
  cam.id.name = "Caméra 日本";
  cam.id.serial = "2a4c6e8";
  auto list = nlohmann::json::parse(json::ListDocument({cam}));
  ASSERT_EQ(list["cameras"].size(), 1u);
  EXPECT_EQ(list["cameras"][0]["index"], 3);
  EXPECT_EQ(list["cameras"][0]["name"], "Caméra 日本");
  EXPECT_TRUE(list["cameras"][0]["chipset"].is_null());  // not opened
  EXPECT_EQ(list["cameras"][0]["kind"], "device");
  cam.kind = 1;
  EXPECT_EQ(nlohmann::json::parse(json::ListDocument({cam}))["cameras"][0]["kind"], "other");

  PropertyFacts exposure;
  exposure.property = VCP_Exposure;
  exposure.support = VCS_both;
  exposure.valueOk = true;
  exposure.value = -5;
  exposure.modes = VCM_Auto | VCM_Manual;
  exposure.mode = VCM_Auto;
  auto report = nlohmann::json::parse(json::ReportDocument(cam, CSX_Unknown, {exposure}));
  const auto& p = report["properties"][0];
  EXPECT_EQ(p["value"], -5);
  EXPECT_DOUBLE_EQ(p["seconds"].get<double>(), 1.0 / 32);
  EXPECT_TRUE(p["range"].is_null());
  EXPECT_EQ(p["modes"], nlohmann::json::array({"auto", "manual"}));
  EXPECT_EQ(p["mode"], "auto");
}

TEST(ExposureSeconds, PowersOfTwoAndWhichPropertyCarriesThem) {
  EXPECT_EQ(ExposureSecondsText(-5), "1/32 s");
  EXPECT_EQ(ExposureSecondsText(0), "1 s");
  EXPECT_EQ(ExposureSecondsText(3), "8 s");
  EXPECT_EQ(ExposureSecondsText(-62), "1/4611686018427387904 s");
  EXPECT_EQ(ExposureSecondsText(INT32_MIN), "2^-2147483648 s");
  EXPECT_TRUE(IsStandardExposure(CSX_Unknown, VCP_Exposure));
  EXPECT_TRUE(IsStandardExposure(CSX_SAA8116, VCP_CamExposure));
  EXPECT_FALSE(IsStandardExposure(CSX_SAA8116, VCP_Exposure));  // the private exposure
  EXPECT_FALSE(IsStandardExposure(CSX_SAA8112, VCP_Exposure));
  EXPECT_FALSE(IsStandardExposure(CSX_Unknown, VCP_Gain));
}

TEST(ToolReport, ModeAndDefaultColumnsOnlyWhereTheCameraReportsThem) {
  PropertyFacts b;
  b.property = VCP_Brightness;
  b.support = VCS_both;
  b.rangeOk = true;
  b.max = 255;
  b.step = 1;
  b.valueOk = true;
  b.value = 128;
  b.defaultOk = true;
  b.defaultValue = 100;
  b.modes = VCM_Auto | VCM_Manual;
  b.mode = VCM_Manual;
  EXPECT_EQ(
      ToolReportLine(b, CSX_Unknown),
      "Brightness         read write   Range 0\t- 255\tValue is 128\tDefault 100\tMode manual");

  PropertyFacts e = b;
  e.property = VCP_Exposure;
  e.min = -11;
  e.max = -2;
  e.value = -5;
  e.defaultOk = false;
  e.mode = VCM_Auto;
  EXPECT_EQ(ToolReportLine(e, CSX_Unknown),
            "Exposure           read write   Range -11\t- -2\tValue is -5\t(1/32 s)\tMode auto");
  // The same property routed to a private set: no time, and no columns the
  // camera does not report.
  e.modes = e.mode = 0;
  EXPECT_EQ(ToolReportLine(e, CSX_SAA8116),
            "Exposure           read write   Range -11\t- -2\tValue is -5");

  PropertyFacts w;
  w.property = VCP_SWTrigger;
  w.support = VCS_set;
  EXPECT_EQ(ToolReportLine(w, CSX_Unknown), "SW-Trigger         write only   ");
}

TEST(RigFaults, AppliedOnlyWhenTheWholeListIsRight) {
  std::vector<sim::RigDevice> devices;
  ASSERT_TRUE(sim::MakeRigDevices("default", &devices));
  ASSERT_TRUE(sim::ApplyRigFaults(
      "2:procamp/0:ignore-writes,2:private/3:zero-step,2:procamp/4:keep-outside,", devices));
  EXPECT_TRUE(devices[1].camera->procAmpFaults[0].ignoreWrites);
  EXPECT_TRUE(devices[1].camera->procAmpFaults[4].keepOutside);
  bool privateFault = false;
  for (auto& [set, s] : devices[1].camera->privateSets) privateFault |= s.faults[3].zeroStep;
  EXPECT_TRUE(privateFault);

  ASSERT_TRUE(sim::MakeRigDevices("default", &devices));
  for (const char* bad : {"2:procamp/0:ignore-writes,12:procamp/0:fail-reads",  // no device 12
                          "2:procamp/0:ignore-writes,0:procamp/0:fail-reads",
                          "2:procamp/0:ignore-writes,2:procamp/99:fail-reads",  // no control
                          "2:procamp/0:ignore-writes,2:camera/0:fail-reads",    // webcam: none
                          "2:procamp/0:ignore-writes,2:procamp/0:melt",
                          "2:procamp/0:ignore-writes,2:procamp:fail-reads",
                          "2:procamp/0:ignore-writes,2:procamp/-1:fail-reads",
                          "2:procamp/0:ignore-writes,2", "x:procamp/0:fail-reads"}) {
    EXPECT_FALSE(sim::ApplyRigFaults(bad, devices)) << bad;
    EXPECT_EQ(devices[1].camera->procAmpFaults.count(0), 0u) << bad;
  }
  EXPECT_TRUE(sim::ApplyRigFaults("", devices));
}

// "fail-writes": the control still claims writes, but every write fails with
// the device's general failure and the value stays; reads go on working.
TEST(RigFaults, FailWritesRefusesStandardAndPrivateWritesAndKeepsTheValue) {
  std::vector<sim::RigDevice> devices;
  ASSERT_TRUE(sim::MakeRigDevices("default", &devices));
  ASSERT_TRUE(sim::ApplyRigFaults("2:procamp/0:fail-writes,2:private/3:fail-writes", devices));
  sim::SimulatedCamera& cam = *devices[1].camera;
  const int32_t before = cam.procAmp.at(0).value;
  EXPECT_EQ(cam.ControlSet(false, 0, before == 10 ? 11 : 10, 2), sim::kGenFailure);
  int32_t value = 0, flags = 0;
  ASSERT_EQ(cam.ControlGet(false, 0, &value, &flags), hr::Ok);
  EXPECT_EQ(value, before);
  // Another control of the same camera is untouched by the fault.
  EXPECT_EQ(cam.ControlSet(false, 1, 10, 2), hr::Ok);
  EXPECT_EQ(cam.procAmp.at(1).value, 10);
  bool privateFault = false;
  for (auto& [set, s] : cam.privateSets) privateFault |= s.faults[3].failWrites;
  EXPECT_TRUE(privateFault);
}

}  // namespace
}  // namespace lumora
