// The COM object framework of Lumora.dll (mingw has no ATL).
//
// Pattern of an automation class (see automation/vcap_filter.cpp):
//
//   class VCapFilter : public com::Dispatch<IVCapFilter> {
//    public:
//     // The interfaces QueryInterface answers besides IUnknown (which the
//     // framework answers itself). Return the interface pointer, or null.
//     IUnknown* Interface(REFIID riid) {
//       if (riid == __uuidof(IVCapFilter) || riid == IID_IDispatch)
//         return static_cast<IVCapFilter*>(this);
//       return nullptr;
//     }
//     // The members of the dual interface, each catching its exceptions:
//     IFACEMETHODIMP get_FName(BSTR* pVal) override;
//     ...
//   };
//
//   HRESULT CreateVCapFilter(IUnknown* outer, REFIID riid, void** ppv) {
//     return com::CreateInstance<VCapFilter>(outer, riid, ppv);
//   }
//
// com::CreateInstance wraps the class in com::Object<T>, which supplies
// IUnknown: the reference count (interlocked), aggregation (a non-delegating
// inner unknown; with an outer unknown every interface's IUnknown methods
// delegate to it) and one module lock for the object's lifetime. A class
// has no AddRef/Release/QueryInterface of its own and calls none of them in
// its constructor (the controlling unknown is set after it). Its destructor
// releases what it owns (hold references in Microsoft::WRL::ComPtr and
// strings, variants and arrays in the RAII types of com/raii.h).
//
// com::Dispatch<I> implements IDispatch for the dual interface I from the
// type library embedded in the library file (TYPELIB 1): GetTypeInfoCount
// answers 1, names and invocation go through the cached ITypeInfo of I.
// It works before the library is registered.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <utility>

#include "com/error_info.h"
#include "com/guard.h"

namespace lumora::com {

// The module lock count: DllCanUnloadNow answers S_OK only at 0.
void LockModule() noexcept;
void UnlockModule() noexcept;
LONG ModuleLockCount() noexcept;

// Holds one module lock for its lifetime.
class ModuleReference {
 public:
  ModuleReference() noexcept { LockModule(); }
  ModuleReference(const ModuleReference&) noexcept { LockModule(); }
  ModuleReference& operator=(const ModuleReference&) noexcept { return *this; }
  ~ModuleReference() { UnlockModule(); }
};

// The library file this code is linked into.
HMODULE ModuleHandle() noexcept;
// The full path of a module's file (null: the program's), however long: the
// buffer grows for as long as GetModuleFileNameW fills it to the end, which
// is how it reports a truncated path.
HRESULT ModuleFileName(HMODULE module, std::wstring* path) noexcept;
// The full path of the library file this code is linked into.
HRESULT ModulePath(std::wstring* path) noexcept;
// The same path for the type-library functions, which take at most MAX_PATH
// characters: a longer path in its short (8.3) form, and
// ERROR_FILENAME_EXCED_RANGE where the volume has no short form that fits.
HRESULT ModuleTypeLibPath(std::wstring* path) noexcept;

// The type library embedded in the module file (loaded once, cached) and
// the type information of one of its entries (cached per identifier). Both
// hand out one reference.
HRESULT ModuleTypeLib(ITypeLib** lib) noexcept;
HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** info) noexcept;
// Drops the cached type library and type information (module unload).
void ReleaseTypeInfoCache() noexcept;

// What IDispatch::Invoke answers for a member that failed with hr, as the
// type information does: DISP_E_EXCEPTION with hr as the exception's code,
// which a script host raises as its error number.
inline HRESULT MemberFailure(HRESULT hr, EXCEPINFO* exception) noexcept {
  if (exception) {
    *exception = EXCEPINFO{};
    exception->scode = hr;
  }
  return DISP_E_EXCEPTION;
}

// IDispatch for the dual interface I, served from the module's type library.
template <class I>
class Dispatch : public I {
 public:
  IFACEMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }

  IFACEMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return TypeInfoOf(__uuidof(I), info);
  }

  // The pointers a caller hands in are checked here: the system's dispatch
  // code behind these members trusts them.
  IFACEMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    if (count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) {
      if (!names[i]) return E_POINTER;
    }
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    HRESULT hr = TypeInfoOf(__uuidof(I), &info);
    if (FAILED(hr)) return hr;
    return info->GetIDsOfNames(names, count, ids);
  }

  IFACEMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params || (params->cArgs > 0 && !params->rgvarg) ||
        (params->cNamedArgs > 0 && !params->rgdispidNamedArgs) ||
        params->cNamedArgs > params->cArgs) {
      return E_INVALIDARG;
    }
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    HRESULT hr = TypeInfoOf(__uuidof(I), &info);
    if (FAILED(hr)) return hr;
    // A member that fails with a text (ReportError) has it shown by the
    // script host as the error's description.
    const unsigned long reports = ErrorReportCount();
    hr = info->Invoke(static_cast<I*>(this), id, flags, params, result, exception, argError);
    if (hr == DISP_E_EXCEPTION && ErrorReportCount() != reports) FillException(exception);
    return hr;
  }
};

// An instance of class T: T plus IUnknown. Created only by CreateInstance.
template <class T>
class Object final : private ModuleReference, public T {
 public:
  template <class... Args>
  explicit Object(IUnknown* outer, Args&&... args)
      : T(std::forward<Args>(args)...), inner_(this), controlling_(outer ? outer : &inner_) {}

  // The IUnknown of every interface of T: the controlling unknown's.
  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    return controlling_->QueryInterface(riid, ppv);
  }
  IFACEMETHODIMP_(ULONG) AddRef() override { return controlling_->AddRef(); }
  IFACEMETHODIMP_(ULONG) Release() override { return controlling_->Release(); }

  // The non-delegating unknown: the object's identity when aggregated, and
  // the owner of its reference count.
  IUnknown* Inner() noexcept { return &inner_; }

 private:
  class InnerUnknown final : public IUnknown {
   public:
    explicit InnerUnknown(Object* owner) noexcept : owner_(owner) {}

    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
      if (!ppv) return E_POINTER;
      IUnknown* found = riid == IID_IUnknown ? this : owner_->Interface(riid);
      *ppv = found;
      if (!found) return E_NOINTERFACE;
      found->AddRef();
      return S_OK;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override {
      return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    IFACEMETHODIMP_(ULONG) Release() override {
      LONG left = InterlockedDecrement(&refs_);
      if (left == 0) delete owner_;
      return static_cast<ULONG>(left);
    }

   private:
    Object* owner_;
    LONG refs_ = 0;
  };

  InnerUnknown inner_;
  IUnknown* controlling_;  // the outer unknown (borrowed) or &inner_
};

// Creates an instance of T (constructed from args) and queries it for riid.
// An outer unknown aggregates the instance and requires riid IUnknown
// (otherwise CLASS_E_NOAGGREGATION). A failed query destroys the instance.
template <class T, class... Args>
HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv, Args&&... args) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
  return Guard([&] {
    auto* object = new Object<T>(outer, std::forward<Args>(args)...);
    Microsoft::WRL::ComPtr<IUnknown> inner(object->Inner());
    return inner->QueryInterface(riid, ppv);
  });
}

}  // namespace lumora::com
