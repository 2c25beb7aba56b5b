#include "bench/win/alloc_count.h"

#include <oleauto.h>
#include <objbase.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace lumora::bench {
namespace {

std::atomic<uint64_t> g_count{0};

void Count() { g_count.fetch_add(1, std::memory_order_relaxed); }

// The originals, read from the import table before it is rewritten.
using Malloc = void*(__cdecl*)(size_t);
using Calloc = void*(__cdecl*)(size_t, size_t);
using Realloc = void*(__cdecl*)(void*, size_t);
using StrDup = char*(__cdecl*)(const char*);
using WcsDup = wchar_t*(__cdecl*)(const wchar_t*);
using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using HeapReAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T);
using LocalAllocFn = HLOCAL(WINAPI*)(UINT, SIZE_T);
using SysAllocStringFn = BSTR(WINAPI*)(const OLECHAR*);
using SysAllocStringLenFn = BSTR(WINAPI*)(const OLECHAR*, UINT);
using SysAllocStringByteLenFn = BSTR(WINAPI*)(LPCSTR, UINT);
using SysReAllocStringFn = INT(WINAPI*)(BSTR*, const OLECHAR*);
using SysReAllocStringLenFn = INT(WINAPI*)(BSTR*, const OLECHAR*, UINT);
using CoTaskMemAllocFn = LPVOID(WINAPI*)(SIZE_T);
using CoTaskMemReallocFn = LPVOID(WINAPI*)(LPVOID, SIZE_T);

Malloc g_malloc;
Calloc g_calloc;
Realloc g_realloc;
StrDup g_strdup;
WcsDup g_wcsdup;
HeapAllocFn g_heapAlloc;
HeapReAllocFn g_heapReAlloc;
LocalAllocFn g_localAlloc;
SysAllocStringFn g_sysAllocString;
SysAllocStringLenFn g_sysAllocStringLen;
SysAllocStringByteLenFn g_sysAllocStringByteLen;
SysReAllocStringFn g_sysReAllocString;
SysReAllocStringLenFn g_sysReAllocStringLen;
CoTaskMemAllocFn g_coTaskMemAlloc;
CoTaskMemReallocFn g_coTaskMemRealloc;

void* __cdecl CountedMalloc(size_t n) {
  Count();
  return g_malloc(n);
}
void* __cdecl CountedCalloc(size_t n, size_t size) {
  Count();
  return g_calloc(n, size);
}
void* __cdecl CountedRealloc(void* p, size_t n) {
  Count();
  return g_realloc(p, n);
}
char* __cdecl CountedStrDup(const char* s) {
  Count();
  return g_strdup(s);
}
wchar_t* __cdecl CountedWcsDup(const wchar_t* s) {
  Count();
  return g_wcsdup(s);
}
LPVOID WINAPI CountedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T n) {
  Count();
  return g_heapAlloc(heap, flags, n);
}
LPVOID WINAPI CountedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID p, SIZE_T n) {
  Count();
  return g_heapReAlloc(heap, flags, p, n);
}
HLOCAL WINAPI CountedLocalAlloc(UINT flags, SIZE_T n) {
  Count();
  return g_localAlloc(flags, n);
}
BSTR WINAPI CountedSysAllocString(const OLECHAR* s) {
  Count();
  return g_sysAllocString(s);
}
BSTR WINAPI CountedSysAllocStringLen(const OLECHAR* s, UINT n) {
  Count();
  return g_sysAllocStringLen(s, n);
}
BSTR WINAPI CountedSysAllocStringByteLen(LPCSTR s, UINT n) {
  Count();
  return g_sysAllocStringByteLen(s, n);
}
INT WINAPI CountedSysReAllocString(BSTR* b, const OLECHAR* s) {
  Count();
  return g_sysReAllocString(b, s);
}
INT WINAPI CountedSysReAllocStringLen(BSTR* b, const OLECHAR* s, UINT n) {
  Count();
  return g_sysReAllocStringLen(b, s, n);
}
LPVOID WINAPI CountedCoTaskMemAlloc(SIZE_T n) {
  Count();
  return g_coTaskMemAlloc(n);
}
LPVOID WINAPI CountedCoTaskMemRealloc(LPVOID p, SIZE_T n) {
  Count();
  return g_coTaskMemRealloc(p, n);
}

struct Hook {
  const char* name;
  void* replacement;
  void** original;
};

template <class F>
Hook MakeHook(const char* name, F replacement, F* original) {
  return Hook{name, reinterpret_cast<void*>(replacement), reinterpret_cast<void**>(original)};
}

const Hook* Hooks(size_t* count) {
  static const Hook hooks[] = {
      MakeHook("malloc", &CountedMalloc, &g_malloc),
      MakeHook("calloc", &CountedCalloc, &g_calloc),
      MakeHook("realloc", &CountedRealloc, &g_realloc),
      MakeHook("_strdup", &CountedStrDup, &g_strdup),
      MakeHook("_wcsdup", &CountedWcsDup, &g_wcsdup),
      MakeHook("HeapAlloc", &CountedHeapAlloc, &g_heapAlloc),
      MakeHook("HeapReAlloc", &CountedHeapReAlloc, &g_heapReAlloc),
      MakeHook("LocalAlloc", &CountedLocalAlloc, &g_localAlloc),
      MakeHook("SysAllocString", &CountedSysAllocString, &g_sysAllocString),
      MakeHook("SysAllocStringLen", &CountedSysAllocStringLen, &g_sysAllocStringLen),
      MakeHook("SysAllocStringByteLen", &CountedSysAllocStringByteLen, &g_sysAllocStringByteLen),
      MakeHook("SysReAllocString", &CountedSysReAllocString, &g_sysReAllocString),
      MakeHook("SysReAllocStringLen", &CountedSysReAllocStringLen, &g_sysReAllocStringLen),
      MakeHook("CoTaskMemAlloc", &CountedCoTaskMemAlloc, &g_coTaskMemAlloc),
      MakeHook("CoTaskMemRealloc", &CountedCoTaskMemRealloc, &g_coTaskMemRealloc),
  };
  *count = sizeof hooks / sizeof hooks[0];
  return hooks;
}

bool Patch(ULONG_PTR* slot, void* value) {
  DWORD old = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return false;
  *slot = reinterpret_cast<ULONG_PTR>(value);
  VirtualProtect(slot, sizeof *slot, old, &old);
  return true;
}

}  // namespace

std::string CountAllocations(HMODULE module) {
  std::string hooked;
  if (module == nullptr) return hooked;
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return hooked;
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return hooked;
  size_t hookCount = 0;
  const Hook* hooks = Hooks(&hookCount);
  for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       import->Name != 0; ++import) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
        base + (import->OriginalFirstThunk != 0 ? import->OriginalFirstThunk : import->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      const char* name = reinterpret_cast<const char*>(byName->Name);
      for (size_t i = 0; i < hookCount; ++i) {
        if (std::strcmp(name, hooks[i].name) != 0) continue;
        void* current = reinterpret_cast<void*>(slots->u1.Function);
        if (current == hooks[i].replacement) break;  // hooked before
        *hooks[i].original = current;
        if (Patch(reinterpret_cast<ULONG_PTR*>(&slots->u1.Function), hooks[i].replacement)) {
          if (!hooked.empty()) hooked += ' ';
          hooked += name;
        }
        break;
      }
    }
  }
  return hooked;
}

uint64_t Allocations() { return g_count.load(std::memory_order_relaxed); }

}  // namespace lumora::bench
