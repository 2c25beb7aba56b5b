// Instance creators of the enumeration classes (rows of the server's object
// table). Each builds a new instance (aggregated under outer when given,
// which then requires riid IUnknown) and queries it for riid. The
// enumeration lists devices through the platform the server passes.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace lumora {

struct Platform;

HRESULT CreateVCapCollection(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateVCapFilter(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateVCapFilterEnum(const Platform& platform, IUnknown* outer, REFIID riid, void** ppv);

}  // namespace lumora
