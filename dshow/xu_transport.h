// The extension-unit transport of a capture filter: the node types of its
// IKsTopologyInfo and node requests (KSP_NODE with the TOPOLOGY flag) on
// its own IKsControl, as the in-box UVC driver expects them.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <memory>

#include "xu/transport.h"

namespace lumora {

// A transport over the filter: S_OK with *out set, or the failure of asking
// the filter for IKsControl or IKsTopologyInfo (*out stays null). Holds its
// own references on both.
HRESULT OpenXuTransport(IUnknown* filter, std::unique_ptr<xu::XuTransport>* out) noexcept;

}  // namespace lumora
