// The exception guard of every COM method body: no exception crosses an
// interface. std::bad_alloc answers E_OUTOFMEMORY, anything else E_FAIL.
//
//   IFACEMETHODIMP Thing::Read(BSTR* out) {
//     if (!out) return E_POINTER;
//     return com::Guard([&] { ...; return S_OK; });
//   }
#pragma once

#include <windows.h>

#include <new>

namespace lumora::com {

template <class Body>
HRESULT Guard(Body&& body) noexcept {
  try {
    return static_cast<HRESULT>(body());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace lumora::com
