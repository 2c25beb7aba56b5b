// A one-dimensional safe array of VARIANTs with lower bound 0, as script
// hosts read arrays: VBScript indexes and walks it with For Each, JScript
// reads it through VBArray. (Both refuse arrays of typed elements such as
// VT_ARRAY | VT_BSTR.)
//
//   com::VariantArray list;
//   if (HRESULT hr = list.Create(3); FAILED(hr)) return hr;
//   list.PutLong(0, minimum); ...
//   list.Detach(pVal);   // *pVal is VT_ARRAY | VT_VARIANT, owned by the caller
//
// The array is destroyed with its elements unless it was handed out.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

#include "com/raii.h"

namespace lumora::com {

class VariantArray {
 public:
  VariantArray() noexcept = default;

  // Creates the array with count empty elements, replacing any earlier one.
  // E_OUTOFMEMORY when it cannot be created.
  HRESULT Create(ULONG count) noexcept {
    array_.Reset(SafeArrayCreateVector(VT_VARIANT, 0, count));
    return array_.Get() ? S_OK : E_OUTOFMEMORY;
  }

  ULONG Count() const noexcept { return array_.Get() ? array_.Get()->rgsabound[0].cElements : 0; }

  // Moves value into element index; the element's previous value is cleared.
  // E_INVALIDARG for an index outside the array (or no array).
  HRESULT Put(ULONG index, Variant&& value) noexcept {
    if (index >= Count()) return E_INVALIDARG;
    SafeArrayLockGuard lock(array_.Get());
    if (FAILED(lock.LockResult())) return lock.LockResult();
    VARIANT* element = static_cast<VARIANT*>(array_.Get()->pvData) + index;
    HRESULT hr = VariantClear(element);
    if (FAILED(hr)) return hr;
    value.Detach(element);
    return lock.Unlock();
  }

  HRESULT PutLong(ULONG index, LONG value) noexcept {
    Variant element;
    element.Get()->vt = VT_I4;
    element.Get()->lVal = value;
    return Put(index, std::move(element));
  }

  // Takes the string (a null string is an empty text).
  HRESULT PutString(ULONG index, Bstr&& text) noexcept {
    Variant element;
    element.Get()->vt = VT_BSTR;
    element.Get()->bstrVal = text.Detach();
    return Put(index, std::move(element));
  }

  // Hands the array to the caller as a VARIANT of type VT_ARRAY | VT_VARIANT
  // (what *target held before is overwritten, not cleared: it is an out
  // parameter). E_POINTER for a null target, E_UNEXPECTED without an array;
  // the array stays here on failure.
  HRESULT Detach(VARIANT* target) noexcept {
    if (!target) return E_POINTER;
    if (!array_.Get()) return E_UNEXPECTED;
    VariantInit(target);
    target->vt = VT_ARRAY | VT_VARIANT;
    target->parray = array_.Detach();
    return S_OK;
  }

 private:
  SafeArray array_;
};

// Hands out the count values as a new array of VARIANTs holding longs.
inline HRESULT LongList(const LONG* values, ULONG count, VARIANT* target) noexcept {
  if (!target) return E_POINTER;
  VariantArray list;
  HRESULT hr = list.Create(count);
  for (ULONG i = 0; SUCCEEDED(hr) && i < count; ++i) hr = list.PutLong(i, values[i]);
  return SUCCEEDED(hr) ? list.Detach(target) : hr;
}

}  // namespace lumora::com
