// The vtable of a VCapCollection object as seen from inside the library:
// IVCapCollection followed by two position operations that are not part of
// the automation interface (IDispatch does not reach them).
//
// Only an object of this library's VCapCollection class has this layout;
// cast an IVCapCollection pointer to it only when the object came from
// CLSID_VCapCollection served by Lumora.dll.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "lumora_idl.h"

namespace lumora {

struct VCapCollectionVtbl : public IVCapCollection {
  // Copies the value at 1-based `position` into *value (VariantCopy, so
  // *value must be a valid VARIANT). A position of 1 or less selects the
  // first entry. E_POINTER for a null value; E_FAIL for an empty collection
  // or a position past the end; otherwise the copy's result.
  virtual HRESULT STDMETHODCALLTYPE ItemAt(LONG position, VARIANT* value) = 0;
  // Removes the entry at 1-based `position`: E_INVALIDARG unless
  // 1 <= position <= Count.
  virtual HRESULT STDMETHODCALLTYPE RemoveAt(LONG position) = 0;
};

}  // namespace lumora

// Same identifier as IVCapCollection: it is that interface, extended.
__CRT_UUID_DECL(lumora::VCapCollectionVtbl, 0x2d10ad44, 0xb7fd, 0x43b3, 0x99, 0x98, 0x95, 0x4e,
                0x9b, 0xdc, 0x45, 0xa1)
