#include "sim/com/rig_server.h"

#include <oleauto.h>
#include <uuids.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>

#include "sim/com/sim_filter.h"

namespace lumora::sim {

namespace {

using Microsoft::WRL::ComPtr;

std::atomic<LONG> liveObjects{0};
std::atomic<LONG> serverLocks{0};

// Runs the body of a COM method; no exception leaves it.
template <class Body>
HRESULT Guard(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

// Owns a BSTR.
struct BstrFree {
  void operator()(BSTR s) const { SysFreeString(s); }
};
using UniqueBstr = std::unique_ptr<OLECHAR, BstrFree>;

// Owns a VARIANT.
class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&v_); }
  ~ScopedVariant() { VariantClear(&v_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  VARIANT* get() { return &v_; }

 private:
  VARIANT v_;
};

// Reference counting and the module's live-object count, shared by every
// rig object. Objects start with one reference, owned by their creator.
template <class Interface>
class RigObject : public Interface {
 public:
  RigObject() { ++liveObjects; }
  RigObject(const RigObject&) = delete;
  RigObject& operator=(const RigObject&) = delete;

  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = --refs_;
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

 protected:
  virtual ~RigObject() { --liveObjects; }

  // Answers QueryInterface for the listed interfaces, all reached through
  // Interface.
  template <class... Iids>
  HRESULT Answer(REFIID iid, void** out, const Iids&... iids) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    bool known = iid == IID_IUnknown || ((iid == iids) || ...);
    if (!known) return E_NOINTERFACE;
    *out = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }

 private:
  std::atomic<LONG> refs_{1};
};

// Takes over the first reference of a new object. (mingw-w64's
// ComPtr::Attach adds a reference of its own, unlike the Windows SDK's, so
// it cannot be used for this.)
template <class T>
ComPtr<T> Adopt(T* object) {
  ComPtr<T> p(object);
  object->Release();
  return p;
}

// --- the process's devices ------------------------------------------------------

struct Catalogue {
  std::recursive_mutex lock;
  bool built = false;
  std::vector<RigDevice> devices;
  std::string statePath;
  // The state and plug file texts as last read or written here: a file that
  // differs was changed by another process.
  std::string lastState;
  std::string lastPlug;
};

Catalogue& TheCatalogue() {
  static Catalogue catalogue;
  return catalogue;
}

// Writes the state file through a neighbouring temporary file that then
// replaces it in one step, so another process never finds it missing.
void Save(Catalogue& c) {
  std::string text = FormatRigState(c.devices);
  std::string temp = c.statePath + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return;
    out << text;
    out.flush();
    if (!out) return;
  }
  if (MoveFileExA(temp.c_str(), c.statePath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    c.lastState = text;
  } else {
    DeleteFileA(temp.c_str());
  }
}

void SaveState() noexcept {
  try {
    Catalogue& c = TheCatalogue();
    std::lock_guard<std::recursive_mutex> hold(c.lock);
    if (!c.statePath.empty()) Save(c);
  } catch (...) {
    // The state file is a convenience; a failed save leaves the old one.
  }
}

void Refresh() noexcept;

// The state file's hooks on every camera: save after a write, take in
// changes of other processes before a call.
void Hook(Catalogue& c) {
  for (RigDevice& d : c.devices) {
    if (!d.camera) continue;
    d.camera->onWrite = [] { SaveState(); };
    d.camera->beforeCall = [] { Refresh(); };
  }
}

// Takes in the plug file and the values other processes saved since the
// last look. A device plugged again while this process runs gets a fresh
// camera, whose default values are then saved (a process that starts only
// reads: the values saved under the new plugging are the ones it takes).
void TakeInChanges(Catalogue& c, bool starting) {
  if (c.statePath.empty()) return;
  std::string plug;
  bool replugged = false;
  if (!ReadSmallFile(c.statePath + ".plug", &plug)) plug.clear();
  if (plug != c.lastPlug) {
    c.lastPlug = plug;
    std::vector<PlugEntry> entries;
    if (ParsePlugState(plug, &entries) && ApplyPlugState(entries, &c.devices)) {
      Hook(c);
      replugged = true;
    }
  }
  std::string state;
  if (ReadSmallFile(c.statePath, &state) && state != c.lastState) {
    c.lastState = state;
    ApplyRigState(state, c.devices);
  }
  if (replugged && !starting) Save(c);
}

void Refresh() noexcept {
  try {
    Catalogue& c = TheCatalogue();
    std::lock_guard<std::recursive_mutex> hold(c.lock);
    if (c.built) TakeInChanges(c, false);
  } catch (...) {
    // A file that cannot be read now is read on the next call.
  }
}

void Build(Catalogue& c) {
  for (RigDevice& d : c.devices) {
    if (!d.camera) continue;
    d.camera->onWrite = nullptr;
    d.camera->beforeCall = nullptr;
  }
  std::vector<RigDevice> devices;
  if (!MakeRigDevices(RigPresetFromEnvironment(), &devices)) MakeRigDevices("default", &devices);
  const char* state = std::getenv("LUMORA_SIM_STATE");
  c.statePath = state != nullptr ? state : "";
  c.lastState.clear();
  c.lastPlug.clear();
  // A malformed fault list injects nothing (ApplyRigFaults is all or nothing).
  ApplyRigFaults(RigFaultsFromEnvironment(), devices);
  c.devices = std::move(devices);
  c.built = true;
  if (!c.statePath.empty()) {
    Hook(c);
    TakeInChanges(c, true);
  }
}

// --- property bag ------------------------------------------------------------------

class RigPropertyBag final : public RigObject<IPropertyBag> {
 public:
  explicit RigPropertyBag(const RigDevice& device)
      : hasFriendlyName_(device.hasFriendlyName), friendlyName_(Widen(device.friendlyName)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return Answer(iid, out, IID_IPropertyBag);
  }

  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    return Guard([&]() -> HRESULT {
      if (name == nullptr || value == nullptr) return E_POINTER;
      std::wstring text;
      if (lstrcmpiW(name, L"FriendlyName") == 0 && hasFriendlyName_) {
        text = friendlyName_;
      } else if (lstrcmpiW(name, L"CLSID") == 0) {
        OLECHAR clsid[40];
        if (StringFromGUID2(CLSID_LumoraSimFilter, clsid, 40) == 0) return E_FAIL;
        text = clsid;
      } else {
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
      }
      ScopedVariant result;
      V_VT(result.get()) = VT_BSTR;
      V_BSTR(result.get()) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      if (V_BSTR(result.get()) == nullptr) return E_OUTOFMEMORY;
      // An empty VARIANT takes the string as it is; any other type asks
      // for a conversion.
      VARTYPE wanted = V_VT(value) == VT_EMPTY ? VARTYPE(VT_BSTR) : V_VT(value);
      if (wanted != VT_BSTR) {
        HRESULT h = VariantChangeType(result.get(), result.get(), 0, wanted);
        if (FAILED(h)) return h;
      }
      VariantClear(value);
      *value = *result.get();
      V_VT(result.get()) = VT_EMPTY;  // moved out
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

 private:
  bool hasFriendlyName_;
  std::wstring friendlyName_;
};

// --- moniker -----------------------------------------------------------------------

class RigMoniker final : public RigObject<IMoniker> {
 public:
  explicit RigMoniker(const RigDevice& device)
      : device_(device), displayName_(Widen(device.displayName)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return Answer(iid, out, IID_IPersist, IID_IPersistStream, IID_IMoniker);
  }

  // IPersist / IPersistStream
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx*, IMoniker*, REFIID iid, void** out) override {
    return Guard([&]() -> HRESULT {
      if (out == nullptr) return E_POINTER;
      *out = nullptr;
      if (!device_.camera) return E_FAIL;
      ComPtr<IBaseFilter> filter;
      HRESULT h = CreateSimFilter(device_.camera, &filter);
      if (FAILED(h)) return h;
      return filter->QueryInterface(iid, out);
    });
  }

  HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx*, IMoniker*, REFIID iid, void** out) override {
    return Guard([&]() -> HRESULT {
      if (out == nullptr) return E_POINTER;
      *out = nullptr;
      if (iid != IID_IPropertyBag && iid != IID_IUnknown) return E_NOINTERFACE;
      auto bag = Adopt(new RigPropertyBag(device_));
      return bag->QueryInterface(iid, out);
    });
  }

  HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* name) override {
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    size_t bytes = (displayName_.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (copy == nullptr) return E_OUTOFMEMORY;
    std::memcpy(copy, displayName_.c_str(), bytes);
    *name = copy;  // the caller frees it with CoTaskMemFree
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker*, BOOL, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Enum(BOOL, IEnumMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsEqual(IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Hash(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx*, IMoniker*, IMoniker*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Inverse(IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*,
                                             IMoniker**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD*) override { return E_NOTIMPL; }

 private:
  RigDevice device_;  // a copy: the moniker outlives a reload of the catalogue
  std::wstring displayName_;
};

// --- moniker enumerator ----------------------------------------------------------

using DeviceList = std::shared_ptr<const std::vector<RigDevice>>;

class RigEnumMoniker final : public RigObject<IEnumMoniker> {
 public:
  RigEnumMoniker(DeviceList devices, size_t position)
      : devices_(std::move(devices)), position_(position) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return Answer(iid, out, IID_IEnumMoniker);
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IMoniker** monikers, ULONG* fetched) override {
    return Guard([&]() -> HRESULT {
      if (monikers == nullptr) return E_POINTER;
      if (count != 1 && fetched == nullptr) return E_POINTER;
      ULONG n = 0;
      try {
        while (n < count && position_ < devices_->size()) {
          monikers[n] = new RigMoniker((*devices_)[position_]);
          ++n;
          ++position_;
        }
      } catch (...) {
        for (ULONG i = 0; i < n; ++i) {
          monikers[i]->Release();
          monikers[i] = nullptr;
        }
        position_ -= n;
        throw;
      }
      if (fetched != nullptr) *fetched = n;
      return n == count ? S_OK : S_FALSE;
    });
  }

  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    size_t left = devices_->size() - position_;
    if (count > left) {
      position_ = devices_->size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Clone(IEnumMoniker** out) override {
    return Guard([&]() -> HRESULT {
      if (out == nullptr) return E_POINTER;
      *out = new RigEnumMoniker(devices_, position_);
      return S_OK;
    });
  }

 private:
  DeviceList devices_;
  size_t position_;
};

// --- device enumerator and its class factory ----------------------------------------

class RigDeviceEnumerator final : public RigObject<ICreateDevEnum> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return Answer(iid, out, IID_ICreateDevEnum);
  }

  HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID category, IEnumMoniker** out,
                                                  DWORD) override {
    return Guard([&]() -> HRESULT {
      if (out == nullptr) return E_POINTER;
      *out = nullptr;
      if (category != CLSID_VideoInputDeviceCategory) return S_FALSE;
      Refresh();
      auto devices = std::make_shared<std::vector<RigDevice>>();
      for (const RigDevice& d : RigDevices()) {
        if (d.plugged) devices->push_back(d);
      }
      if (devices->empty()) return S_FALSE;
      *out = new RigEnumMoniker(std::move(devices), 0);
      return S_OK;
    });
  }
};

class RigClassFactory final : public RigObject<IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return Answer(iid, out, IID_IClassFactory);
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CreateRigDeviceEnumerator(iid, out);
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++serverLocks;
    } else {
      --serverLocks;
    }
    return S_OK;
  }
};

}  // namespace

std::vector<RigDevice>& RigDevices() {
  Catalogue& c = TheCatalogue();
  std::lock_guard<std::recursive_mutex> hold(c.lock);
  if (!c.built) Build(c);
  return c.devices;
}

void ReloadRigDevices() {
  Catalogue& c = TheCatalogue();
  std::lock_guard<std::recursive_mutex> hold(c.lock);
  Build(c);
}

HRESULT CreateRigDeviceEnumerator(REFIID iid, void** out) {
  return Guard([&]() -> HRESULT {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    auto enumerator = Adopt(new RigDeviceEnumerator());
    return enumerator->QueryInterface(iid, out);
  });
}

HRESULT GetRigClassObject(REFIID iid, void** out) {
  return Guard([&]() -> HRESULT {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    auto factory = Adopt(new RigClassFactory());
    return factory->QueryInterface(iid, out);
  });
}

HRESULT InstallRig(DWORD* cookie) {
  return Guard([&]() -> HRESULT {
    if (cookie == nullptr) return E_POINTER;
    ComPtr<IClassFactory> factory;
    HRESULT h = GetRigClassObject(IID_IClassFactory, &factory);
    if (FAILED(h)) return h;
    return CoRegisterClassObject(CLSID_SystemDeviceEnum, factory.Get(), CLSCTX_INPROC_SERVER,
                                 REGCLS_MULTIPLEUSE, cookie);
  });
}

void RevokeRig(DWORD cookie) { CoRevokeClassObject(cookie); }

LONG RigObjectCount() { return liveObjects.load(); }
LONG RigLockCount() { return serverLocks.load(); }

}  // namespace lumora::sim
