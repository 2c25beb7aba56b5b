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

#include "com/com_object.h"
#include "com/enumerator.h"
#include "com/guard.h"
#include "com/raii.h"
#include "com/text.h"
#include "sim/com/sim_filter.h"

namespace lumora::sim {

namespace {

using Microsoft::WRL::ComPtr;

std::atomic<LONG> liveObjects{0};
std::atomic<LONG> serverLocks{0};

// A member of every rig object (com::Object instances): RigObjectCount.
using RigLive = LiveCount<liveObjects>;

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

class RigPropertyBag : public IPropertyBag {
 public:
  explicit RigPropertyBag(const RigDevice& device)
      : hasFriendlyName_(device.hasFriendlyName),
        friendlyName_(com::WidenUtf8(device.friendlyName)) {}

  IUnknown* Interface(REFIID iid) { return iid == IID_IPropertyBag ? this : nullptr; }

  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    return com::Guard([&]() -> HRESULT {
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
      com::Variant result;
      V_VT(result.Get()) = VT_BSTR;
      V_BSTR(result.Get()) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      if (V_BSTR(result.Get()) == nullptr) return E_OUTOFMEMORY;
      // An empty VARIANT takes the string as it is; any other type asks
      // for a conversion.
      VARTYPE wanted = V_VT(value) == VT_EMPTY ? VARTYPE(VT_BSTR) : V_VT(value);
      if (wanted != VT_BSTR) {
        HRESULT h = VariantChangeType(result.Get(), result.Get(), 0, wanted);
        if (FAILED(h)) return h;
      }
      VariantClear(value);
      result.Detach(value);
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

 private:
  bool hasFriendlyName_;
  std::wstring friendlyName_;
  RigLive live_;
};

// --- moniker -----------------------------------------------------------------------

class RigMoniker : public IMoniker {
 public:
  explicit RigMoniker(const RigDevice& device)
      : device_(device), displayName_(com::WidenUtf8(device.displayName)) {}

  IUnknown* Interface(REFIID iid) {
    bool known = iid == IID_IPersist || iid == IID_IPersistStream || iid == IID_IMoniker;
    return known ? this : nullptr;
  }

  // IPersist / IPersistStream
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx*, IMoniker*, REFIID iid, void** out) override {
    return com::Guard([&]() -> HRESULT {
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
    return com::Guard([&]() -> HRESULT {
      if (out == nullptr) return E_POINTER;
      *out = nullptr;
      if (iid != IID_IPropertyBag && iid != IID_IUnknown) return E_NOINTERFACE;
      return com::CreateInstance<RigPropertyBag>(nullptr, iid, out, device_);
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
  RigLive live_;
};

// --- moniker enumerator ----------------------------------------------------------

using DeviceList = std::shared_ptr<const std::vector<RigDevice>>;

// Each Next hands out new monikers over copies of the devices.
struct MonikerTraits : com::EnumTraits {
  using Interface = IEnumMoniker;
  using Entry = RigDevice;
  using Item = IMoniker*;
  using Member = RigLive;
  static const IID& Iid() { return IID_IEnumMoniker; }
  static HRESULT Copy(const Entry& device, Item* item) {
    return com::CreateInstance<RigMoniker>(nullptr, IID_IMoniker, reinterpret_cast<void**>(item),
                                           device);
  }
  static void Free(Item* item) { (*item)->Release(); }
};

// --- device enumerator and its class factory ----------------------------------------

class RigDeviceEnumerator : public ICreateDevEnum {
 public:
  IUnknown* Interface(REFIID iid) { return iid == IID_ICreateDevEnum ? this : nullptr; }

  HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID category, IEnumMoniker** out,
                                                  DWORD) override {
    return com::Guard([&]() -> HRESULT {
      if (out == nullptr) return E_POINTER;
      *out = nullptr;
      if (category != CLSID_VideoInputDeviceCategory) return S_FALSE;
      Refresh();
      std::vector<RigDevice> devices;
      for (const RigDevice& d : RigDevices()) {
        if (d.plugged) devices.push_back(d);
      }
      if (devices.empty()) return S_FALSE;
      return com::CreateSnapshotEnumerator<MonikerTraits>(std::move(devices), IID_IEnumMoniker,
                                                          reinterpret_cast<void**>(out));
    });
  }

 private:
  RigLive live_;
};

class RigClassFactory : public IClassFactory {
 public:
  IUnknown* Interface(REFIID iid) { return iid == IID_IClassFactory ? this : nullptr; }

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

 private:
  RigLive live_;
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
  return com::CreateInstance<RigDeviceEnumerator>(nullptr, iid, out);
}

HRESULT GetRigClassObject(REFIID iid, void** out) {
  return com::CreateInstance<RigClassFactory>(nullptr, iid, out);
}

HRESULT InstallRig(DWORD* cookie) {
  return com::Guard([&]() -> HRESULT {
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
