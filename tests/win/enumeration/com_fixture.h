// Shared set-up of the enumeration tests: COM on the test thread, Lumora.dll
// loaded from the test program's folder, and its enumeration classes served
// in-process through CoRegisterClassObject (no registry entries needed).
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumora_idl.h"
#include "tests/win/com_support.h"

namespace lumora::test {

using Microsoft::WRL::ComPtr;

// Lumora.dll, loaded once for the whole test program.
HMODULE LumoraModule();

template <class Fn>
Fn LumoraExport(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(LumoraModule(), name)));
}

// Registers the class objects of VCapCollection, VCapFilter and
// VCapFilterEnum for the test's lifetime.
class EnumerationTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The class object registered for `clsid`: the library's own unless a
  // test stands another in front of it.
  virtual ComPtr<IClassFactory> Served(REFCLSID, ComPtr<IClassFactory> library) { return library; }

 private:
  std::vector<DWORD> cookies_;
};

// EnumerationTest with a new object of the served class kClass in `object`,
// released before the class objects are revoked.
template <class I, const CLSID& kClass>
class ObjectTest : public EnumerationTest {
 protected:
  void SetUp() override {
    EnumerationTest::SetUp();
    ASSERT_HRESULT_SUCCEEDED(
        CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)));
  }
  void TearDown() override {
    object.Reset();
    EnumerationTest::TearDown();
  }

  ComPtr<I> object;
};

// A VARIANT that clears itself. As an argument it is passed as a shallow
// copy: the callee borrows, this object keeps ownership.
class Var {
 public:
  Var() { VariantInit(&v); }
  Var(int value) : Var() {
    v.vt = VT_I4;
    v.lVal = value;
  }
  Var(double value) : Var() {
    v.vt = VT_R8;
    v.dblVal = value;
  }
  Var(const wchar_t* text) : Var() {
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
  }
  Var(IDispatch* object) : Var() {
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    if (object) object->AddRef();
  }
  ~Var() { VariantClear(&v); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  operator VARIANT() const { return v; }
  VARIANT v;
};

// A string variable passed by reference (VT_BYREF | VT_BSTR), as script
// engines hand over variables.
class ByRefText {
 public:
  explicit ByRefText(const wchar_t* text) : text_(SysAllocString(text)) {
    VariantInit(&v);
    v.vt = VT_BYREF | VT_BSTR;
    v.pbstrVal = &text_;
  }
  ~ByRefText() { SysFreeString(text_); }
  ByRefText(const ByRefText&) = delete;
  ByRefText& operator=(const ByRefText&) = delete;
  operator VARIANT() const { return v; }
  VARIANT v;

 private:
  BSTR text_;
};

// The text of a BSTR, taking its full length.
std::wstring Str(BSTR text);

// Reads a VARIANT that should hold a 32-bit integer; -999 otherwise.
LONG IntOf(const VARIANT& v);

// An IDispatch that only counts its references (never deleted by Release).
class CountedObject : public NoDispatch<IDispatch> {
 public:
  LONG refs = 1;

  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
  IFACEMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
};

}  // namespace lumora::test
