#include "tools/lumora/json_commands.h"

#include <cstdio>
#include <string>
#include <vector>

#include "tools/camera_source.h"
#include "tools/json_output.h"
#include "tools/lumora/win_camera.h"

namespace lumora::tool {

json::ListedCamera Listed(const Camera& c) {
  json::ListedCamera listed;
  listed.index = c.position + 1;
  listed.id = c.id;
  listed.opened = c.opened;
  listed.kind = c.kind;
  return listed;
}

namespace {

void Print(const std::string& document) { std::fputs(document.c_str(), stdout); }

}  // namespace

int ListJson() {
  std::vector<Camera> cameras;
  HRESULT hr = ListCameras(&cameras);
  if (FAILED(hr)) {
    Fail("cannot list the cameras (%s; is Lumora.dll registered?)", HrText(hr).c_str());
    return kExitFailed;
  }
  std::vector<json::ListedCamera> listed;
  for (Camera& c : cameras) {
    ComPtr<IDVidCapCtrl> ctrl;
    OpenControl(&c, &ctrl);
    listed.push_back(Listed(c));
  }
  Print(json::ListDocument(listed));
  return kExitOk;
}

int ReportJson(const cli::Invocation& inv) {
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  int32_t chipset = 0;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl, &chipset)) return rc;
  ControlTarget source(ctrl.Get(), camera.id.devicePath);
  std::vector<PropertyFacts> facts;
  for (int32_t p = 0; p < catalogue::kNamed; ++p) facts.push_back(CollectFacts(source, p));
  std::vector<xutool::NamedListing> named;
  if (source.Xu() != nullptr) named = xutool::CollectNamed(*source.Xu());
  Print(json::ReportDocument(Listed(camera), chipset, facts, named));
  return kExitOk;
}

int GetJson(const cli::Invocation& inv) {
  int32_t property = cli::ParsePropertyArgument(inv.property);
  if (property < 0) {
    Fail("unknown property '%s' (see \"lumora --help\")", inv.property.c_str());
    return kExitUsage;
  }
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  ControlTarget source(ctrl.Get(), camera.id.devicePath);
  if ((Support(ctrl.Get(), property) & ::VCS_get) == 0) {
    Fail("%s cannot be read on this camera", Name(property));
    return kExitFailed;
  }
  int32_t value = 0;
  HRESULT hr = source.Get(property, &value);
  if (FAILED(hr)) {
    Fail("reading %s failed (%s)", Name(property), HrText(hr).c_str());
    return kExitFailed;
  }
  int32_t modes = 0, mode = 0;
  if (FAILED(source.ModeSupport(property, &modes)) || modes == 0 ||
      FAILED(source.GetMode(property, &mode))) {
    mode = 0;
  }
  Print(json::GetDocument(Listed(camera), property, value, mode));
  return kExitOk;
}

}  // namespace lumora::tool
