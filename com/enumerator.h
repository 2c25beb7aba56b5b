// Snapshot enumerators (IEnumVARIANT, IEnumConnections, IEnumMoniker, ...):
// the entries are fixed when the enumerator is created and shared with its
// clones, each of which keeps its own position. A keeper (a reference held
// for the enumerator's life) keeps alive whatever the entries point into.
//
// A traits class describes one kind; derive it from EnumTraits for the
// defaults:
//
//   struct PinTraits : com::EnumTraits {
//     using Interface = IEnumPins;  // the enumerator interface
//     using Entry = IPin*;          // what the snapshot holds
//     using Item = IPin*;           // what Next hands out
//     static const IID& Iid() { return IID_IEnumPins; }
//     // Writes a copy of entry to *item, owned by the caller then. On
//     // failure (a result or an exception) it writes nothing to keep.
//     static HRESULT Copy(const Entry& entry, Item* item);
//     // Frees what Copy wrote: a Next that fails part-way takes back the
//     // items it copied and consumes nothing.
//     static void Free(Item* item);
//   };
//
//   com::CreateSnapshotEnumerator<PinTraits>(entries, IID_PPV_ARGS(out), keeper);
//
// EnumTraits's defaults: Next answers E_POINTER when several items are asked
// for without a place for their count (kUncounted), and every enumerator
// holds one default-constructed Member (an object count, for example).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "com/com_object.h"
#include "com/guard.h"
#include "com/raii.h"

namespace lumora::com {

struct EnumTraits {
  static constexpr HRESULT kUncounted = E_POINTER;
  struct Member {};
};

template <class Traits>
class SnapshotEnumerator : public Traits::Interface {
 public:
  using Item = typename Traits::Item;
  using Entries = std::vector<typename Traits::Entry>;

  SnapshotEnumerator(std::shared_ptr<const Entries> entries, size_t position,
                     Microsoft::WRL::ComPtr<IUnknown> keeper) noexcept
      : entries_(std::move(entries)), position_(position), keeper_(std::move(keeper)) {}

  IUnknown* Interface(REFIID riid) {
    return riid == Traits::Iid() ? static_cast<typename Traits::Interface*>(this) : nullptr;
  }

  IFACEMETHODIMP Next(ULONG count, Item* items, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (!items) return E_POINTER;
    if (count != 1 && !fetched) return Traits::kUncounted;
    ULONG done = 0;
    HRESULT hr = Guard([&] {
      for (; done < count && position_ + done < entries_->size(); ++done) {
        HRESULT copied = Traits::Copy((*entries_)[position_ + done], &items[done]);
        if (FAILED(copied)) return copied;
      }
      return S_OK;
    });
    if (FAILED(hr)) {
      while (done > 0) Traits::Free(&items[--done]);
      return hr;
    }
    position_ += done;
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }

  IFACEMETHODIMP Skip(ULONG count) override {
    size_t left = entries_->size() - position_;
    if (count > left) {
      position_ = entries_->size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }

  IFACEMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }

  IFACEMETHODIMP Clone(typename Traits::Interface** clone) override {
    if (!clone) return E_POINTER;
    *clone = nullptr;
    return CreateInstance<SnapshotEnumerator>(
        nullptr, Traits::Iid(), reinterpret_cast<void**>(clone), entries_, position_, keeper_);
  }

 private:
  std::shared_ptr<const Entries> entries_;
  size_t position_;
  Microsoft::WRL::ComPtr<IUnknown> keeper_;
  typename Traits::Member member_;
};

// A new enumerator at the first of entries, queried for riid. E_POINTER for
// a null ppv, E_INVALIDARG for null entries, E_OUTOFMEMORY, or the query's
// result.
template <class Traits>
HRESULT CreateSnapshotEnumerator(std::shared_ptr<const std::vector<typename Traits::Entry>> entries,
                                 REFIID riid, void** ppv,
                                 Microsoft::WRL::ComPtr<IUnknown> keeper = nullptr) noexcept {
  if (ppv && !entries) {
    *ppv = nullptr;
    return E_INVALIDARG;
  }
  return CreateInstance<SnapshotEnumerator<Traits>>(nullptr, riid, ppv, std::move(entries),
                                                    size_t{0}, std::move(keeper));
}

// The same over entries taken over.
template <class Traits>
HRESULT CreateSnapshotEnumerator(std::vector<typename Traits::Entry> entries, REFIID riid,
                                 void** ppv) noexcept {
  std::shared_ptr<const std::vector<typename Traits::Entry>> shared;
  HRESULT hr = Guard([&] {
    shared = std::make_shared<const std::vector<typename Traits::Entry>>(std::move(entries));
    return S_OK;
  });
  return FAILED(hr) ? hr : CreateSnapshotEnumerator<Traits>(std::move(shared), riid, ppv);
}

// IEnumVARIANT over copies of VARIANTs: Next hands out VariantCopy's of
// them (a failed copy fails the call, which then hands out nothing).
struct VariantEnumTraits : EnumTraits {
  using Interface = IEnumVARIANT;
  using Entry = Variant;
  using Item = VARIANT;
  static const IID& Iid() { return IID_IEnumVARIANT; }
  static HRESULT Copy(const Entry& entry, Item* item) {
    VariantInit(item);
    return VariantCopy(item, const_cast<VARIANT*>(entry.Get()));
  }
  static void Free(Item* item) { VariantClear(item); }
};

}  // namespace lumora::com
