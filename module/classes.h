// Instance creators of the five automation classes, one per row of the
// module's object table. Each builds a new instance (aggregated under outer
// when given, which then requires riid IUnknown) and queries it for riid.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace lumora {

HRESULT CreateVCapCollection(IUnknown* outer, REFIID riid, void** ppv);  // enumeration/win
HRESULT CreateVCapFilter(IUnknown* outer, REFIID riid, void** ppv);      // enumeration/win
HRESULT CreateDVidCapCtrl(IUnknown* outer, REFIID riid, void** ppv);     // property/win
HRESULT CreateVCapFilterEnum(IUnknown* outer, REFIID riid, void** ppv);  // enumeration/win
HRESULT CreateLumoraCOM(IUnknown* outer, REFIID riid, void** ppv);       // simpleapi

}  // namespace lumora
