// Module lock count, module identity and the type-information cache.
#include "com/com_object.h"

#include "com/raii.h"

#include <new>
#include <string>
#include <utility>
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

HRESULT ModuleFileName(HMODULE module, std::wstring* path) noexcept {
  if (!path) return E_POINTER;
  // No path is longer than the longest string the system's paths can hold.
  constexpr DWORD kLongest = 32768;
  try {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
      const DWORD size = static_cast<DWORD>(buffer.size());
      const DWORD written = GetModuleFileNameW(module, buffer.data(), size);
      if (written == 0) {
        const DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
      }
      if (written < size) {
        buffer.resize(written);
        *path = std::move(buffer);
        return S_OK;
      }
      if (size >= kLongest) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
      buffer.resize(size * 2);
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ModulePath(std::wstring* path) noexcept { return ModuleFileName(ModuleHandle(), path); }

HRESULT ModuleTypeLibPath(std::wstring* path) noexcept {
  HRESULT hr = ModulePath(path);
  if (FAILED(hr) || path->size() < MAX_PATH) return hr;
  try {
    std::wstring shorter(MAX_PATH, L'\0');
    const DWORD length = GetShortPathNameW(path->c_str(), shorter.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    shorter.resize(length);
    *path = std::move(shorter);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
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
      std::wstring path;
      HRESULT hr = ModuleTypeLibPath(&path);
      if (FAILED(hr)) return hr;
      Microsoft::WRL::ComPtr<ITypeLib> loaded;
      hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &loaded);
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
