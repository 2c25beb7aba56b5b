// The server: object table, class objects and the four entry points.
#include "module/server.h"

#include <iterator>
#include <new>
#include <string>

#include "automation/vcap_classes.h"
#include "automation/dvidcapctrl.h"
#include "simpleapi/camera_manager.h"
#include "automation/lumora_com.h"
#include "com/com_object.h"
#include "lumora_idl.h"
#include "com/raii.h"
#include "dshow/platform.h"
#include "module/registrar.h"

using Microsoft::WRL::ComPtr;

namespace lumora::server {
namespace {

using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

// The class object of one class. The reference held by its table row does
// not keep the library loaded; outside references do: the module lock
// count goes up when the reference count rises from 1 to 2 and down when
// it falls back to 1.
class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(InstanceCreator create) noexcept : create_(create) {}

  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  IFACEMETHODIMP_(ULONG) AddRef() override {
    LONG count = InterlockedIncrement(&refs_);
    if (count == 2) com::LockModule();
    return static_cast<ULONG>(count);
  }
  IFACEMETHODIMP_(ULONG) Release() override {
    LONG count = InterlockedDecrement(&refs_);
    if (count == 1) com::UnlockModule();
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }

  IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    return create_(outer, riid, ppv);
  }
  IFACEMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      com::LockModule();
    } else {
      com::UnlockModule();
    }
    return S_OK;
  }

 private:
  ~ClassFactory() = default;

  InstanceCreator create_;
  LONG refs_ = 0;
};

struct ClassEntry {
  const CLSID& clsid;
  UINT registryScript;  // id of the class's "REGISTRY" resource
  InstanceCreator create;
  ComPtr<IClassFactory> factory;  // created on first request, kept until unload
};

// The classes that reach the platform get the DirectShow adapter's factories.
template <HRESULT (*Create)(const Platform&, IUnknown*, REFIID, void**)>
HRESULT OnDirectShow(IUnknown* outer, REFIID riid, void** ppv) {
  return Create(DirectShowPlatform(), outer, riid, ppv);
}

// The object table, in the order of registration and of the search.
ClassEntry g_classes[] = {
    {CLSID_VCapCollection, 101, CreateVCapCollection, nullptr},
    {CLSID_VCapFilter, 102, CreateVCapFilter, nullptr},
    {CLSID_DVidCapCtrl, 103, OnDirectShow<CreateDVidCapCtrl>, nullptr},
    {CLSID_VCapFilterEnum, 104, OnDirectShow<CreateVCapFilterEnum>, nullptr},
    {CLSID_LumoraCOM, 105, CreateLumoraCOM, nullptr},
};

// Serialises the creation of class objects.
SRWLOCK g_classLock = SRWLOCK_INIT;

// The row's class object, created on first use: a look under the shared
// lock, then the creation under the exclusive lock with a second look, so
// that concurrent first requests get the same object.
HRESULT ClassObject(ClassEntry& row, ComPtr<IClassFactory>& factory) noexcept {
  {
    com::SrwShared hold(g_classLock);
    factory = row.factory;
  }
  if (factory) return S_OK;
  com::SrwExclusive hold(g_classLock);
  if (!row.factory) {
    auto* created = new (std::nothrow) ClassFactory(row.create);
    if (!created) return E_OUTOFMEMORY;
    row.factory = created;
  }
  factory = row.factory;
  return S_OK;
}

}  // namespace

void Start() noexcept {}

void Stop() noexcept {
  simpleapi::ReleaseLibraryInstance();
  for (ClassEntry& row : g_classes) {
    ComPtr<IClassFactory> factory;
    {
      com::SrwExclusive hold(g_classLock);
      factory.Swap(row.factory);
    }
  }
  com::ReleaseTypeInfoCache();
}

}  // namespace lumora::server

using namespace lumora;

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (server::ClassEntry& row : server::g_classes) {
    if (!IsEqualCLSID(row.clsid, clsid)) continue;
    ComPtr<IClassFactory> factory;
    HRESULT hr = server::ClassObject(row, factory);
    if (FAILED(hr)) return hr;
    return factory->QueryInterface(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return com::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

namespace {

// The classes' registry scripts, then the type library, stopping at the
// first failure.
HRESULT RegisterEverything() noexcept {
  for (const server::ClassEntry& row : server::g_classes) {
    HRESULT hr = registrar::RunResourceScript(com::ModuleHandle(), row.registryScript,
                                              registrar::Mode::Register);
    if (FAILED(hr)) return hr;
  }
  ComPtr<ITypeLib> lib;
  HRESULT hr = com::ModuleTypeLib(&lib);
  if (FAILED(hr)) return hr;
  std::wstring path;
  hr = com::ModuleTypeLibPath(&path);
  if (FAILED(hr)) return hr;
  return RegisterTypeLib(lib.Get(), path.data(), nullptr);
}

// Every class script and the type library; goes on past failures.
HRESULT UnregisterEverything() noexcept {
  for (const server::ClassEntry& row : server::g_classes) {
    registrar::RunResourceScript(com::ModuleHandle(), row.registryScript,
                                 registrar::Mode::Unregister);
  }
  ComPtr<ITypeLib> lib;
  if (SUCCEEDED(com::ModuleTypeLib(&lib))) {
    TLIBATTR* attr = nullptr;
    if (SUCCEEDED(lib->GetLibAttr(&attr))) {
      UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid,
                        attr->syskind);
      lib->ReleaseTLibAttr(attr);
    }
  }
  return S_OK;
}

}  // namespace

// A registration that fails midway is undone whole: the unregistration
// removes what was written, and the first failure is the answer.
STDAPI DllRegisterServer() {
  const HRESULT hr = RegisterEverything();
  if (FAILED(hr)) UnregisterEverything();
  return hr;
}

STDAPI DllUnregisterServer() { return UnregisterEverything(); }
