// lumora: lists cameras, reads and sets their properties, prints reports and
// saves and restores camera profiles, through Lumora's automation classes
// (VCapFilterEnum, VCapFilter, VCapCollection, DVidCapCtrl).
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "com/raii.h"
#include "com/text.h"
#include "property/catalogue.h"
#include "tools/cli_args.h"
#include "tools/command_policy.h"
#include "tools/json_output.h"
#include "tools/lumora/watch_win.h"
#include "tools/lumora/check_command.h"
#include "tools/lumora/json_commands.h"
#include "tools/lumora/undo_win.h"
#include "tools/lumora/win_camera.h"
#include "tools/lumora/xu_win.h"
#include "tools/profile.h"
#include "tools/profile_load.h"
#include "tools/report.h"

namespace cli = lumora::cli;
namespace com = lumora::com;

namespace {

using namespace lumora::tool;

int List() {
  std::vector<Camera> cameras;
  HRESULT hr = ListCameras(&cameras);
  if (FAILED(hr)) {
    Fail("cannot list the cameras (%s; is Lumora.dll registered?)", HrText(hr).c_str());
    return kExitFailed;
  }
  if (cameras.empty()) {
    std::printf("No camera found.\n");
    return kExitOk;
  }
  for (size_t i = 0; i < cameras.size(); ++i) {
    Camera& c = cameras[i];
    ComPtr<IDVidCapCtrl> ctrl;
    if (FAILED(OpenControl(&c, &ctrl))) c.id.chipset = "(camera cannot be opened)";
    std::printf("%zu  %s\n", i + 1, c.id.name.c_str());
    std::printf("   serial:  %s\n", c.id.serial.c_str());
    std::printf("   VID/PID: %s\n", c.id.vidPid.c_str());
    std::printf("   chipset: %s\n", c.id.chipset.c_str());
    std::printf("   path:    %s\n", c.id.devicePath.c_str());
    std::printf("   kind:    %s\n", lumora::json::SourceKindName(c.kind));
  }
  return kExitOk;
}

int Report(const cli::Invocation& inv) {
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  int32_t chipset = lumora::CSX_Unknown;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl, &chipset)) return rc;
  std::printf("Camera: %s (serial %s, %s)\n", camera.id.name.c_str(), camera.id.serial.c_str(),
              camera.id.vidPid.c_str());
  // The shared header ends in CR LF; the console adds its own CR.
  std::string text = lumora::ReportHeader(chipset);
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  ControlTarget source(ctrl.Get(), camera.id.devicePath);
  for (int32_t p = 0; p < lumora::catalogue::kNamed; ++p) {
    text += lumora::ToolReportLine(lumora::CollectFacts(source, p), chipset) + "\n";
  }
  if (source.Xu() != nullptr) {
    for (const lumora::xutool::NamedListing& n : lumora::xutool::CollectNamed(*source.Xu())) {
      text += lumora::xutool::NamedReportLine(n) + "\n";
    }
  }
  std::fputs(text.c_str(), stdout);
  return kExitOk;
}

int Get(const cli::Invocation& inv) {
  int32_t property = cli::ParsePropertyArgument(inv.property);
  if (property < 0) {
    Fail("unknown property %s (see \"lumora --help\")", cli::Quoted(inv.property).c_str());
    return kExitUsage;
  }
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  if ((Support(ctrl.Get(), property) & VCS_get) == 0) {
    Fail("%s cannot be read on this camera", Name(property));
    return kExitFailed;
  }
  long value = 0;
  HRESULT hr = ctrl->get_Prop(static_cast<VidCapProperty>(property), &value);
  if (FAILED(hr)) {
    Fail("reading %s failed (%s)", Name(property), HrText(hr).c_str());
    return kExitFailed;
  }
  ControlTarget target(ctrl.Get());
  int32_t mode = 0;
  if (target.ModeSupport(property) != 0 && SUCCEEDED(target.GetMode(property, &mode))) {
    if (mode == lumora::VCM_Auto) {
      std::printf("auto\n");
    } else {
      std::printf("%ld (manual)\n", value);
    }
    return kExitOk;
  }
  std::printf("%ld\n", value);
  return kExitOk;
}

// `set CAM PROP auto|manual`: switches the control's mode, keeping its value.
int SetMode(const cli::Invocation& inv, int32_t property, int32_t mode) {
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  ControlTarget target(ctrl.Get());
  const char* word = mode == lumora::VCM_Auto ? "automatic" : "manual";
  if ((target.ModeSupport(property) & mode) == 0) {
    Fail("%s has no %s mode on this camera", Name(property), word);
    return kExitFailed;
  }
  RecordChange(camera, ctrl.Get(), "set", {property});
  HRESULT hr = target.SetMode(property, mode);
  if (FAILED(hr)) {
    Fail("switching %s to %s mode failed (%s)", Name(property), word, HrText(hr).c_str());
    return kExitFailed;
  }
  int32_t now = 0, value = 0;
  if (SUCCEEDED(target.GetMode(property, &now)) && now == lumora::VCM_Auto) {
    std::printf("%s = auto\n", Name(property));
  } else if (SUCCEEDED(target.Get(property, &value))) {
    std::printf("%s = %ld (manual)\n", Name(property), static_cast<long>(value));
  } else {
    std::printf("%s set to %s mode\n", Name(property), word);
  }
  return kExitOk;
}

int Set(const cli::Invocation& inv) {
  int32_t property = cli::ParsePropertyArgument(inv.property);
  if (property < 0) {
    Fail("unknown property %s (see \"lumora --help\")", cli::Quoted(inv.property).c_str());
    return kExitUsage;
  }
  if (inv.value == "auto") return SetMode(inv, property, lumora::VCM_Auto);
  if (inv.value == "manual") return SetMode(inv, property, lumora::VCM_Manual);
  int32_t value = 0;
  if (!cli::ParseInt32(inv.value, &value)) {
    Fail("value %s is not a whole number", cli::Quoted(inv.value).c_str());
    return kExitUsage;
  }
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  int32_t support = Support(ctrl.Get(), property);
  if ((support & VCS_set) == 0) {
    Fail("%s cannot be set on this camera", Name(property));
    return kExitFailed;
  }
  long min = 0, max = 0;
  if (Range(ctrl.Get(), property, &min, &max) && min <= max && (value < min || value > max)) {
    Fail("%ld is outside the range %ld..%ld of %s", static_cast<long>(value), min, max,
         Name(property));
    return kExitFailed;
  }
  RecordChange(camera, ctrl.Get(), "set", {property});
  ControlTarget target(ctrl.Get());
  bool modes = false;
  HRESULT hr = cli::WriteManual(target, property, value, &modes);
  if (FAILED(hr)) {
    Fail("setting %s failed (%s)", Name(property), HrText(hr).c_str());
    return kExitFailed;
  }
  long now = 0;
  if ((support & VCS_get) != 0 &&
      SUCCEEDED(ctrl->get_Prop(static_cast<VidCapProperty>(property), &now))) {
    std::printf(modes ? "%s = %ld (manual)\n" : "%s = %ld\n", Name(property), now);
  } else {
    std::printf("%s set to %ld\n", Name(property), static_cast<long>(value));
  }
  return kExitOk;
}

// `reset CAM [PROP...]`: automatic where the control offers it, else the
// default value. Every named property is checked before anything is written.
int Reset(const cli::Invocation& inv) {
  if (inv.rest.empty()) {
    Fail("missing arguments; usage: lumora reset CAM [PROP...]");
    return kExitUsage;
  }
  std::vector<int32_t> named;
  for (size_t i = 1; i < inv.rest.size(); ++i) {
    int32_t property = cli::ParsePropertyArgument(inv.rest[i]);
    if (property < 0) {
      Fail("unknown property '%s' (see \"lumora --help\")", inv.rest[i].c_str());
      return kExitUsage;
    }
    if (std::find(named.begin(), named.end(), property) == named.end()) named.push_back(property);
  }
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.rest[0], &camera, &ctrl)) return rc;
  ControlTarget target(ctrl.Get());
  std::vector<cli::ResetStep> steps;
  int32_t refused = 0;
  if (!cli::PlanReset(target, named, &steps, &refused)) {
    Fail("%s cannot be reset on this camera; nothing changed", Name(refused));
    return kExitFailed;
  }
  std::vector<int32_t> changed;
  for (const cli::ResetStep& step : steps) changed.push_back(step.property);
  RecordChange(camera, ctrl.Get(), "reset", changed);
  size_t failed = 0;
  for (const cli::ResetStep& step : steps) {
    HRESULT hr = step.automatic ? target.SetMode(step.property, lumora::VCM_Auto)
                                : target.Set(step.property, step.value);
    if (FAILED(hr)) {
      std::printf("refused  %s: %s\n", Name(step.property), HrText(hr).c_str());
      ++failed;
    } else if (step.automatic) {
      std::printf("%s = auto\n", Name(step.property));
    } else {
      std::printf("%s = %ld (default)\n", Name(step.property), static_cast<long>(step.value));
    }
  }
  if (failed > 0) {
    Fail("%zu properties could not be reset", failed);
    return kExitFailed;
  }
  return kExitOk;
}

int Save(const cli::Invocation& inv) {
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  cli::Profile profile;
  profile.identity = camera.id;
  ControlTarget target(ctrl.Get());
  profile.entries = cli::SavedEntries(target);
  if (target.Xu() != nullptr) profile.named = cli::SavedNamed(*target.Xu());
  std::string error;
  if (!WriteFile(inv.file, cli::FormatProfile(profile), &error)) {
    Fail("%s", error.c_str());
    return kExitFailed;
  }
  std::string named;
  if (!profile.named.empty()) {
    named = " and " + std::to_string(profile.named.size()) + " extension-unit control" +
            (profile.named.size() == 1 ? "" : "s");
  }
  std::printf("Saved %zu properties%s of %s (serial %s) to %s\n", profile.entries.size(),
              named.c_str(), camera.id.name.c_str(), camera.id.serial.c_str(), inv.file.c_str());
  return kExitOk;
}

int Load(const cli::Invocation& inv) {
  std::string error;
  cli::Profile profile;
  if (!ReadProfile(inv.file, &profile, &error)) {
    Fail("%s; nothing changed", error.c_str());
    return kExitFailed;
  }
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  const std::vector<std::string> differences = cli::IdentityDifferences(profile, camera.id);
  if (!inv.json) {
    for (const std::string& d : differences) {
      std::fprintf(stderr, "lumora: warning: profile is of another camera: %s\n", d.c_str());
    }
  }
  std::vector<int32_t> changed;
  for (const cli::ProfileEntry& e : profile.entries) changed.push_back(e.property);
  RecordChange(camera, ctrl.Get(), "load", changed, inv.json);
  ControlTarget target(ctrl.Get());
  cli::LoadOutcome outcome = cli::LoadProfile(target, profile);
  const int rc = outcome.Succeeded() ? kExitOk : kExitFailed;
  if (inv.json) {
    // The document tells a vanished camera and refused writes itself.
    std::fputs(lumora::json::LoadDocument(Listed(camera), inv.file, differences, outcome).c_str(),
               stdout);
    return rc;
  }
  for (const cli::PropertyOutcome& p : outcome.properties) {
    std::printf("%s\n", cli::OutcomeLine(p).c_str());
  }
  for (const cli::NamedOutcome& p : outcome.named) {
    std::printf("%s\n", cli::Printable(cli::OutcomeLine(p)).c_str());
  }
  std::printf("Loaded %s: %s\n", inv.file.c_str(), cli::OutcomeSummary(outcome).c_str());
  if (outcome.vanished) {
    Fail("the camera vanished during the load (%s)", HrText(outcome.vanishError).c_str());
  } else if (outcome.WriteFailures() > 0) {
    Fail("%zu properties could not be set", outcome.WriteFailures());
  }
  return rc;
}

int Run(const std::vector<std::string>& args) {
  cli::Invocation inv;
  std::string error;
  if (!cli::ParseArguments(args, &inv, &error)) {
    SetJsonErrors(cli::WantsJson(args));
    Fail("%s", error.c_str());
    return kExitUsage;
  }
  if (inv.help) {
    std::fputs(cli::HelpText(inv.command).c_str(), stdout);
    return kExitOk;
  }
  if (inv.version) {
    std::fputs(cli::VersionText().c_str(), stdout);
    return kExitOk;
  }
  SetJsonErrors(inv.json);
  Apartment apartment;
  if (FAILED(apartment.Result())) {
    Fail("cannot initialise COM (%s)", HrText(apartment.Result()).c_str());
    return kExitFailed;
  }
  switch (inv.command) {
    case cli::Command::kList: return inv.json ? ListJson() : List();
    case cli::Command::kReport: return inv.json ? ReportJson(inv) : Report(inv);
    case cli::Command::kGet:
      if (cli::ParsePropertyArgument(inv.property) < 0) return GetNamed(inv);
      return inv.json ? GetJson(inv) : Get(inv);
    case cli::Command::kSet:
      if (cli::ParsePropertyArgument(inv.property) < 0) return SetNamed(inv);
      return Set(inv);
    case cli::Command::kSave: return Save(inv);
    case cli::Command::kLoad: return Load(inv);
    case cli::Command::kWatch: return RunWatch(inv.rest);
    case cli::Command::kCheck: return Check(inv);
    case cli::Command::kReset: return Reset(inv);
    case cli::Command::kUndo: return RunUndo(inv.rest);
    case cli::Command::kXu: return RunXu(inv);
    case cli::Command::kNone: break;
  }
  return kExitUsage;
}

}  // namespace

int main() {
  try {
    int argc = 0;
    com::LocalMem<LPWSTR> argv;
    argv.Reset(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (argv.Get() == nullptr) {
      Fail("cannot read the command line");
      return kExitFailed;
    }
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(com::NarrowToUtf8(argv.Get()[i]));
    int rc = Run(args);
    std::fflush(stdout);
    return rc;
  } catch (const std::bad_alloc&) {
    Fail("out of memory");
  } catch (...) {
    Fail("unexpected failure");
  }
  return kExitFailed;
}
