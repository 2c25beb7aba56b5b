// The lumora tool's commands of extension-unit controls: "xu", and "get" /
// "set" by a control's name.
#pragma once

#include <memory>
#include <string>

#include "tools/cli_args.h"
#include "tools/lumora/win_camera.h"
#include "tools/lumora/xu_source_win.h"
#include "tools/xu_tool.h"

namespace lumora::tool {

// "lumora xu CAM [get GUID SELECTOR | set GUID SELECTOR HEX] [--json]".
int RunXu(const cli::Invocation& inv);

// "lumora get CAM NAME" / "lumora set CAM NAME VALUE" for a name that is no
// catalogue property: the camera's named control of that name, else the
// unknown-property error as before.
int GetNamed(const cli::Invocation& inv);
int SetNamed(const cli::Invocation& inv);

}  // namespace lumora::tool
