// The extension-unit calls of a control object (IDVidCapCtrl3: VARIANT
// arrays of GUID strings, selectors and bytes) as the portable tool code
// asks them (xutool::XuSource).
#pragma once

#include <wrl/client.h>

#include <memory>

#include "lumora_idl.h"
#include "tools/xu_tool.h"

namespace lumora::tool {

// The extension-unit calls of a control; null when the library has no
// IDVidCapCtrl3 (an older Lumora.dll).
std::unique_ptr<xutool::XuSource> OpenXu(IDVidCapCtrl* ctrl);

}  // namespace lumora::tool
