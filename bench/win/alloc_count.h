// Counts the heap allocations one loaded DLL makes, from inside the process
// that loaded it.
//
// Lumora.dll links its C++ runtime statically: operator new, std::string
// and std::vector end in the C runtime's malloc, which the DLL imports from
// msvcrt.dll; automation strings and COM task memory come from oleaut32 and
// ole32. Every one of those calls goes through the DLL's import address
// table. CountAllocations rewrites the table's entries for the allocating
// functions (malloc, calloc, realloc, HeapAlloc, SysAllocString..., ...) so
// that each call bumps a counter and then calls the original. Only the DLL's
// own calls are counted: the system's allocations (oleaut32's inside
// IDispatch::Invoke, the COM runtime's) and the calling program's are not.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace lumora::bench {

// Hooks the allocating imports of `module`. Answers the names hooked
// ("malloc realloc SysAllocString ..."); empty when the module imports none
// of them or its import table cannot be read.
std::string CountAllocations(HMODULE module);

// Allocations counted so far (all hooked modules together).
uint64_t Allocations();

}  // namespace lumora::bench
