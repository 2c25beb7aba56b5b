// VCapCollection: a keyed, ordered automation collection of VARIANTs, with
// enumeration over a snapshot of its entries.
#include "automation/vcap_collection.h"

#include <wrl/client.h>

#include <iterator>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/vcap_classes.h"
#include "com/com_object.h"
#include "com/enumerator.h"
#include "com/guard.h"
#include "com/raii.h"

namespace lumora {
namespace {

using com::Variant;
using Microsoft::WRL::ComPtr;

// A key: the text of an automation string up to its first NUL, or none for
// a null string. std::optional orders none before every text, and texts
// compare ordinally by their 16-bit characters.
using EntryKey = std::optional<std::wstring>;
using Entries = std::map<EntryKey, Variant>;

EntryKey KeyOf(BSTR text) {
  if (!text) return std::nullopt;
  return std::wstring(text);
}

// VariantCopy and VariantChangeType are declared with a non-const source
// that they only read.
VARIANT* Source(const VARIANT& value) { return const_cast<VARIANT*>(&value); }

// Copies source into a new value; a failing copy gives an error value
// carrying the failure code. A by-reference source (a script variable) is
// stored by its value: the reference would point into the caller's storage.
// A reference that is null (also inside a VT_BYREF|VT_VARIANT) cannot be
// followed: such an item is an error value with E_POINTER.
Variant CopyOrError(const VARIANT& source) {
  Variant copy;
  const VARIANT* referenced = &source;
  if (V_VT(referenced) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(referenced) != nullptr) {
    referenced = V_VARIANTREF(referenced);
  }
  HRESULT hr = (V_VT(referenced) & VT_BYREF) != 0 && V_BYREF(referenced) == nullptr
                   ? E_POINTER
                   : VariantCopyInd(copy.Get(), Source(source));
  if (FAILED(hr)) {
    VariantClear(copy.Get());
    copy.Get()->vt = VT_ERROR;
    copy.Get()->scode = hr;
  }
  return copy;
}

// What an Index argument of Item or Remove means.
struct IndexMeaning {
  bool isPosition = false;
  LONG position = 0;
  EntryKey key;
};

// A plain string is a key; anything that converts to a 32-bit integer is a
// position; anything else that converts to a string is a key.
HRESULT InterpretIndex(const VARIANT& index, IndexMeaning* out) {
  if (index.vt == VT_BSTR) {
    out->key = KeyOf(index.bstrVal);
    return S_OK;
  }
  Variant converted;
  if (SUCCEEDED(VariantChangeType(converted.Get(), Source(index), 0, VT_I4))) {
    out->isPosition = true;
    out->position = converted.Get()->lVal;
    return S_OK;
  }
  HRESULT hr = VariantChangeType(converted.Receive(), Source(index), 0, VT_BSTR);
  if (FAILED(hr)) return hr;
  out->key = KeyOf(converted.Get()->bstrVal);
  return S_OK;
}

// The entry at a 1-based position, where a position of 1 or less is the
// first entry; end() when the map is empty or the position lies past it.
template <class Map>
auto EntryAt(Map& entries, LONG position) {
  auto it = entries.begin();
  for (LONG step = 1; step < position && it != entries.end(); ++step) ++it;
  return it;
}

}  // namespace

class VCapCollection : public com::Dispatch<VCapCollectionVtbl> {
 public:
  VCapCollection() = default;
  VCapCollection(const VCapCollection&) = delete;
  VCapCollection& operator=(const VCapCollection&) = delete;

  // Empties the collection from the front. An object value stays referenced
  // until its entry is gone, so that its release cannot meet a half-removed
  // entry.
  ~VCapCollection() {
    while (!entries_.empty()) {
      ComPtr<IDispatch> hold;
      const VARIANT& first = *entries_.begin()->second.Get();
      if (first.vt == VT_DISPATCH) hold = first.pdispVal;
      RemoveAt(1);
    }
  }

  IUnknown* Interface(REFIID riid) {
    if (riid == __uuidof(IVCapCollection) || riid == IID_IDispatch) {
      return static_cast<IVCapCollection*>(this);
    }
    return nullptr;
  }

  IFACEMETHODIMP get__NewEnum(IUnknown** ppUnk) override {
    if (!ppUnk) return E_POINTER;
    *ppUnk = nullptr;
    std::vector<Variant> values;
    HRESULT hr = com::Guard([&] {
      values.reserve(entries_.size());
      for (const auto& entry : entries_) {
        values.emplace_back();
        HRESULT copied = VariantCopy(values.back().Get(), Source(*entry.second.Get()));
        if (FAILED(copied)) return copied;
      }
      return S_OK;
    });
    if (FAILED(hr)) return hr;
    return com::CreateSnapshotEnumerator<com::VariantEnumTraits>(std::move(values), IID_IUnknown,
                                                                 reinterpret_cast<void**>(ppUnk));
  }

  // Script engines ask for the enumerator in different call forms: VBScript's
  // For Each as a method or property read, JScript's Enumerator as a method
  // only, which the type information (a property read) refuses. Both forms
  // are answered here; every other member goes through the type information.
  IFACEMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
    if (id == DISPID_NEWENUM && riid == IID_NULL &&
        (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) &&
        !(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) {
      return InvokeNewEnum(params, result, exception);
    }
    return Dispatch::Invoke(id, riid, lcid, flags, params, result, exception, argError);
  }

  IFACEMETHODIMP get_Item(VARIANT Index, VARIANT* pVal) override {
    if (!pVal) return E_POINTER;
    return com::Guard([&] {
      IndexMeaning index;
      HRESULT hr = InterpretIndex(Index, &index);
      if (FAILED(hr)) return hr;
      if (index.isPosition) return ItemAt(index.position, pVal);
      auto found = entries_.find(index.key);
      if (found == entries_.end()) return E_FAIL;
      Variant copy = CopyOrError(*found->second.Get());
      hr = VariantClear(pVal);
      if (FAILED(hr)) return hr;
      copy.Detach(pVal);
      return S_OK;
    });
  }

  IFACEMETHODIMP get_Count(LONG* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = static_cast<LONG>(entries_.size());
    return S_OK;
  }

  IFACEMETHODIMP Add(VARIANT Key, VARIANT Item) override {
    return com::Guard([&] {
      Variant text;
      HRESULT hr = VariantChangeType(text.Get(), &Key, 0, VT_BSTR);
      if (FAILED(hr)) return hr;
      EntryKey key = KeyOf(text.Get()->bstrVal);
      if (entries_.count(key)) return E_FAIL;
      entries_.emplace(std::move(key), CopyOrError(Item));
      return S_OK;
    });
  }

  // Adds under the generated key "C_<Count + 1>". After a removal that key
  // may exist already; its value is then replaced.
  IFACEMETHODIMP Add1(VARIANT Item) override {
    return com::Guard([&] {
      std::wstring key = L"C_" + std::to_wstring(entries_.size() + 1);
      Variant copy = CopyOrError(Item);
      auto it = entries_.try_emplace(std::move(key)).first;
      // A replaced value is released only after the new one is in place.
      Variant old = std::exchange(it->second, std::move(copy));
      return S_OK;
    });
  }

  IFACEMETHODIMP Remove(VARIANT Index) override {
    return com::Guard([&] {
      IndexMeaning index;
      HRESULT hr = InterpretIndex(Index, &index);
      if (FAILED(hr)) return hr;
      if (index.isPosition) return RemoveAt(index.position);
      auto found = entries_.find(index.key);
      if (found == entries_.end()) return E_FAIL;
      // The entry leaves the map before its value is cleared.
      auto removed = entries_.extract(found);
      return S_OK;
    });
  }

  IFACEMETHODIMP Clear() override {
    // The map is empty before any value is cleared.
    Entries removed;
    removed.swap(entries_);
    return S_OK;
  }

  IFACEMETHODIMP ItemAt(LONG position, VARIANT* value) override {
    if (!value) return E_POINTER;
    auto it = EntryAt(entries_, position);
    if (it == entries_.end()) return E_FAIL;
    return VariantCopy(value, Source(*it->second.Get()));
  }

  IFACEMETHODIMP RemoveAt(LONG position) override {
    if (position <= 0 || static_cast<size_t>(position) > entries_.size()) return E_INVALIDARG;
    auto removed = entries_.extract(EntryAt(entries_, position));
    return S_OK;
  }

 private:
  HRESULT InvokeNewEnum(const DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception) {
    if (!params) return E_INVALIDARG;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    ComPtr<IUnknown> enumerator;
    HRESULT hr = get__NewEnum(enumerator.GetAddressOf());
    if (FAILED(hr)) return com::MemberFailure(hr, exception);
    if (result) {
      VariantInit(result);
      result->vt = VT_UNKNOWN;
      result->punkVal = enumerator.Detach();
    }
    return S_OK;
  }

  Entries entries_;
};

HRESULT CreateVCapCollection(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateInstance<VCapCollection>(outer, riid, ppv);
}

}  // namespace lumora
