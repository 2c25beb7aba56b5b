// The LumoraCOM class: its instance creator (a row of the server's object
// table; same contract as the other creators).
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace lumora {

HRESULT CreateLumoraCOM(IUnknown* outer, REFIID riid, void** ppv);

}  // namespace lumora
