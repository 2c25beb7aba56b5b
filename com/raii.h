// Owners of the Windows resources the library handles besides COM
// references (those live in Microsoft::WRL::ComPtr): automation strings,
// VARIANTs, safe arrays and their locks, registry keys, CoTaskMem and
// LocalAlloc blocks, kernel and GDI handles, and the scope guards of SRW
// locks.
// Each type frees its resource in its destructor and can be moved, not
// copied. Receive() clears the owner and hands out the address an API
// writes a new resource to.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <objbase.h>

#include <type_traits>
#include <utility>

namespace lumora::com {

// An automation string (BSTR); null is a valid, empty value.
class Bstr {
 public:
  Bstr() noexcept = default;
  // Copies text (null gives null). Check Get() when the text was not null:
  // a failed allocation leaves the owner null.
  explicit Bstr(const wchar_t* text) noexcept : value_(text ? SysAllocString(text) : nullptr) {}
  Bstr(Bstr&& other) noexcept : value_(other.Detach()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    Reset(other.Detach());
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(value_); }

  BSTR Get() const noexcept { return value_; }
  UINT Length() const noexcept { return SysStringLen(value_); }
  BSTR* Receive() noexcept {
    Reset();
    return &value_;
  }
  // Hands the string to the caller, who frees it.
  BSTR Detach() noexcept { return std::exchange(value_, nullptr); }
  void Reset(BSTR value = nullptr) noexcept { SysFreeString(std::exchange(value_, value)); }

 private:
  BSTR value_ = nullptr;
};

// A VARIANT, VT_EMPTY when constructed and cleared when destroyed.
class Variant {
 public:
  Variant() noexcept { VariantInit(&value_); }
  Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      VariantClear(&value_);
      value_ = other.value_;
      VariantInit(&other.value_);
    }
    return *this;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&value_); }

  VARIANT* Get() noexcept { return &value_; }
  const VARIANT* Get() const noexcept { return &value_; }
  VARIANT* Receive() noexcept {
    VariantClear(&value_);
    return &value_;
  }
  // Moves the value into *target (not cleared first) and leaves this empty.
  void Detach(VARIANT* target) noexcept {
    *target = value_;
    VariantInit(&value_);
  }

 private:
  VARIANT value_;
};

// A resource the system hands out by pointer (or pointer-like handle), freed
// with Free when the owner lets go of it: Receive() for an API that writes
// a new one, Detach() to hand it on.
template <class T, void (*Free)(void*)>
class Owner {
 public:
  Owner() noexcept = default;
  explicit Owner(T* value) noexcept : value_(value) {}
  Owner(Owner&& other) noexcept : value_(other.Detach()) {}
  Owner& operator=(Owner&& other) noexcept {
    Reset(other.Detach());
    return *this;
  }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  ~Owner() { Reset(); }

  T* Get() const noexcept { return value_; }
  T** Receive() noexcept {
    Reset();
    return &value_;
  }
  T* Detach() noexcept { return std::exchange(value_, nullptr); }
  void Reset(T* value = nullptr) noexcept {
    if (T* old = std::exchange(value_, value)) Free(old);
  }

 private:
  T* value_ = nullptr;
};

// The free functions (the system's own are __stdcall on 32-bit Windows).
inline void DestroySafeArray(void* array) { SafeArrayDestroy(static_cast<SAFEARRAY*>(array)); }
inline void CloseRegKey(void* key) { RegCloseKey(static_cast<HKEY>(key)); }
inline void FreeCoTaskMem(void* block) { CoTaskMemFree(block); }
inline void FreeLocal(void* block) { LocalFree(block); }
inline void CloseKernelObject(void* handle) { CloseHandle(handle); }
inline void DeleteGdiObject(void* object) { DeleteObject(static_cast<HGDIOBJ>(object)); }

// A safe array owned by the library until it is handed out.
using SafeArray = Owner<SAFEARRAY, DestroySafeArray>;
// An open registry key.
using RegKey = Owner<std::remove_pointer_t<HKEY>, CloseRegKey>;
// Memory the system allocated for the caller: CoTaskMem for CoTaskMemAlloc
// (strings from StringFromCLSID, IMoniker::GetDisplayName and the like),
// LocalMem for LocalAlloc (FormatMessage's FORMAT_MESSAGE_ALLOCATE_BUFFER).
template <class T>
using CoTaskMem = Owner<T, FreeCoTaskMem>;
template <class T>
using LocalMem = Owner<T, FreeLocal>;
// A kernel object handle that is null when absent (events, mutexes, tokens;
// not the INVALID_HANDLE_VALUE kind of CreateFile).
using KernelHandle = Owner<void, CloseKernelObject>;
// A GDI object (a font, a brush, ...) of handle type H.
template <class H>
using GdiObject = Owner<std::remove_pointer_t<H>, DeleteGdiObject>;

// Holds SafeArrayLock on an array (borrowed) until Unlock or destruction.
class SafeArrayLockGuard {
 public:
  explicit SafeArrayLockGuard(SAFEARRAY* array) noexcept
      : array_(array), result_(SafeArrayLock(array)) {}
  SafeArrayLockGuard(const SafeArrayLockGuard&) = delete;
  SafeArrayLockGuard& operator=(const SafeArrayLockGuard&) = delete;
  ~SafeArrayLockGuard() { Unlock(); }

  // The result of SafeArrayLock; the array is locked only when it succeeded.
  HRESULT LockResult() const noexcept { return result_; }
  // Unlocks now and answers SafeArrayUnlock's result (S_OK if not locked).
  HRESULT Unlock() noexcept {
    if (FAILED(result_)) return S_OK;
    result_ = E_UNEXPECTED;
    return SafeArrayUnlock(array_);
  }

 private:
  SAFEARRAY* array_;
  HRESULT result_;
};

// Holds an SRW lock (exclusive or shared) for its scope.
template <void(WINAPI* Acquire)(PSRWLOCK), void(WINAPI* Release)(PSRWLOCK)>
class SrwHold {
 public:
  explicit SrwHold(SRWLOCK& lock) noexcept : lock_(lock) { Acquire(&lock_); }
  SrwHold(const SrwHold&) = delete;
  SrwHold& operator=(const SrwHold&) = delete;
  ~SrwHold() { Release(&lock_); }

 private:
  SRWLOCK& lock_;
};

using SrwExclusive = SrwHold<AcquireSRWLockExclusive, ReleaseSRWLockExclusive>;
using SrwShared = SrwHold<AcquireSRWLockShared, ReleaseSRWLockShared>;

}  // namespace lumora::com
