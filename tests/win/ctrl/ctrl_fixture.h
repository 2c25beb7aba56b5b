// Shared pieces of the DVidCapCtrl tests: COM on the test thread, Lumora.dll
// loaded from the test program's folder, a recording event sink, and small
// hand-made COM objects that play a VCapFilter descriptor, a device moniker
// and a DirectShow FilterInfo object.
#pragma once

#include <windows.h>
#include <control.h>
#include <ocidl.h>
#include <oleauto.h>
#include <strmif.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lumora_idl.h"
#include "sim/simulated_camera.h"
#include "tests/win/com_support.h"

namespace ctrltest {

using Microsoft::WRL::ComPtr;
namespace sim = lumora::sim;

// Lumora.dll, loaded once for the whole test program.
HMODULE LumoraModule();

// A new DVidCapCtrl from Lumora.dll's class object.
ComPtr<IDVidCapCtrl> NewControl();

// A reference counter for the fakes: created with count 0 by Make<T>().
template <class I>
class Counted : public I {
 public:
  IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
  IFACEMETHODIMP_(ULONG) Release() override {
    LONG left = --refs_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  // References held besides the caller's own ComPtr (which counts one).
  LONG Refs() const { return refs_; }

 protected:
  virtual ~Counted() = default;
  // QueryInterface answer for this object.
  HRESULT Hand(void** ppv) {
    *ppv = static_cast<I*>(this);
    AddRef();
    return S_OK;
  }

 private:
  LONG refs_ = 0;
};

template <class T, class... Args>
ComPtr<T> Make(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

// IDispatch members a fake does not need.
template <class I>
using NoDispatch = lumora::test::NoDispatch<Counted<I>>;

// One event as a sink received it.
struct Event {
  DISPID id = 0;
  std::wstring text;        // DebugLog
  float percent = -1;       // Progress
  bool wellFormed = false;  // IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                            // one positional argument of the event's type
};

// An _IDVidCapCtrlEvents sink that records what it receives. `onEvent` runs
// inside Invoke, after the event was recorded.
class RecordingSink : public lumora::test::NoTypeInfo<Counted<IDispatch>> {
 public:
  explicit RecordingSink(bool answersEvents = true) : answersEvents_(answersEvents) {}

  std::vector<Event> events;
  std::function<void(const Event&)> onEvent;
  // Shared log of several sinks: each event appends `name`.
  std::vector<std::string>* order = nullptr;
  std::string name;

  std::vector<std::wstring> Texts() const;
  std::vector<float> Percents() const;

  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  IFACEMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

 private:
  bool answersEvents_;
};

// Advises a sink on the control's connection point; the cookie, or 0.
DWORD Advise(IDVidCapCtrl* control, IUnknown* sink);
ComPtr<IConnectionPoint> EventsPoint(IDVidCapCtrl* control);

// A device moniker: BindToObject hands out `target` (or fails with
// `bindResult`) and records its arguments.
class FakeMoniker : public Counted<IMoniker> {
 public:
  ComPtr<IUnknown> target;
  HRESULT bindResult = S_OK;
  int binds = 0;
  bool boundAsSpecified = true;  // no bind context, no left moniker, IID_IUnknown

  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  IFACEMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
  IFACEMETHODIMP IsDirty() override { return S_FALSE; }
  IFACEMETHODIMP Load(IStream*) override { return E_NOTIMPL; }
  IFACEMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  IFACEMETHODIMP BindToObject(IBindCtx* ctx, IMoniker* left, REFIID riid, void** ppv) override;
  IFACEMETHODIMP BindToStorage(IBindCtx*, IMoniker*, REFIID, void**) override { return E_NOTIMPL; }
  IFACEMETHODIMP Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker**) override { return E_NOTIMPL; }
  IFACEMETHODIMP ComposeWith(IMoniker*, BOOL, IMoniker**) override { return E_NOTIMPL; }
  IFACEMETHODIMP Enum(BOOL, IEnumMoniker**) override { return E_NOTIMPL; }
  IFACEMETHODIMP IsEqual(IMoniker*) override { return S_FALSE; }
  IFACEMETHODIMP Hash(DWORD*) override { return E_NOTIMPL; }
  IFACEMETHODIMP IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return S_FALSE; }
  IFACEMETHODIMP GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
  IFACEMETHODIMP Inverse(IMoniker**) override { return E_NOTIMPL; }
  IFACEMETHODIMP CommonPrefixWith(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  IFACEMETHODIMP RelativePathTo(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR*) override { return E_NOTIMPL; }
  IFACEMETHODIMP ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*, IMoniker**) override {
    return E_NOTIMPL;
  }
  IFACEMETHODIMP IsSystemMoniker(DWORD*) override { return E_NOTIMPL; }
};

// A plain object that answers IUnknown only.
class PlainObject : public Counted<IUnknown> {
 public:
  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
};

// A VCapFilter descriptor with the fields the control reads.
class FakeDescriptor : public NoDispatch<IVCapFilter> {
 public:
  ComPtr<IUnknown> moniker;  // null: get_Moniker hands out nothing
  HRESULT monikerResult = S_OK;
  const wchar_t* name = L"Fake Camera";  // null: FName answers a null BSTR
  const wchar_t* vidPid = nullptr;       // null: DeviceVidPid answers a null BSTR

  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  IFACEMETHODIMP get_FName(BSTR* v) override;
  IFACEMETHODIMP put_FName(BSTR) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_FIndex(LONG*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_FIndex(LONG) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_ClsID(BSTR*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_ClsID(BSTR) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_Moniker(IUnknown** v) override;
  IFACEMETHODIMP put_Moniker(IUnknown*) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_DeviceName(BSTR*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_DeviceName(BSTR) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_DevSerial(BSTR*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_DevSerial(BSTR) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_DeviceVidPid(BSTR* v) override;
  IFACEMETHODIMP put_DeviceVidPid(BSTR) override { return E_NOTIMPL; }
};

// A DirectShow FilterInfo object whose get_Filter hands out `filter`.
class FakeFilterInfo : public NoDispatch<IFilterInfo> {
 public:
  ComPtr<IUnknown> filter;
  HRESULT filterResult = S_OK;

  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  IFACEMETHODIMP FindPin(BSTR, IDispatch**) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_Name(BSTR*) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_VendorInfo(BSTR*) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_Filter(IUnknown** v) override;
  IFACEMETHODIMP get_Pins(IDispatch**) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_IsFileSource(LONG*) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_Filename(BSTR*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_Filename(BSTR) override { return E_NOTIMPL; }
};

// The COM simulated filter over a camera.
ComPtr<IBaseFilter> SimFilter(std::shared_ptr<sim::SimulatedCamera> camera);

// A descriptor whose moniker binds to a simulated filter over `camera`.
ComPtr<FakeDescriptor> DescriptorOf(std::shared_ptr<sim::SimulatedCamera> camera,
                                    const wchar_t* vidPid);

// "Private Prop GUID found: {...}" for a set given as text.
std::wstring GuidMessage(const wchar_t* lowerCaseSet);
extern const wchar_t kNullGuidMessage[];

// Chipset answer of a control (its HRESULT in *hr).
KnownChipsetCat ChipsetOf(IDVidCapCtrl* control, HRESULT* hr);

// A one-dimensional SAFEARRAY of VT_I2 (lower bound `lower`) that destroys
// itself.
class ShortArray {
 public:
  explicit ShortArray(ULONG count, LONG lower = 0, SHORT fill = 0);
  ~ShortArray();
  ShortArray(const ShortArray&) = delete;
  ShortArray& operator=(const ShortArray&) = delete;
  SAFEARRAY** Address() { return &array_; }
  SHORT At(ULONG k) const { return static_cast<SHORT*>(array_->pvData)[k]; }
  void Set(ULONG k, SHORT v) { static_cast<SHORT*>(array_->pvData)[k] = v; }

 private:
  SAFEARRAY* array_;
};

}  // namespace ctrltest
