#include "com/connection_point.h"

#include <olectl.h>

#include <memory>
#include <new>
#include <utility>

#include "com/com_object.h"
#include "com/enumerator.h"
#include "com/guard.h"
#include "com/raii.h"

namespace lumora::com {

using Microsoft::WRL::ComPtr;

// --- SinkList ----------------------------------------------------------------

DWORD SinkList::Add(ComPtr<IDispatch> sink) {
  for (size_t slot = 0; slot < slots_.size(); ++slot) {
    if (!slots_[slot]) {
      slots_[slot] = std::move(sink);
      return static_cast<DWORD>(slot + 1);
    }
  }
  slots_.push_back(std::move(sink));
  return static_cast<DWORD>(slots_.size());
}

bool SinkList::Remove(DWORD cookie) noexcept {
  if (cookie == 0 || cookie > slots_.size() || !slots_[cookie - 1]) return false;
  // Take the reference out of the slot before releasing it: the sink's
  // Release may call back into the list.
  ComPtr<IDispatch> released = std::move(slots_[cookie - 1]);
  slots_[cookie - 1] = nullptr;
  return true;
}

bool SinkList::AnyAdvised() const noexcept {
  for (const ComPtr<IDispatch>& sink : slots_) {
    if (sink) return true;
  }
  return false;
}

ComPtr<IDispatch> SinkList::At(size_t slot) const noexcept {
  if (slot >= slots_.size()) return nullptr;
  return slots_[slot];
}

void SinkList::Clear() noexcept {
  std::vector<ComPtr<IDispatch>> released;
  released.swap(slots_);
}

// --- enumerators ---------------------------------------------------------------

namespace {

struct PointTraits : EnumTraits {
  static constexpr HRESULT kUncounted = E_INVALIDARG;
  using Interface = IEnumConnectionPoints;
  using Entry = ComPtr<IConnectionPoint>;
  using Item = IConnectionPoint*;
  static const IID& Iid() { return IID_IEnumConnectionPoints; }
  static HRESULT Copy(const Entry& entry, Item* item) {
    *item = entry.Get();
    (*item)->AddRef();
    return S_OK;
  }
  static void Free(Item* item) { (*item)->Release(); }
};

struct ConnectionEntry {
  ComPtr<IUnknown> sink;
  DWORD cookie;
};

struct ConnectionTraits : EnumTraits {
  static constexpr HRESULT kUncounted = E_INVALIDARG;
  using Interface = IEnumConnections;
  using Entry = ConnectionEntry;
  using Item = CONNECTDATA;
  static const IID& Iid() { return IID_IEnumConnections; }
  static HRESULT Copy(const Entry& entry, Item* item) {
    item->pUnk = entry.sink.Get();
    item->pUnk->AddRef();
    item->dwCookie = entry.cookie;
    return S_OK;
  }
  static void Free(Item* item) { item->pUnk->Release(); }
};

}  // namespace

HRESULT CreateConnectionPointEnumerator(IConnectionPoint* point,
                                        IEnumConnectionPoints** enumerator) noexcept {
  if (!enumerator) return E_POINTER;
  *enumerator = nullptr;
  if (!point) return E_POINTER;
  return CreateSnapshotEnumerator<PointTraits>(
      std::vector<ComPtr<IConnectionPoint>>{ComPtr<IConnectionPoint>(point)},
      IID_IEnumConnectionPoints, reinterpret_cast<void**>(enumerator));
}

// --- ConnectionPoint -------------------------------------------------------------

IFACEMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid != IID_IUnknown && riid != IID_IConnectionPoint) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  *ppv = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

IFACEMETHODIMP_(ULONG) ConnectionPoint::AddRef() { return container_->AddRef(); }

IFACEMETHODIMP_(ULONG) ConnectionPoint::Release() { return container_->Release(); }

IFACEMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = events_;
  return S_OK;
}

IFACEMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  *container = container_;
  container_->AddRef();
  return S_OK;
}

IFACEMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  ComPtr<IDispatch> events;
  if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void**>(events.GetAddressOf()))) ||
      !events) {
    return CONNECT_E_CANNOTCONNECT;
  }
  try {
    *cookie = sinks_.Add(std::move(events));
  } catch (...) {
    return CONNECT_E_ADVISELIMIT;
  }
  return S_OK;
}

IFACEMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
  return sinks_.Remove(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
}

IFACEMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (!connections) return E_POINTER;
  *connections = nullptr;
  return Guard([&] {
    std::vector<ConnectionEntry> entries;
    for (size_t slot = 0; slot < sinks_.Size(); ++slot) {
      if (ComPtr<IDispatch> sink = sinks_.At(slot)) {
        entries.push_back({ComPtr<IUnknown>(sink.Get()), static_cast<DWORD>(slot + 1)});
      }
    }
    return CreateSnapshotEnumerator<ConnectionTraits>(std::move(entries), IID_IEnumConnections,
                                                      reinterpret_cast<void**>(connections));
  });
}

void ConnectionPoint::Fire(DISPID id, const VARIANT& argument) noexcept {
  const size_t count = sinks_.Size();
  for (size_t slot = 0; slot < count; ++slot) {
    ComPtr<IDispatch> sink = sinks_.At(slot);
    if (!sink) continue;
    // Each sink gets its own deep copy of the argument: a sink that changes
    // or frees it (its strings included) cannot change what the next one
    // sees, nor free what the caller still owns.
    Variant copy;
    if (FAILED(VariantCopy(copy.Get(), const_cast<VARIANT*>(&argument)))) continue;
    DISPPARAMS params = {copy.Get(), nullptr, 1, 0};
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
  }
}

}  // namespace lumora::com
