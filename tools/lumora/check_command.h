// "lumora check CAM [--json]" over the camera's DVidCapCtrl.
#pragma once

#include "tools/cli_args.h"

namespace lumora::tool {

int Check(const cli::Invocation& inv);

}  // namespace lumora::tool
