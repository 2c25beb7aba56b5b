#include "tools/lumora/check_command.h"

#include <cstdio>

#include "tools/check.h"
#include "tools/json_output.h"
#include "tools/lumora/json_commands.h"
#include "tools/lumora/win_camera.h"

namespace lumora::tool {

int Check(const cli::Invocation& inv) {
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  ControlTarget source(ctrl.Get(), camera.id.devicePath);
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
