#include "tools/lumora/check_command.h"

#include <cstdio>
#include <memory>

#include "tools/check.h"
#include "tools/json_output.h"
#include "tools/lumora/json_commands.h"
#include "tools/lumora/win_camera.h"

namespace lumora::tool {

namespace {

// The camera as the check sees it: its control, and a second control object
// attached to the same filter on request.
class CheckedCamera : public ControlTarget {
 public:
  CheckedCamera(IDVidCapCtrl* ctrl, Camera* camera)
      : ControlTarget(ctrl, camera->id.devicePath), camera_(camera) {}
  std::unique_ptr<CameraSource> OpenAnother() override {
    ComPtr<IDVidCapCtrl> other;
    if (FAILED(OpenControl(camera_, &other))) return nullptr;
    return std::make_unique<OwnedTarget>(other);
  }

 private:
  Camera* camera_;
};

}  // namespace

int Check(const cli::Invocation& inv) {
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  CheckedCamera source(ctrl.Get(), &camera);
  if (!inv.json) {
    std::printf("Checking camera %zu '%s' (serial %s, %s, chipset %s)\n", camera.position + 1,
                camera.id.name.c_str(), camera.id.serial.c_str(), camera.id.vidPid.c_str(),
                camera.id.chipset.c_str());
    std::fflush(stdout);
  }
  check::Result result = check::Run(source);
  if (inv.json) {
    std::fputs(json::CheckDocument(Listed(camera), result).c_str(), stdout);
  } else {
    std::fputs(check::Text(result).c_str(), stdout);
  }
  return result.Passed() ? kExitOk : kExitFailed;
}

}  // namespace lumora::tool
