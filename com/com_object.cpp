// Module lock count, module identity and the type-information cache.
#include "com/com_object.h"

#include "com/raii.h"

#include <vector>

// The image base of the file this code is linked into (set by the linker).
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace lumora::com {
namespace {

LONG g_lockCount = 0;

struct CachedTypeInfo {
  GUID guid;
  Microsoft::WRL::ComPtr<ITypeInfo> info;
};

SRWLOCK g_typeLock = SRWLOCK_INIT;
Microsoft::WRL::ComPtr<ITypeLib>* g_typeLib = nullptr;  // created on first use
std::vector<CachedTypeInfo>* g_typeInfos = nullptr;

}  // namespace

void LockModule() noexcept { InterlockedIncrement(&g_lockCount); }
void UnlockModule() noexcept { InterlockedDecrement(&g_lockCount); }
LONG ModuleLockCount() noexcept { return InterlockedCompareExchange(&g_lockCount, 0, 0); }

HMODULE ModuleHandle() noexcept { return reinterpret_cast<HMODULE>(&__ImageBase); }

HRESULT ModulePath(wchar_t* path, DWORD size) noexcept {
  if (!path || size == 0) return E_POINTER;
  DWORD length = GetModuleFileNameW(ModuleHandle(), path, size);
  if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
  if (length >= size) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  return S_OK;
}

// The caches are heap objects created under the lock, so that nothing of
// them runs at static construction or destruction time (oleaut32 may be
// gone by then); ReleaseTypeInfoCache frees them at an orderly unload.
HRESULT ModuleTypeLib(ITypeLib** lib) noexcept {
  if (!lib) return E_POINTER;
  *lib = nullptr;
  try {
    SrwExclusive hold(g_typeLock);
    if (!g_typeLib || !*g_typeLib) {
      wchar_t path[MAX_PATH];
      HRESULT hr = ModulePath(path, MAX_PATH);
      if (FAILED(hr)) return hr;
      Microsoft::WRL::ComPtr<ITypeLib> loaded;
      hr = LoadTypeLibEx(path, REGKIND_NONE, &loaded);
      if (FAILED(hr)) return hr;
      if (!g_typeLib) g_typeLib = new Microsoft::WRL::ComPtr<ITypeLib>();
      *g_typeLib = loaded;
    }
    return g_typeLib->CopyTo(lib);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** info) noexcept {
  if (!info) return E_POINTER;
  *info = nullptr;
  try {
    {
      SrwExclusive hold(g_typeLock);
      if (g_typeInfos) {
        for (const CachedTypeInfo& entry : *g_typeInfos) {
          if (IsEqualGUID(entry.guid, guid)) return entry.info.CopyTo(info);
        }
      }
    }
    Microsoft::WRL::ComPtr<ITypeLib> lib;
    HRESULT hr = ModuleTypeLib(&lib);
    if (FAILED(hr)) return hr;
    Microsoft::WRL::ComPtr<ITypeInfo> found;
    hr = lib->GetTypeInfoOfGuid(guid, &found);
    if (FAILED(hr)) return hr;
    SrwExclusive hold(g_typeLock);
    if (!g_typeInfos) g_typeInfos = new std::vector<CachedTypeInfo>();
    // Another thread may have cached the same entry meanwhile: keep one.
    for (const CachedTypeInfo& entry : *g_typeInfos) {
      if (IsEqualGUID(entry.guid, guid)) return entry.info.CopyTo(info);
    }
    g_typeInfos->push_back({guid, found});
    return found.CopyTo(info);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

void ReleaseTypeInfoCache() noexcept {
  SrwExclusive hold(g_typeLock);
  delete g_typeInfos;
  g_typeInfos = nullptr;
  delete g_typeLib;
  g_typeLib = nullptr;
}

}  // namespace lumora::com
