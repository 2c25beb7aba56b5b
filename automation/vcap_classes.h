// Instance creators of the enumeration classes (rows of the server's object
// table). Each builds a new instance (aggregated under outer when given,
// which then requires riid IUnknown) and queries it for riid.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace lumora {

HRESULT CreateVCapCollection(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateVCapFilter(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateVCapFilterEnum(IUnknown* outer, REFIID riid, void** ppv);

}  // namespace lumora
