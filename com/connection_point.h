// The outgoing side of an automation object: one connection point for one
// event dispinterface, its list of advised sinks, event delivery through the
// sinks' IDispatch::Invoke, and the enumerators a connection-point container
// hands out.
//
// The connection point lives inside its container (a member of the object):
// its AddRef and Release are the container's, so a client that holds the
// point keeps the whole object alive.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <cstddef>
#include <vector>

namespace lumora::com {

// The advised sinks in the order of their Advise calls. A sink's cookie is
// its slot index plus 1; unadvising empties the slot, and the next Advise
// takes the first empty slot again.
class SinkList {
 public:
  // Stores one reference to the sink; answers its cookie. May throw
  // std::bad_alloc (nothing is stored then).
  DWORD Add(Microsoft::WRL::ComPtr<IDispatch> sink);
  // Empties the cookie's slot and releases its sink; false when the cookie
  // names no advised sink.
  bool Remove(DWORD cookie) noexcept;
  // Number of slots, empty ones included.
  size_t Size() const noexcept { return slots_.size(); }
  // Whether any slot holds a sink.
  bool AnyAdvised() const noexcept;
  // The sink in a slot (a new reference), or null for an empty slot or one
  // past the end.
  Microsoft::WRL::ComPtr<IDispatch> At(size_t slot) const noexcept;
  // Releases every sink and frees the list.
  void Clear() noexcept;

 private:
  std::vector<Microsoft::WRL::ComPtr<IDispatch>> slots_;
};

class ConnectionPoint final : public IConnectionPoint {
 public:
  // `container` (borrowed) is the object this point is a member of; `events`
  // is the dispinterface the sinks implement. Neither is used before the
  // object has been fully constructed.
  ConnectionPoint(IConnectionPointContainer* container, const IID& events) noexcept
      : container_(container), events_(events) {}
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  const IID& EventInterface() const noexcept { return events_; }
  // Whether an event fired now would reach any sink: an object builds an
  // event's argument only then.
  bool Connected() const noexcept { return sinks_.AnyAdvised(); }

  // IUnknown: the point's own identity (IUnknown, IConnectionPoint) with the
  // container's reference count.
  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  IFACEMETHODIMP_(ULONG) AddRef() override;
  IFACEMETHODIMP_(ULONG) Release() override;

  // IConnectionPoint
  IFACEMETHODIMP GetConnectionInterface(IID* iid) override;
  IFACEMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
  IFACEMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  IFACEMETHODIMP Unadvise(DWORD cookie) override;
  IFACEMETHODIMP EnumConnections(IEnumConnections** connections) override;

  // Delivers one event: IDispatch::Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
  // DISPATCH_METHOD) with `argument` as the only positional argument (the
  // caller keeps ownership). Walks slots 0 to n-1, n being the list's size
  // when the firing began, reading each slot when it is reached and holding
  // a reference to its sink for the call, so sinks may advise, unadvise
  // (themselves or others) or call back into the object meanwhile. The
  // sinks' results are ignored.
  void Fire(DISPID id, const VARIANT& argument) noexcept;

  // Releases every sink (the object's destruction).
  void ReleaseSinks() noexcept { sinks_.Clear(); }

 private:
  IConnectionPointContainer* container_;  // the owner; borrowed
  IID events_;
  SinkList sinks_;
};

// An enumerator over the one connection point `point` (a reference is held
// by the enumerator and by each point it hands out).
HRESULT CreateConnectionPointEnumerator(IConnectionPoint* point,
                                        IEnumConnectionPoints** enumerator) noexcept;

}  // namespace lumora::com
